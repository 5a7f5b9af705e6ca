// JXPassword: the reversible encoding of stored passwords.
//
// An encoded password is "jxp1:" followed by the hex digits of its UTF-8
// bytes, each mixed with a fixed key stream. It keeps passwords out of plain
// sight in settings and model files; it is not a cipher.
#pragma once

#include <string>

class JXPassword {
public:
    static std::string encrypt(const std::string& clear);

    // Decodes into `out`, which holds `capacity` characters plus the
    // terminating zero. Returns the number of characters written, or 0 (out
    // untouched) when the text is not an encoded password, is not UTF-8
    // underneath, or does not fit.
    static int decrypt(const std::string& encoded, wchar_t* out, int capacity);
};
