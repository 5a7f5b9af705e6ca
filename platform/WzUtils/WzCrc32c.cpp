// CRC-32C with the SSE4.2 instruction when the CPU has it, else by table.
#include "WzUtils/WzCrc32c.h"

#include <cstring>

#if defined(__x86_64__)
#include <nmmintrin.h>
#endif

namespace {

struct Table {
    uint32_t entries[256];
    Table() {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
            entries[i] = c;
        }
    }
};

uint32_t BySoftware(uint32_t crc, const unsigned char* p, size_t n) {
    static const Table table;
    while (n-- > 0) crc = table.entries[(crc ^ *p++) & 0xFF] ^ (crc >> 8);
    return crc;
}

#if defined(__x86_64__)
__attribute__((target("sse4.2"))) uint32_t ByInstruction(uint32_t crc, const unsigned char* p, size_t n) {
    uint64_t c = crc;
    while (n >= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        c = _mm_crc32_u64(c, word);
        p += 8;
        n -= 8;
    }
    uint32_t c32 = static_cast<uint32_t>(c);
    while (n-- > 0) c32 = _mm_crc32_u8(c32, *p++);
    return c32;
}

bool HasInstruction() {
    static const bool has = __builtin_cpu_supports("sse4.2");
    return has;
}
#endif

}  // namespace

namespace wz {

uint32_t Crc32c(uint32_t crc, const void* data, size_t size) {
    const auto* p = static_cast<const unsigned char*>(data);
    crc = ~crc;
#if defined(__x86_64__)
    if (HasInstruction()) return ~ByInstruction(crc, p, size);
#endif
    return ~BySoftware(crc, p, size);
}

}  // namespace wz
