// UTF-8 encoding and decoding of single characters.
#pragma once

#include <cstddef>
#include <string>

namespace wz {

// Decodes the sequence at `p` (at most `available` bytes). True, with the code
// point and its byte length, for a well-formed sequence (no overlong form, no
// surrogate, nothing above U+10FFFF); false otherwise.
bool DecodeUtf8(const unsigned char* p, std::size_t available, char32_t& codePoint, std::size_t& length);

// Bytes that `codePoint` takes in UTF-8 (1-4), or 0 for a surrogate or a value
// above U+10FFFF.
std::size_t Utf8Length(char32_t codePoint);

// Writes the UTF-8 form of `codePoint` to `out` (room for 4 bytes) and returns
// its length; 0, writing nothing, for what Utf8Length refuses.
std::size_t EncodeUtf8(char32_t codePoint, unsigned char* out);

// Every character of `text`; a byte that does not start a well-formed
// sequence becomes invalid(byte) and the walk moves on by one byte.
std::u32string DecodeUtf8Text(const std::string& text, char32_t (*invalid)(unsigned char byte));

}  // namespace wz
