// The CRC-32C of byte ranges: every length and split gives the checksum a
// plain bit-by-bit reckoning gives.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "WzUtils/WzCrc32c.h"

namespace {

uint32_t BitByBit(const unsigned char* p, size_t n) {
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= p[i];
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0x82F63B78u : c >> 1;
    }
    return ~c;
}

TEST(WzCrc32cTest, KnownValueAndEveryLengthAroundTheBlockSizesMatchABitwiseReckoning) {
    EXPECT_EQ(wz::Crc32c(0, "123456789", 9), 0xE3069283u);
    EXPECT_EQ(wz::Crc32c(0, nullptr, 0), 0u);
    std::mt19937 random(7);
    std::vector<unsigned char> bytes(3 * 4096 * 4 + 64);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    for (size_t length : {1u, 7u, 8u, 4095u, 12287u, 12288u, 12289u, 12295u, 24576u, 3u * 4096 * 4 + 63}) {
        for (size_t offset : {0u, 1u}) {
            EXPECT_EQ(wz::Crc32c(0, bytes.data() + offset, length), BitByBit(bytes.data() + offset, length))
                << "length " << length << " at offset " << offset;
        }
    }
}

TEST(WzCrc32cTest, AChecksumContinuedOverPartsEqualsTheWholeOnes) {
    std::mt19937 random(11);
    std::vector<unsigned char> bytes(100000);
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(random());
    const uint32_t whole = wz::Crc32c(0, bytes.data(), bytes.size());
    for (size_t split : {1u, 5u, 4096u, 12288u, 12300u, 50000u, 99999u}) {
        uint32_t part = wz::Crc32c(0, bytes.data(), split);
        EXPECT_EQ(wz::Crc32c(part, bytes.data() + split, bytes.size() - split), whole) << "split at " << split;
    }
}

}  // namespace
