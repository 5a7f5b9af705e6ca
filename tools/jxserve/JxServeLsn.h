// LSNs as the central server's stand-in keeps them: decimal texts of up to
// 25 digits, which do not fit a 64-bit number, compared as numbers.
#pragma once

#include <string>

// The digits of `lsn` without leading zeros ("" for zero or an empty text).
inline std::string JxServeLsnDigits(const std::string& lsn) {
    const size_t first = lsn.find_first_not_of('0');
    return first == std::string::npos ? std::string() : lsn.substr(first);
}

inline bool JxServeSameLsn(const std::string& a, const std::string& b) {
    return JxServeLsnDigits(a) == JxServeLsnDigits(b);
}

// Whether `a` is below `b` as numbers.
inline bool JxServeLsnBelow(const std::string& a, const std::string& b) {
    const std::string x = JxServeLsnDigits(a);
    const std::string y = JxServeLsnDigits(b);
    return x.size() != y.size() ? x.size() < y.size() : x < y;
}
