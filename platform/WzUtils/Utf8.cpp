// UTF-8 encoding and decoding of single characters.
#include "WzUtils/Utf8.h"

namespace wz {

bool DecodeUtf8(const unsigned char* p, std::size_t available, char32_t& codePoint, std::size_t& length) {
    if (available == 0) return false;
    const unsigned char lead = p[0];
    const std::size_t n = lead < 0x80 ? 1 : lead >= 0xC2 && lead < 0xE0 ? 2 : lead >= 0xE0 && lead < 0xF0 ? 3
                          : lead >= 0xF0 && lead < 0xF5                   ? 4
                                                                         : 0;
    if (n == 0 || n > available) return false;
    char32_t c = n == 1 ? lead : n == 2 ? (lead & 0x1F) : n == 3 ? (lead & 0x0F) : (lead & 0x07);
    for (std::size_t k = 1; k < n; ++k) {
        if ((p[k] & 0xC0) != 0x80) return false;
        c = (c << 6) | (p[k] & 0x3F);
    }
    if (Utf8Length(c) != n) return false;  // overlong, surrogate or out of range
    codePoint = c;
    length = n;
    return true;
}

std::size_t Utf8Length(char32_t c) {
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (c >= 0xD800 && c <= 0xDFFF) return 0;
    if (c < 0x10000) return 3;
    if (c <= 0x10FFFF) return 4;
    return 0;
}

std::size_t EncodeUtf8(char32_t c, unsigned char* out) {
    const std::size_t n = Utf8Length(c);
    switch (n) {
        case 1:
            out[0] = static_cast<unsigned char>(c);
            break;
        case 2:
            out[0] = static_cast<unsigned char>(0xC0 | (c >> 6));
            out[1] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            break;
        case 3:
            out[0] = static_cast<unsigned char>(0xE0 | (c >> 12));
            out[1] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            out[2] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            break;
        case 4:
            out[0] = static_cast<unsigned char>(0xF0 | (c >> 18));
            out[1] = static_cast<unsigned char>(0x80 | ((c >> 12) & 0x3F));
            out[2] = static_cast<unsigned char>(0x80 | ((c >> 6) & 0x3F));
            out[3] = static_cast<unsigned char>(0x80 | (c & 0x3F));
            break;
        default:
            break;
    }
    return n;
}

std::u32string DecodeUtf8Text(const std::string& text, char32_t (*invalid)(unsigned char byte)) {
    std::u32string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        std::size_t length = 0;
        if (DecodeUtf8(p + i, text.size() - i, c, length)) {
            out += c;
            i += length;
        } else {
            out += invalid(p[i]);
            ++i;
        }
    }
    return out;
}

}  // namespace wz
