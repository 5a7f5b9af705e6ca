// FX::CSQLite3Exception: the failure of an SQLite call, with its result code.
#pragma once

#include <exception>
#include <string>

namespace FX {

class CSQLite3Exception : public std::exception {
public:
    CSQLite3Exception(int code, std::string message);

    // The SQLite result code (5 = busy).
    int errorCode() const { return m_code; }
    // The text of the failure, or null when there is none.
    const char* errorMessage() const { return m_message.empty() ? nullptr : m_message.c_str(); }
    const char* what() const noexcept override { return m_message.c_str(); }

private:
    int m_code;
    std::string m_message;
};

}  // namespace FX
