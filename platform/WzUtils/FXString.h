// FXString: the string helpers of the utility library.
//
// Narrow strings are byte strings (UTF-8 on this platform); wide strings hold
// one Unicode code point per wchar_t; "NoCase" forms compare ASCII letters
// without regard to case.
#pragma once

#include <string>
#include <vector>

class FXString {
public:
    // Split flags.
    static constexpr int SPLIT_KEEP_EMPTY = 0;  // "a::b" gives "a", "", "b"
    static constexpr int SPLIT_SKIP_EMPTY = 1;  // "a::b" gives "a", "b"

    // The fields of `text` between occurrences of `delimiter` (which must not
    // be empty). An empty text has no fields.
    static std::vector<std::string> Split(const std::string& text, const std::string& delimiter,
                                          int flags = SPLIT_KEEP_EMPTY);

    // Remove every leading and/or trailing character that occurs in `chars`.
    static void Trim(std::string& text, const char* chars);
    static void TrimLeft(std::string& text, const char* chars);
    static void TrimRight(std::string& text, const char* chars);
    // Trims blanks and tabs at both ends.
    static void TrimWhiteSpace(std::string& text) { Trim(text, " \t"); }

    // Remove `suffix` once from the end of `text`; true when it was there.
    static bool RemoveRight(std::string& text, const std::string& suffix);
    static bool RemoveRightNoCase(std::string& text, const std::string& suffix);

    // Replaces every occurrence of `from` (not empty) by `to`, scanning on
    // after each replacement; the number of replacements.
    static size_t ReplaceAll(std::string& text, const std::string& from, const std::string& to);

    // True when `text` begins with `prefix`, ignoring case.
    static bool MatchLeftNoCase(const std::string& text, const std::string& prefix);

    // The first occurrence of `what` in `text`, or null; an empty `what` is
    // found at the start.
    static const char* FindString(const char* text, const char* what, bool ignoreCase);
    static const char* FindString(const std::string& text, const std::string& what, bool ignoreCase) {
        return FindString(text.c_str(), what.c_str(), ignoreCase);
    }

    // Copies.
    static std::string ToString(const std::string& text) { return text; }
    static std::wstring ToWstring(const std::wstring& text) { return text; }
    // Conversions between UTF-8 and wide text. A byte sequence that is not
    // UTF-8 becomes U+FFFD; a wide character that is no Unicode scalar value
    // becomes the UTF-8 form of U+FFFD. Embedded NULs are kept.
    static std::string ToString(const std::wstring& text);
    static std::wstring ToWstring(const std::string& text);
};
