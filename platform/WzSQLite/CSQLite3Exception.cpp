// FX::CSQLite3Exception
#include "WzSQLite/CSQLite3Exception.h"

namespace FX {

CSQLite3Exception::CSQLite3Exception(int code, std::string message) : m_code(code), m_message(std::move(message)) {}

}  // namespace FX
