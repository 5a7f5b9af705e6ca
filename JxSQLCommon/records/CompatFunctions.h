// Functions with the names and results of their Windows counterparts, for code
// shared with another platform.
#pragma once

#include <cstddef>
#include <cstdint>

// strtoll.
long long _strtoi64(const char* text, char** end, int base);
// wcscasecmp.
int _wcsicmp(const wchar_t* a, const wchar_t* b);
// strcasecmp, strncasecmp.
int _stricmp(const char* a, const char* b);
int _strnicmp(const char* a, const char* b, std::size_t count);

// The calling thread's last error: errno.
uint32_t GetLastError();

// Result codes of StringCbPrintfA.
constexpr int32_t STRSAFE_S_OK = 0;
constexpr int32_t STRSAFE_E_INSUFFICIENT_BUFFER = static_cast<int32_t>(0x8007007Au);
constexpr int32_t STRSAFE_E_INVALID_PARAMETER = static_cast<int32_t>(0x80070057u);
constexpr int32_t STRSAFE_E_FORMAT_FAILED = static_cast<int32_t>(0x80004005u);

// Formats into `dest` of `size` bytes: at most size - 1 characters and the
// terminator. STRSAFE_S_OK when the whole text fit; STRSAFE_E_INSUFFICIENT_BUFFER
// when it was cut (dest still terminated); STRSAFE_E_FORMAT_FAILED when the
// format could not be applied (dest holds ""); STRSAFE_E_INVALID_PARAMETER,
// writing nothing, for a null dest or format or a size of 0 or above 0x7FFFFFFF.
int32_t StringCbPrintfA(char* dest, std::size_t size, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
