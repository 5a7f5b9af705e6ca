// TPathMatch: wildcard matching of names and paths.
#include "WzUtils/TPathMatch.h"

#include <cstddef>
#include <cstdint>

namespace {

// Marks a byte of an invalid UTF-8 sequence, so it stays distinct from every
// code point.
constexpr char32_t kRawByte = 0x80000000u;

// One character per UTF-8 encoded letter; a byte that does not start a
// complete, well-formed sequence stands alone.
std::vector<char32_t> Decode(const std::string& text, bool ignoreCase) {
    std::vector<char32_t> out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    std::size_t i = 0;
    while (i < n) {
        const unsigned char lead = p[i];
        std::size_t length = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                             : lead >= 0xF0 && lead < 0xF5                   ? 4
                                                                            : 0;
        bool complete = length > 0 && i + length <= n;
        for (std::size_t k = 1; complete && k < length; ++k) complete = (p[i + k] & 0xC0) == 0x80;
        if (!complete) {
            out.push_back(kRawByte | lead);
            ++i;
            continue;
        }
        char32_t c = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
        for (std::size_t k = 1; k < length; ++k) c = (c << 6) | (p[i + k] & 0x3F);
        if (ignoreCase && c >= U'A' && c <= U'Z') c += U'a' - U'A';
        out.push_back(c);
        i += length;
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
    const std::vector<char32_t> text = Decode(textIn, m_ignoreCase);
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
