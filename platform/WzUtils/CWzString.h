// CWzString: a narrow text that may be absent. Its readers never give null:
// while nothing is held they give an empty literal, so a caller can pass the
// text on to a C string function without a test.
#pragma once

#include <optional>
#include <string>

class CWzString {
public:
    CWzString() = default;
    // Holds a copy of `text`; a null `text` holds nothing.
    explicit CWzString(const char* text) {
        if (text != nullptr) m_text = text;
    }
    explicit CWzString(std::string text) : m_text(std::move(text)) {}

    const char* c_str() const { return m_text ? m_text->c_str() : ""; }
    operator char const*() const { return c_str(); }

private:
    std::optional<std::string> m_text;
};
