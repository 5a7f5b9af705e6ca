// Escaping, the XML-safety test and base64 of message field text.
#include "Messages/MessageText.h"

#include <cstdint>

#include "WzUtils/WzUtf8.h"

namespace messages {

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

}  // namespace

bool IsXmlSafeText(const std::string& text) {
    for (size_t i = 0; i < text.size();) {
        uint32_t cp = 0;
        size_t len = wz::DecodeUtf8(text, i, cp);
        if (len == 0) return false;
        if (cp < 0x20 && cp != '\t' && cp != '\n') return false;
        if (cp == 0xfffe || cp == 0xffff) return false;
        i += len;
    }
    return true;
}

void AppendEscaped(const std::string& text, std::string& out) {
    for (char c : text) {
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            default: out += c;
        }
    }
}

std::string Base64Encode(const std::string& bytes) {
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        uint32_t v = static_cast<unsigned char>(bytes[i]) << 16 |
                     static_cast<unsigned char>(bytes[i + 1]) << 8 | static_cast<unsigned char>(bytes[i + 2]);
        out += kBase64Alphabet[v >> 18 & 63];
        out += kBase64Alphabet[v >> 12 & 63];
        out += kBase64Alphabet[v >> 6 & 63];
        out += kBase64Alphabet[v & 63];
    }
    size_t rest = bytes.size() - i;
    if (rest > 0) {
        uint32_t v = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kBase64Alphabet[v >> 18 & 63];
        out += kBase64Alphabet[v >> 12 & 63];
        out += rest == 2 ? kBase64Alphabet[v >> 6 & 63] : '=';
        out += '=';
    }
    return out;
}

bool Base64Decode(const std::string& text, std::string& bytes) {
    std::string clean;
    for (char c : text) {
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') clean += c;
    }
    if (clean.size() % 4 != 0) return false;
    std::string out;
    out.reserve(clean.size() / 4 * 3);
    for (size_t i = 0; i < clean.size(); i += 4) {
        bool last = i + 4 == clean.size();
        int pad = 0;
        uint32_t v = 0;
        for (size_t k = 0; k < 4; ++k) {
            char c = clean[i + k];
            if (c == '=' && last && k >= 2) {
                ++pad;
                v <<= 6;
                continue;
            }
            int d = Base64Value(c);
            if (d < 0 || pad > 0) return false;
            v = v << 6 | static_cast<uint32_t>(d);
        }
        out += static_cast<char>(v >> 16 & 0xff);
        if (pad < 2) out += static_cast<char>(v >> 8 & 0xff);
        if (pad < 1) out += static_cast<char>(v & 0xff);
    }
    bytes = std::move(out);
    return true;
}

}  // namespace messages
