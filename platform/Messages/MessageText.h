// MessageText: how field text is carried in the message XML.
//
// Text that XML 1.0 can carry (UTF-8 without control characters other than
// tab and line feed) is written escaped; anything else is written as base64
// so that every byte string comes back unchanged.
#pragma once

#include <string>

namespace messages {

// Whether `text` can be written as escaped XML character data and read back
// byte for byte (valid UTF-8, only XML characters, no carriage return).
bool IsXmlSafeText(const std::string& text);

// Appends `text` to `out` with &, < and > escaped (character data).
void AppendEscaped(const std::string& text, std::string& out);

std::string Base64Encode(const std::string& bytes);
// Decodes standard base64 (padding required, whitespace ignored); false on
// any other character or a bad length.
bool Base64Decode(const std::string& text, std::string& bytes);

}  // namespace messages
