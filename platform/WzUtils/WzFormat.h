// printf-style formatting into std::string.
#pragma once

#include <cstdarg>
#include <string>

namespace wz {
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string FormatV(const char* format, va_list args);
}  // namespace wz
