// FXString: the string helpers of the utility library.
#include "WzUtils/FXString.h"

#include <strings.h>

#include <cctype>
#include <cstdint>
#include <cstring>

#include "WzUtils/WzUtf8.h"

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsScalarValue(char32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

void AppendUtf8(std::string& out, char32_t c) {
    if (!IsScalarValue(c)) c = kReplacement;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code point at text[i], advancing i; malformed input consumes one byte
// and yields U+FFFD.
char32_t NextCodePoint(const std::string& text, size_t& i) {
    uint32_t cp = 0;
    size_t len = wz::DecodeUtf8(text, i, cp);
    if (len == 0) {
        ++i;
        return kReplacement;
    }
    i += len;
    return cp;
}

}  // namespace

std::vector<std::string> FXString::Split(const std::string& text, const std::string& delimiter, int flags) {
    std::vector<std::string> fields;
    if (text.empty() || delimiter.empty()) {
        if (!text.empty()) fields.push_back(text);
        return fields;
    }
    std::string::size_type start = 0;
    while (true) {
        std::string::size_type pos = text.find(delimiter, start);
        std::string field = text.substr(start, pos == std::string::npos ? std::string::npos : pos - start);
        if (!(field.empty() && (flags & SPLIT_SKIP_EMPTY))) fields.push_back(std::move(field));
        if (pos == std::string::npos) break;
        start = pos + delimiter.size();
    }
    return fields;
}

void FXString::TrimLeft(std::string& text, const char* chars) {
    std::string::size_type first = text.find_first_not_of(chars);
    text.erase(0, first == std::string::npos ? text.size() : first);
}

void FXString::TrimRight(std::string& text, const char* chars) {
    std::string::size_type last = text.find_last_not_of(chars);
    text.erase(last == std::string::npos ? 0 : last + 1);
}

void FXString::Trim(std::string& text, const char* chars) {
    TrimRight(text, chars);
    TrimLeft(text, chars);
}

bool FXString::RemoveRight(std::string& text, const std::string& suffix) {
    if (suffix.size() > text.size() || text.compare(text.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    text.erase(text.size() - suffix.size());
    return true;
}

bool FXString::RemoveRightNoCase(std::string& text, const std::string& suffix) {
    if (suffix.size() > text.size() ||
        strncasecmp(text.c_str() + text.size() - suffix.size(), suffix.c_str(), suffix.size()) != 0)
        return false;
    text.erase(text.size() - suffix.size());
    return true;
}

bool FXString::MatchLeftNoCase(const std::string& text, const std::string& prefix) {
    return prefix.size() <= text.size() && strncasecmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

const char* FXString::FindString(const char* text, const char* what, bool ignoreCase) {
    if (text == nullptr || what == nullptr) return nullptr;
    if (!ignoreCase) return std::strstr(text, what);
    const std::size_t n = std::strlen(what);
    for (const char* p = text;; ++p) {
        if (strncasecmp(p, what, n) == 0) return p;
        if (*p == '\0') return nullptr;
    }
}

std::string FXString::ToString(const std::wstring& text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t w : text) AppendUtf8(out, static_cast<char32_t>(w));
    return out;
}

std::wstring FXString::ToWstring(const std::string& text) {
    std::wstring out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) out += static_cast<wchar_t>(NextCodePoint(text, i));
    return out;
}

size_t FXString::ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    if (from.empty()) return 0;
    size_t count = 0;
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
        ++count;
    }
    return count;
}
