// UTF-8 <-> wide text for the management layer's wide-string operations.
// Invalid UTF-8 bytes become U+FFFD; wide characters outside Unicode too.
#pragma once

#include <string>

std::wstring SqlSimWiden(const std::string& text);
std::string SqlSimNarrow(const std::wstring& text);
