// JXPassword: hex over a key-stream mix.
#include "JxLib/JXPassword.h"

#include <cstdint>
#include <cwchar>

#include "WzUtils/FXString.h"

namespace {

constexpr const char* kPrefix = "jxp1:";
constexpr size_t kPrefixLength = 5;

unsigned char KeyByte(size_t i) { return static_cast<unsigned char>(0x5A + 31 * i); }

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string JXPassword::encrypt(const std::string& clear) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out = kPrefix;
    for (size_t i = 0; i < clear.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(clear[i]) ^ KeyByte(i);
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 0x0F]);
    }
    return out;
}

int JXPassword::decrypt(const std::string& encoded, wchar_t* out, int capacity) {
    if (out == nullptr || capacity <= 0) return 0;
    if (encoded.compare(0, kPrefixLength, kPrefix) != 0) return 0;
    const size_t digits = encoded.size() - kPrefixLength;
    if (digits == 0 || digits % 2 != 0) return 0;
    std::string clear;
    clear.reserve(digits / 2);
    for (size_t i = 0; i < digits / 2; ++i) {
        int hi = HexValue(encoded[kPrefixLength + 2 * i]);
        int lo = HexValue(encoded[kPrefixLength + 2 * i + 1]);
        if (hi < 0 || lo < 0) return 0;
        clear.push_back(static_cast<char>(static_cast<unsigned char>(hi << 4 | lo) ^ KeyByte(i)));
    }
    // Text that is not UTF-8 underneath does not survive the round trip.
    std::wstring wide = FXString::ToWstring(clear);
    if (FXString::ToString(wide) != clear || wide.size() > static_cast<size_t>(capacity)) return 0;
    std::wmemcpy(out, wide.data(), wide.size());
    out[wide.size()] = L'\0';
    return static_cast<int>(wide.size());
}
