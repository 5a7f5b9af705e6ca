// Small string helpers shared by the jobs and the request layer: zero-filled
// log sequence numbers, number appending, printable arguments, and the
// case-insensitive orders of name-keyed maps and sets.
#pragma once

#include <cstddef>
#include <string>

#include "WzUtils/CWzError.h"

// out = zeros followed by `in`, `width` characters in all. An empty `in` or one
// longer than `width` is an invalid argument (out is left unchanged).
CWzError PaddLSN(const std::string& in, std::string& out, std::size_t width);

// The string followed by the number in decimal.
std::string operator+(const std::string& text, int number);

// The text for a "%s" argument: the string's characters, or "" when empty.
const char* PRINT_STR(const std::string& text);

// Byte-wise lexicographic order after tolower() of each byte.
struct caseIgnoreCompare {
    bool operator()(const std::string& a, const std::string& b) const;
};

// Order by strcasecmp() < 0.
struct __less_nocase_cmp {
    bool operator()(const std::string& a, const std::string& b) const;
};

struct InsensitiveCompare {
    bool operator()(const std::string& a, const std::string& b) const;
};
