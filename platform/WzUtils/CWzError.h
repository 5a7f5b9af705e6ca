// CWzError: the result value of most operations.
//
// A signed 32-bit code (negative = failure, 0 = success) and a shared detail:
// the original code with its kind, and a chain of (location, text) entries.
// Copies share the detail, so context pushed on one copy is seen by all.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "WzUtils/FXCodeLocation.h"

class [[nodiscard]] CWzError {
public:
    // The family of the code the error was built from; the readers of
    // FXErrorUtil give the original code back only for their own kind.
    enum class Kind { None, JXResult, HResult, ErrNo, Win32, SQLite };

    struct Entry {
        std::string file;
        std::string function;
        int line = 0;
        std::string text;
    };

    struct Detail {
        Kind kind = Kind::None;
        int32_t originalCode = 0;
        std::vector<Entry> chain;   // first entry: where the error was found
    };

    CWzError() = default;
    static CWzError Success() { return CWzError(); }

    bool IsError() const { return m_code < 0; }
    bool IsSuccess() const { return !IsError(); }
    int32_t GetErrorCode() const { return m_code; }

    Kind GetKind() const { return m_detail ? m_detail->kind : Kind::None; }
    int32_t GetOriginalCode() const { return m_detail ? m_detail->originalCode : m_code; }

    // Adds one line of context; returns *this so callers can `return err.Push(...)`.
    CWzError& Push(const FXCodeLocation& where, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    // The text of the first entry (the failure itself), empty for success.
    std::string GetMessage() const;
    // The whole chain, one "file(line) function: text" entry after another.
    std::string AsString() const;

    // Builds an error of the given kind; used by FXErrorUtil.
    static CWzError Make(Kind kind, int32_t originalCode, const FXCodeLocation& where, std::string text);

private:
    int32_t m_code = 0;
    std::shared_ptr<Detail> m_detail;
};
