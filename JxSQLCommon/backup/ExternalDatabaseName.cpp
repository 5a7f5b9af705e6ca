// Checks on database names from outside before they reach a collect file.
#include "JxSQLCommon/backup/ExternalDatabaseName.h"

namespace jxsql {

bool IsCollectFileName(const std::string& name, std::string& why) {
    if (name.find_first_of("\r\n") != std::string::npos) {
        why = "the name contains a line break";
        return false;
    }
    if (name.size() > kMaxCollectFileNameBytes) {
        why = "the name is longer than 1023 bytes";
        return false;
    }
    return true;
}

}  // namespace jxsql
