// FXErrorUtil: builders and readers of CWzError values.
#include "WzUtils/FXErrorUtil.h"

#include <cstdarg>
#include <cstring>

#include "WzUtils/WzFormat.h"

using Kind = CWzError::Kind;

#define WZ_FORMAT_ARGS(text, format)      \
    std::string text;                     \
    do {                                  \
        va_list args_;                    \
        va_start(args_, format);          \
        text = wz::FormatV(format, args_); \
        va_end(args_);                    \
    } while (0)

CWzError FXErrorUtil::ErrorJXResult(const FXCodeLocation& where, int32_t code, const char* format, ...) {
    WZ_FORMAT_ARGS(text, format);
    return CWzError::Make(Kind::JXResult, code, where, std::move(text));
}

CWzError FXErrorUtil::ErrorHResult(const FXCodeLocation& where, int32_t hresult) {
    return CWzError::Make(Kind::HResult, hresult, where, wz::Format("HRESULT 0x%08x", static_cast<uint32_t>(hresult)));
}

CWzError FXErrorUtil::ErrorHResult(const FXCodeLocation& where, int32_t hresult, const char* format, ...) {
    WZ_FORMAT_ARGS(text, format);
    return CWzError::Make(Kind::HResult, hresult, where, std::move(text));
}

CWzError FXErrorUtil::ErrorErrNo(const FXCodeLocation& where, int err, const char* format, ...) {
    WZ_FORMAT_ARGS(text, format);
    text += wz::Format(" (errno %d: %s)", err, std::strerror(err));
    return CWzError::Make(Kind::ErrNo, err, where, std::move(text));
}

CWzError FXErrorUtil::ErrorWin32(const FXCodeLocation& where, uint32_t code) {
    return CWzError::Make(Kind::Win32, static_cast<int32_t>(code), where, wz::Format("Win32 error %u", code));
}

CWzError FXErrorUtil::ErrorWin32(const FXCodeLocation& where, uint32_t code, const char* format, ...) {
    WZ_FORMAT_ARGS(text, format);
    return CWzError::Make(Kind::Win32, static_cast<int32_t>(code), where, std::move(text));
}

CWzError FXErrorUtil::ErrorSQLite(const FXCodeLocation& where, int code, const char* format, ...) {
    WZ_FORMAT_ARGS(text, format);
    return CWzError::Make(Kind::SQLite, code, where, std::move(text));
}

int32_t FXErrorUtil::GetJXResult(const CWzError& e) {
    return e.GetKind() == Kind::JXResult ? e.GetOriginalCode() : 0;
}

int FXErrorUtil::GetErrNo(const CWzError& e) { return e.GetKind() == Kind::ErrNo ? e.GetOriginalCode() : 0; }

uint32_t FXErrorUtil::GetWin32(const CWzError& e) {
    return e.GetKind() == Kind::Win32 ? static_cast<uint32_t>(e.GetOriginalCode()) : 0;
}

int32_t FXErrorUtil::GetHResult(const CWzError& e) { return e.GetKind() == Kind::HResult ? e.GetOriginalCode() : 0; }

bool FXErrorUtil::IsSQLite(const CWzError& e) { return e.GetKind() == Kind::SQLite; }

int FXErrorUtil::GetSQLite(const CWzError& e) { return IsSQLite(e) ? e.GetOriginalCode() : 0; }
