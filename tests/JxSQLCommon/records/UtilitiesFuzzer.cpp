// Fuzzes the utilities that take text from outside: the command-line
// tokenizer, UTF-8 lower-casing and the wildcard matcher.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "JxSQLCommon/records/JXCommandLine.h"
#include "JxSQLCommon/records/SqlConvert.h"
#include "WzUtils/TPathMatch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // Every argument lands inside its buffer, terminated, and the walk ends.
    JXCommandLine line;
    if (line.setCommandLine(text.c_str())) {
        char argument[16];
        for (size_t options = 0; line.getNextOption() != 0; ++options) {
            if (line.getArgument(argument, sizeof argument) && std::strlen(argument) >= sizeof argument) std::abort();
            if (options > text.size()) std::abort();
        }
    }

    // Lower-casing keeps the length and is idempotent.
    const std::string lower = SqlConvert::ToLower(text);
    if (lower.size() != text.size() || SqlConvert::ToLower(lower) != lower) std::abort();
    std::vector<unsigned char> bytes(text.begin(), text.end());
    bytes.push_back('\0');
    SqlConvert::StrToLwrExt(bytes.data());

    // The matcher terminates on any pattern; a text matches itself when it
    // holds no wildcard.
    const size_t half = size / 2;
    TPathMatch matcher;
    matcher.Init(text.substr(0, half), true, (size & 1) != 0);
    (void)matcher.match(text.substr(half));
    if (text.find_first_of("*?") == std::string::npos) {
        matcher.Init(text, false, false);
        if (!matcher.match(text)) std::abort();
    }
    return 0;
}
