// Conversions between UTF-8 text and wide (UTF-32 on this platform) text.
#pragma once

#include <string>
#include <string_view>

namespace jx {

// False, with `out` unchanged, when the input is not valid UTF-8.
bool Utf8ToWide(std::string_view in, std::wstring& out);
std::string WideToUtf8(std::wstring_view in);

}  // namespace jx
