// Functions with the names and results of their Windows counterparts.
#include "JxSQLCommon/records/CompatFunctions.h"

#include <strings.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

long long _strtoi64(const char* text, char** end, int base) { return std::strtoll(text, end, base); }

int _wcsicmp(const wchar_t* a, const wchar_t* b) { return wcscasecmp(a, b); }

int _stricmp(const char* a, const char* b) { return strcasecmp(a, b); }

int _strnicmp(const char* a, const char* b, std::size_t count) { return strncasecmp(a, b, count); }

uint32_t GetLastError() { return static_cast<uint32_t>(errno); }

int32_t StringCbPrintfA(char* dest, std::size_t size, const char* format, ...) {
    if (dest == nullptr || format == nullptr || size == 0 || size > 0x7FFFFFFF) return STRSAFE_E_INVALID_PARAMETER;
    va_list args;
    va_start(args, format);
    const int written = std::vsnprintf(dest, size, format, args);
    va_end(args);
    if (written < 0) {
        dest[0] = '\0';
        return STRSAFE_E_FORMAT_FAILED;
    }
    return static_cast<std::size_t>(written) < size ? STRSAFE_S_OK : STRSAFE_E_INSUFFICIENT_BUFFER;
}
