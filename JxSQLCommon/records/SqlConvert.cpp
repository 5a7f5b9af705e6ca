// SqlConvert: locale-independent lower-casing of narrow (UTF-8) and wide text.
#include "JxSQLCommon/records/SqlConvert.h"

#include <cstring>

#include "JxSQLCommon/records/SqlLowerCaseTable.h"
#include "WzUtils/Utf8.h"

namespace {

char32_t LowerCodePoint(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + (U'a' - U'A');
    if (c < 0x80) return c;
    return SqlLowerCaseOf(c);
}

// Whether a sequence led by p[0] (of `available` bytes) is one whose letters
// are lower-cased: two-byte sequences led by 0xC3-0xC8 or 0xCD-0xD5,
// three-byte ones led by 0xE1, four-byte ones beginning F0 90 92 or F0 90 93.
bool IsListedLead(const unsigned char* p, std::size_t available) {
    const unsigned char lead = p[0];
    if ((lead >= 0xC3 && lead <= 0xC8) || (lead >= 0xCD && lead <= 0xD5) || lead == 0xE1) return true;
    return lead == 0xF0 && available >= 3 && p[1] == 0x90 && (p[2] == 0x92 || p[2] == 0x93);
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
        if (p[0] >= 'A' && p[0] <= 'Z') {
            p[0] = static_cast<unsigned char>(p[0] + ('a' - 'A'));
            ++i;
            continue;
        }
        char32_t c = 0;
        std::size_t n = 0;
        if (!IsListedLead(p, length - i) || !wz::DecodeUtf8(p, length - i, c, n)) {
            ++i;  // another byte, or an invalid sequence: left as it is
            continue;
        }
        const char32_t lower = LowerCodePoint(c);
        if (wz::Utf8Length(lower) == n) wz::EncodeUtf8(lower, p);
        i += n;
    }
}
