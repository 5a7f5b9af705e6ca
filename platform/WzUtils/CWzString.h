// CWzString: a text that may be absent.
//
// c_str() and the conversion to const char* give the held text, or an empty
// literal while nothing is held, so callers never see a null pointer.
#pragma once

#include <optional>
#include <string>

class CWzString {
public:
    CWzString() = default;
    // A null pointer holds nothing.
    CWzString(const char* text) {  // NOLINT: implicit, as callers pass literals
        if (text != nullptr) m_text = text;
    }
    CWzString(std::string text) : m_text(std::move(text)) {}  // NOLINT: implicit

    const char* c_str() const { return m_text ? m_text->c_str() : ""; }
    operator const char*() const { return c_str(); }  // NOLINT: implicit by design

private:
    std::optional<std::string> m_text;
};
