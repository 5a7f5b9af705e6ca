// SqlConvert: locale-independent lower-casing of narrow (UTF-8) and wide text.
#include "JxSQLCommon/records/SqlConvert.h"

#include <cstring>

#include "JxSQLCommon/records/SqlLowerCaseTable.h"

namespace {

char32_t LowerCodePoint(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + (U'a' - U'A');
    if (c < 0x80) return c;
    return SqlLowerCaseOf(c);
}

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Rewrites the `length`-byte sequence at `p` (decoded as `c`) with the
// lower-case letter of `c` when that letter encodes in the same length.
void ReplaceSameLength(unsigned char* p, std::size_t length, char32_t c) {
    const char32_t lower = LowerCodePoint(c);
    if (lower == c) return;
    switch (length) {
        case 2:
            if (lower < 0x80 || lower > 0x7FF) return;
            p[0] = static_cast<unsigned char>(0xC0 | (lower >> 6));
            p[1] = static_cast<unsigned char>(0x80 | (lower & 0x3F));
            return;
        case 3:
            if (lower < 0x800 || lower > 0xFFFF || (lower >= 0xD800 && lower <= 0xDFFF)) return;
            p[0] = static_cast<unsigned char>(0xE0 | (lower >> 12));
            p[1] = static_cast<unsigned char>(0x80 | ((lower >> 6) & 0x3F));
            p[2] = static_cast<unsigned char>(0x80 | (lower & 0x3F));
            return;
        case 4:
            if (lower < 0x10000 || lower > 0x10FFFF) return;
            p[0] = static_cast<unsigned char>(0xF0 | (lower >> 18));
            p[1] = static_cast<unsigned char>(0x80 | ((lower >> 12) & 0x3F));
            p[2] = static_cast<unsigned char>(0x80 | ((lower >> 6) & 0x3F));
            p[3] = static_cast<unsigned char>(0x80 | (lower & 0x3F));
            return;
        default:
            return;
    }
}

}  // namespace

void SqlConvert::ToLowerCase(std::wstring& text) {
    for (wchar_t& ch : text) {
        if (ch < 0) continue;
        ch = static_cast<wchar_t>(LowerCodePoint(static_cast<char32_t>(ch)));
    }
}

std::string SqlConvert::ToLower(const std::string& text) {
    std::string lower = text;
    LowerUtf8(reinterpret_cast<unsigned char*>(lower.data()), lower.size());
    return lower;
}

unsigned char* SqlConvert::StrToLwrExt(unsigned char* text) {
    if (text == nullptr || *text == '\0') return text;
    LowerUtf8(text, std::strlen(reinterpret_cast<const char*>(text)));
    return text;
}

void SqlConvert::LowerUtf8(unsigned char* text, std::size_t length) {
    std::size_t i = 0;
    while (i < length) {
        unsigned char* p = text + i;
        const std::size_t left = length - i;
        const unsigned char lead = p[0];
        if (lead >= 'A' && lead <= 'Z') {
            p[0] = static_cast<unsigned char>(lead + ('a' - 'A'));
            i += 1;
        } else if (((lead >= 0xC3 && lead <= 0xC8) || (lead >= 0xCD && lead <= 0xD5)) && left >= 2 &&
                   IsContinuation(p[1])) {
            ReplaceSameLength(p, 2, (char32_t(lead & 0x1F) << 6) | (p[1] & 0x3F));
            i += 2;
        } else if (lead == 0xE1 && left >= 3 && IsContinuation(p[1]) && IsContinuation(p[2])) {
            ReplaceSameLength(p, 3, (char32_t(lead & 0x0F) << 12) | (char32_t(p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            i += 3;
        } else if (lead == 0xF0 && left >= 4 && p[1] == 0x90 && (p[2] == 0x92 || p[2] == 0x93) &&
                   IsContinuation(p[3])) {
            ReplaceSameLength(p, 4, (char32_t(lead & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) | (char32_t(p[2] & 0x3F) << 6) | (p[3] & 0x3F));
            i += 4;
        } else {
            i += 1;
        }
    }
}
