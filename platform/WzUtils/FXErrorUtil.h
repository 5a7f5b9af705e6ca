// FXErrorUtil: builders and readers of CWzError values.
//
// Every builder returns a value for which IsError() is true, whatever code it
// is given (the maker's positive result codes and errno values included); the
// readers give back the code the builder was called with.
#pragma once

#include <cstdint>

#include "WzUtils/CWzError.h"

class FXErrorUtil {
public:
    static CWzError ErrorJXResult(const FXCodeLocation& where, int32_t code, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    static CWzError ErrorHResult(const FXCodeLocation& where, int32_t hresult);
    static CWzError ErrorHResult(const FXCodeLocation& where, int32_t hresult, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    static CWzError ErrorErrNo(const FXCodeLocation& where, int err, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    static CWzError ErrorWin32(const FXCodeLocation& where, uint32_t code);
    static CWzError ErrorWin32(const FXCodeLocation& where, uint32_t code, const char* format, ...)
        __attribute__((format(printf, 3, 4)));
    static CWzError ErrorSQLite(const FXCodeLocation& where, int code, const char* format, ...)
        __attribute__((format(printf, 3, 4)));

    // Readers: the original code when the error is of that kind, else 0.
    static int32_t GetJXResult(const CWzError& e);
    static int GetErrNo(const CWzError& e);
    static uint32_t GetWin32(const CWzError& e);
    static int32_t GetHResult(const CWzError& e);
    static bool IsSQLite(const CWzError& e);
    static int GetSQLite(const CWzError& e);
};

// Common result codes.
constexpr int32_t WZ_E_INVALIDARG = static_cast<int32_t>(0x80070057u);
constexpr int32_t WZ_E_POINTER = static_cast<int32_t>(0x80004003u);
constexpr int32_t WZ_E_ABORT = static_cast<int32_t>(0x80004004u);
constexpr int32_t WZ_E_FAIL = static_cast<int32_t>(0x80004005u);
