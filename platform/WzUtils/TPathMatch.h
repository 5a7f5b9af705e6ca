// TPathMatch: wildcard matching of names and paths.
//
// Rules: '*' matches any run of characters, the empty run included; '?'
// matches exactly one character (one UTF-8 encoded letter, or one byte of an
// invalid sequence); every other character matches itself. There are no
// character classes and no escape character. With `ignoreCase`, ASCII letters
// match without regard to case. With `stopAtSeparator`, neither wildcard
// matches "/", so "a/*" matches "a/b" but not "a/b/c"; without it the
// wildcards match "/" like any other character.
#pragma once

#include <string>

class TPathMatch {
public:
    TPathMatch() = default;

    // Sets the pattern and the two rules; always succeeds (0).
    int Init(const std::string& pattern, bool ignoreCase, bool stopAtSeparator);

    // Nonzero when the whole of `text` matches the pattern.
    int match(const std::string& text) const;

private:
    std::u32string m_pattern;  // decoded, case-folded when ignoring case
    bool m_ignoreCase = false;
    bool m_stopAtSeparator = false;
};
