// SqlConvert: locale-independent lower-casing of narrow (UTF-8) and wide text.
#include "JxSQLCommon/records/SqlConvert.h"

#include <cstdint>
#include <cstring>

#include "JxSQLCommon/records/SqlLowerCaseTable.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzUtf8.h"

namespace {

char32_t LowerCodePoint(char32_t c) {
    if (c >= U'A' && c <= U'Z') return c + (U'a' - U'A');
    if (c < 0x80) return c;
    return SqlLowerCaseOf(c);
}

// Whether the sequence at text[i] is one whose letters are lower-cased:
// two-byte sequences led by 0xC3-0xC8 or 0xCD-0xD5, three-byte ones led by
// 0xE1, four-byte ones beginning F0 90 92 or F0 90 93.
bool IsListedLead(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if ((lead >= 0xC3 && lead <= 0xC8) || (lead >= 0xCD && lead <= 0xD5) || lead == 0xE1) return true;
    return lead == 0xF0 && text.size() - i >= 3 && byte(i + 1) == 0x90 && (byte(i + 2) == 0x92 || byte(i + 2) == 0x93);
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
    LowerUtf8(lower);
    return lower;
}

unsigned char* SqlConvert::StrToLwrExt(unsigned char* text) {
    if (text == nullptr || *text == '\0') return text;
    std::string lower(reinterpret_cast<const char*>(text));
    LowerUtf8(lower);
    std::memcpy(text, lower.data(), lower.size());  // same length
    return text;
}

void SqlConvert::LowerUtf8(std::string& text) {
    std::size_t i = 0;
    while (i < text.size()) {
        char& ch = text[i];
        if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch + ('a' - 'A'));
            ++i;
            continue;
        }
        uint32_t c = 0;
        const std::size_t n = IsListedLead(text, i) ? wz::DecodeUtf8(text, i, c) : 0;
        if (n == 0) {
            ++i;  // another byte, or an invalid sequence: left as it is
            continue;
        }
        const std::string lower = FXString::ToString(std::wstring(1, static_cast<wchar_t>(LowerCodePoint(c))));
        if (lower.size() == n) text.replace(i, n, lower);
        i += n;
    }
}
