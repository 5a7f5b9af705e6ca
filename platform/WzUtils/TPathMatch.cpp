// TPathMatch: wildcard matching of names and paths.
#include "WzUtils/TPathMatch.h"

#include <cstddef>
#include <cstdint>

#include "WzUtils/WzUtf8.h"

namespace {

// One character per UTF-8 encoded letter; a byte that does not start a
// well-formed sequence stands alone, marked so that it stays distinct from
// every code point.
std::u32string Decode(const std::string& text, bool ignoreCase) {
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        uint32_t c = 0;
        const std::size_t n = wz::DecodeUtf8(text, i, c);
        if (n == 0) {
            c = 0x80000000u | static_cast<unsigned char>(text[i]);
            ++i;
        } else {
            i += n;
        }
        if (ignoreCase && c >= U'A' && c <= U'Z') c += U'a' - U'A';
        out += static_cast<char32_t>(c);
    }
    return out;
}

// Whole-span match of text against pattern. Greedy, with one backtrack point:
// the last '*' seen and the text it has absorbed so far; linear in practice,
// never exponential.
bool MatchSpan(const char32_t* pat, std::size_t patLen, const char32_t* text, std::size_t textLen) {
    std::size_t t = 0, p = 0;
    std::size_t starP = SIZE_MAX, starT = 0;
    while (t < textLen) {
        if (p < patLen && pat[p] == U'*') {
            starP = p++;
            starT = t;
        } else if (p < patLen && (pat[p] == text[t] || pat[p] == U'?')) {
            ++p;
            ++t;
        } else if (starP != SIZE_MAX) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < patLen && pat[p] == U'*') ++p;
    return p == patLen;
}

}  // namespace

int TPathMatch::Init(const std::string& pattern, bool ignoreCase, bool stopAtSeparator) {
    m_ignoreCase = ignoreCase;
    m_stopAtSeparator = stopAtSeparator;
    m_pattern = Decode(pattern, ignoreCase);
    return 0;
}

int TPathMatch::match(const std::string& textIn) const {
    const std::u32string text = Decode(textIn, m_ignoreCase);
    if (!m_stopAtSeparator) return MatchSpan(m_pattern.data(), m_pattern.size(), text.data(), text.size()) ? 1 : 0;
    // Wildcards stay within one level: the pattern and the text must have the
    // same levels, matched level by level.
    std::size_t p = 0, t = 0;
    while (true) {
        std::size_t pEnd = p, tEnd = t;
        while (pEnd < m_pattern.size() && m_pattern[pEnd] != U'/') ++pEnd;
        while (tEnd < text.size() && text[tEnd] != U'/') ++tEnd;
        if (!MatchSpan(m_pattern.data() + p, pEnd - p, text.data() + t, tEnd - t)) return 0;
        const bool patternDone = pEnd == m_pattern.size(), textDone = tEnd == text.size();
        if (patternDone || textDone) return patternDone && textDone ? 1 : 0;
        p = pEnd + 1;
        t = tEnd + 1;
    }
}
