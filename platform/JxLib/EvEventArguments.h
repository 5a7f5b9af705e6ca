// EvEventArguments: the typed arguments of one job event, in their wire form.
//
// Each argument is its type code (32-bit) followed by its value, every number
// little-endian whatever the host's byte order:
//   5  int (32-bit)            4 bytes
//   9  long long (64-bit)      8 bytes
//   10 unsigned long (64-bit)  8 bytes
//   11 const char*             32-bit byte count, then the bytes (no NUL)
//   12 const wchar_t*          32-bit character count, then each as 32 bits
// Decode reads the form back and refuses truncated or unknown input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

// One decoded argument; the alternative gives the type code.
struct EvEventArgument {
    std::variant<int32_t, int64_t, uint64_t, std::string, std::wstring> value;

    int TypeCode() const;
    // The value as text (wide text as UTF-8).
    std::string AsText() const;
};

class EvEventArguments {
public:
    static constexpr uint32_t kInt = 5;
    static constexpr uint32_t kLongLong = 9;
    static constexpr uint32_t kUnsignedLong = 10;
    static constexpr uint32_t kString = 11;
    static constexpr uint32_t kWString = 12;

    void Add(int value);
    void Add(long long value);
    void Add(unsigned long value);
    // A null pointer is added as an empty text.
    void Add(const char* text);
    void Add(const wchar_t* text);

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    size_t Count() const { return m_count; }
    bool Empty() const { return m_count == 0; }
    void Clear();

    // The arguments held in `bytes`; nullopt when the bytes are not a
    // sequence of whole, known arguments.
    static std::optional<std::vector<EvEventArgument>> Decode(const std::vector<uint8_t>& bytes);

private:
    void PutU32(uint32_t v);
    void PutU64(uint64_t v);

    std::vector<uint8_t> m_bytes;
    size_t m_count = 0;
};
