// FXString: string helpers of the utility library.
//
// Narrow text is UTF-8; wide text holds one Unicode code point per wchar_t.
#pragma once

#include <string>

namespace FXString {

// Copies.
std::string ToString(const std::string& text);
std::wstring ToWstring(const std::wstring& text);

// Conversions between UTF-8 and wide text. A byte sequence that is not UTF-8
// becomes U+FFFD; a wide character that is no Unicode scalar value becomes
// the UTF-8 form of U+FFFD. Embedded NULs are kept.
std::string ToString(const std::wstring& text);
std::wstring ToWstring(const std::string& text);

}  // namespace FXString
