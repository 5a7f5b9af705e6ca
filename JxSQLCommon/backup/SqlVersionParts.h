// The major, minor and build numbers of a SQL Server version text.
#pragma once

#include <climits>
#include <cstdlib>
#include <string>

struct SqlVersionParts {
    int major = 0;
    int minor = 0;
    int build = 0;
};

// Splits `version` at "." (a double quote quotes, a backslash escapes) and
// reads the first three parts as decimal numbers from their leading digits;
// a missing part, or one without leading digits, gives 0.
inline SqlVersionParts ParseSqlVersionParts(const std::string& version) {
    int numbers[3] = {0, 0, 0};
    std::string part;
    size_t index = 0;
    bool quoted = false;
    auto take = [&] {
        if (index < 3 && !part.empty() && part[0] >= '0' && part[0] <= '9') {
            const long value = std::strtol(part.c_str(), nullptr, 10);
            numbers[index] = value > INT_MAX ? INT_MAX : static_cast<int>(value);
        }
        ++index;
        part.clear();
    };
    for (size_t i = 0; i < version.size(); ++i) {
        const char c = version[i];
        if (c == '\\' && i + 1 < version.size()) {
            part += version[++i];
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == '.' && !quoted) {
            take();
        } else {
            part += c;
        }
    }
    take();
    return SqlVersionParts{numbers[0], numbers[1], numbers[2]};
}
