// CWzError: error values with a chain of locations.
#include "WzUtils/CWzError.h"

#include <cstdarg>

#include "WzUtils/WzFormat.h"

namespace {

// Gives every non-negative code a negative stand-in so IsError() holds;
// negative codes (HRESULT style) are kept as they are.
int32_t AsFailureCode(int32_t original) {
    if (original < 0) return original;
    if (original == 0) return static_cast<int32_t>(0x80004005u);
    return -original;
}

}  // namespace

CWzError CWzError::Make(Kind kind, int32_t originalCode, const FXCodeLocation& where, std::string text) {
    CWzError e;
    e.m_code = AsFailureCode(originalCode);
    e.m_detail = std::make_shared<Detail>();
    e.m_detail->kind = kind;
    e.m_detail->originalCode = originalCode;
    e.m_detail->chain.push_back(Entry{where.file ? where.file : "", where.function ? where.function : "",
                                      where.line, std::move(text)});
    return e;
}

CWzError& CWzError::Push(const FXCodeLocation& where, const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = wz::FormatV(format, args);
    va_end(args);
    if (!m_detail) {
        // Context on a success value still records where it was added.
        m_detail = std::make_shared<Detail>();
        m_detail->originalCode = m_code;
    }
    m_detail->chain.push_back(Entry{where.file ? where.file : "", where.function ? where.function : "",
                                    where.line, std::move(text)});
    return *this;
}

std::string CWzError::GetMessage() const {
    if (!m_detail || m_detail->chain.empty()) return {};
    return m_detail->chain.front().text;
}

std::string CWzError::AsString() const {
    std::string out = wz::Format("Error 0x%08x", static_cast<uint32_t>(m_code));
    if (!m_detail) return IsError() ? out : "Success";
    for (const Entry& e : m_detail->chain) {
        out += wz::Format(" | %s(%d) %s: %s", e.file.c_str(), e.line, e.function.c_str(), e.text.c_str());
    }
    return out;
}
