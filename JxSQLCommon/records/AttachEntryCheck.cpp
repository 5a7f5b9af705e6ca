// Checks of attach entries for control characters.
#include "JxSQLCommon/records/AttachEntryCheck.h"

#include <cstdio>

namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

bool HasControlCharacter(const std::string& text) {
    for (char c : text) {
        if (IsControl(c)) return true;
    }
    return false;
}

bool AttachEntryHasControlCharacter(const SQLPmn::AttachDB& entry) {
    if (HasControlCharacter(entry.getstring(SQLPmn::AttachDB::kAttachName)) ||
        HasControlCharacter(entry.getstring(SQLPmn::AttachDB::kSourceName))) {
        return true;
    }
    for (const std::string& file : entry.getliststring(SQLPmn::AttachDB::kFilePaths)) {
        if (HasControlCharacter(file)) return true;
    }
    return false;
}

std::string ShowControlCharacters(const std::string& text) {
    std::string shown;
    shown.reserve(text.size());
    for (char c : text) {
        if (!IsControl(c)) {
            shown += c;
            continue;
        }
        char escaped[5];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
        shown += escaped;
    }
    return shown;
}
