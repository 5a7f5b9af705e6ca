// Fields of the restore task's list entries, which the central server joins
// with the control character 0x12.
#pragma once

#include <string>

constexpr char kRestoreEntrySeparator = '\x12';

// Splits `text` at its first separator: true with the two parts, or false
// with `head` = `rest` = the whole text when it has none.
inline bool SplitRestoreEntry(const std::string& text, std::string& head, std::string& rest) {
    size_t at = text.find(kRestoreEntrySeparator);
    if (at == std::string::npos) {
        head = rest = text;
        return false;
    }
    head = text.substr(0, at);
    rest = text.substr(at + 1);
    return true;
}
