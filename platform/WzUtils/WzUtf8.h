// UTF-8 decoding shared by the text conversions of the stand-ins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace wz {

// Length of the UTF-8 sequence at text[i] (i < text.size()) and its code
// point; 0 when the bytes there are not a valid, shortest-form sequence of a
// Unicode scalar value (truncated, bad continuation, overlong, surrogate,
// beyond U+10FFFF).
size_t DecodeUtf8(const std::string& text, size_t i, uint32_t& cp);

}  // namespace wz
