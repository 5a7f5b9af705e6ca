// JSON text helpers for the line journals of the stand-ins.
#pragma once

#include <string>
#include <string_view>

namespace wz {

// `text` as a JSON string literal, quotes included. Control characters,
// quotes and backslashes are escaped; bytes of 0x80 and above are copied, so
// UTF-8 text stays readable.
std::string JsonString(std::string_view text);

}  // namespace wz
