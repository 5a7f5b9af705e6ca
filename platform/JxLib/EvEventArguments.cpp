// EvEventArguments: little-endian encoding and decoding of event arguments.
#include "JxLib/EvEventArguments.h"

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <limits>

#include "WzUtils/FXString.h"

namespace {

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : m_bytes(bytes) {}

    bool AtEnd() const { return m_pos == m_bytes.size(); }
    size_t Left() const { return m_bytes.size() - m_pos; }

    bool U32(uint32_t* v) {
        uint64_t wide = 0;
        if (!Little(4, &wide)) return false;
        *v = static_cast<uint32_t>(wide);
        return true;
    }
    bool U64(uint64_t* v) { return Little(8, v); }
    bool Bytes(size_t n, std::string* out) {
        if (Left() < n) return false;
        out->assign(reinterpret_cast<const char*>(m_bytes.data() + m_pos), n);
        m_pos += n;
        return true;
    }

private:
    bool Little(size_t n, uint64_t* v) {
        if (Left() < n) return false;
        uint64_t out = 0;
        for (size_t i = 0; i < n; ++i) out |= static_cast<uint64_t>(m_bytes[m_pos + i]) << (8 * i);
        m_pos += n;
        *v = out;
        return true;
    }

    const std::vector<uint8_t>& m_bytes;
    size_t m_pos = 0;
};

}  // namespace

int EvEventArgument::TypeCode() const {
    static constexpr int kCodes[] = {EvEventArguments::kInt, EvEventArguments::kLongLong,
                                     EvEventArguments::kUnsignedLong, EvEventArguments::kString,
                                     EvEventArguments::kWString};
    return kCodes[value.index()];
}

std::string EvEventArgument::AsText() const {
    switch (value.index()) {
        case 0: return std::to_string(std::get<int32_t>(value));
        case 1: return std::to_string(std::get<int64_t>(value));
        case 2: return std::to_string(std::get<uint64_t>(value));
        case 3: return std::get<std::string>(value);
        default: return FXString::ToString(std::get<std::wstring>(value));
    }
}

void EvEventArguments::PutU32(uint32_t v) {
    for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void EvEventArguments::PutU64(uint64_t v) {
    for (int i = 0; i < 8; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void EvEventArguments::Add(int value) {
    PutU32(kInt);
    PutU32(static_cast<uint32_t>(value));
    ++m_count;
}

void EvEventArguments::Add(long long value) {
    PutU32(kLongLong);
    PutU64(static_cast<uint64_t>(value));
    ++m_count;
}

void EvEventArguments::Add(unsigned long value) {
    PutU32(kUnsignedLong);
    PutU64(value);
    ++m_count;
}

void EvEventArguments::Add(const char* text) {
    size_t n = text != nullptr ? std::strlen(text) : 0;
    n = std::min<size_t>(n, std::numeric_limits<uint32_t>::max());
    PutU32(kString);
    PutU32(static_cast<uint32_t>(n));
    m_bytes.insert(m_bytes.end(), text, text + n);
    ++m_count;
}

void EvEventArguments::Add(const wchar_t* text) {
    size_t n = text != nullptr ? std::wcslen(text) : 0;
    n = std::min<size_t>(n, std::numeric_limits<uint32_t>::max());
    PutU32(kWString);
    PutU32(static_cast<uint32_t>(n));
    for (size_t i = 0; i < n; ++i) PutU32(static_cast<uint32_t>(text[i]));
    ++m_count;
}

void EvEventArguments::Clear() {
    m_bytes.clear();
    m_count = 0;
}

std::optional<std::vector<EvEventArgument>> EvEventArguments::Decode(const std::vector<uint8_t>& bytes) {
    std::vector<EvEventArgument> out;
    Reader in(bytes);
    while (!in.AtEnd()) {
        uint32_t code = 0;
        if (!in.U32(&code)) return std::nullopt;
        uint32_t u32 = 0;
        uint64_t u64 = 0;
        EvEventArgument arg;
        switch (code) {
            case kInt:
                if (!in.U32(&u32)) return std::nullopt;
                arg.value = static_cast<int32_t>(u32);
                break;
            case kLongLong:
                if (!in.U64(&u64)) return std::nullopt;
                arg.value = static_cast<int64_t>(u64);
                break;
            case kUnsignedLong:
                if (!in.U64(&u64)) return std::nullopt;
                arg.value = u64;
                break;
            case kString: {
                std::string text;
                if (!in.U32(&u32) || !in.Bytes(u32, &text)) return std::nullopt;
                arg.value = std::move(text);
                break;
            }
            case kWString: {
                // Check the count against what is left before allocating.
                if (!in.U32(&u32) || in.Left() / 4 < u32) return std::nullopt;
                std::wstring text;
                text.reserve(u32);
                for (uint32_t i = 0; i < u32; ++i) {
                    uint32_t ch = 0;
                    in.U32(&ch);
                    text += static_cast<wchar_t>(ch);
                }
                arg.value = std::move(text);
                break;
            }
            default:
                return std::nullopt;
        }
        out.push_back(std::move(arg));
    }
    return out;
}
