// FXString: the string helpers of the utility library.
#include "WzUtils/FXString.h"

#include <strings.h>

#include <cctype>
#include <cstring>

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
