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
// One crc32 instruction waits for the one before, so a single running
// checksum uses a third of what the CPU can do. Large ranges are taken in
// blocks of three lanes of kLane bytes, each lane with a checksum of its
// own, and the three are joined: the checksum register is linear, so
// crc(s, A B) = Shift(crc(s, A)) ^ crc(0, B), where Shift advances a
// register over kLane zero bytes.
constexpr size_t kLane = 4096;

// Shift by table: the register's four bytes, each looked up.
struct LaneShift {
    uint32_t entries[4][256];
    __attribute__((target("sse4.2"))) LaneShift() {
        for (int k = 0; k < 4; ++k) {
            for (uint32_t v = 0; v < 256; ++v) {
                uint64_t c = v << (8 * k);
                for (size_t i = 0; i < kLane; i += 8) c = _mm_crc32_u64(c, 0);
                entries[k][v] = static_cast<uint32_t>(c);
            }
        }
    }
    uint32_t operator()(uint32_t c) const {
        return entries[0][c & 0xFF] ^ entries[1][(c >> 8) & 0xFF] ^ entries[2][(c >> 16) & 0xFF] ^ entries[3][c >> 24];
    }
};

__attribute__((target("sse4.2"))) uint32_t ByInstruction(uint32_t crc, const unsigned char* p, size_t n) {
    uint64_t c = crc;
    if (n >= 3 * kLane) {
        static const LaneShift shift;
        do {
            uint64_t b = 0, d = 0;
            for (size_t i = 0; i < kLane; i += 8) {
                uint64_t w0, w1, w2;
                std::memcpy(&w0, p + i, 8);
                std::memcpy(&w1, p + kLane + i, 8);
                std::memcpy(&w2, p + 2 * kLane + i, 8);
                c = _mm_crc32_u64(c, w0);
                b = _mm_crc32_u64(b, w1);
                d = _mm_crc32_u64(d, w2);
            }
            c = shift(shift(static_cast<uint32_t>(c)) ^ static_cast<uint32_t>(b)) ^ static_cast<uint32_t>(d);
            p += 3 * kLane;
            n -= 3 * kLane;
        } while (n >= 3 * kLane);
    }
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
