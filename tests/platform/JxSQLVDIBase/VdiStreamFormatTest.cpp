// Stream headers and chunk heads come back from the media: damage of any
// kind must be told apart from a good stream.
#include <gtest/gtest.h>

#include <cstring>

#include "JxSQLVDIBase/VdiStreamFormat.h"

namespace {

VdiStreamHeader Sample() {
    VdiStreamHeader h;
    h.backupSetId = 0x1122334455667788ull;
    h.stream = 1;
    h.streams = 3;
    h.type = 'I';
    h.database = "Sales";
    h.firstLsn = 10;
    h.lastLsn = 20;
    h.checkpointLsn = 20;
    h.databaseBackupLsn = 5;
    h.files.push_back({1, 0, 65536, "Sales", "PRIMARY", "/data/sales.mdf"});
    h.files.push_back({2, 1, 8192, "Sales_log", "", "/data/sales.ldf"});
    return h;
}

TEST(VdiStreamFormatTest, HeaderRoundTripsAndAnnouncesItsLength) {
    std::string encoded = VdiEncodeStreamHeader(Sample());
    EXPECT_EQ(VdiStreamHeaderLength(encoded.data()), encoded.size());
    VdiStreamHeader back;
    ASSERT_FALSE(VdiDecodeStreamHeader(encoded.data(), encoded.size(), back).IsError());
    EXPECT_EQ(back.backupSetId, 0x1122334455667788ull);
    EXPECT_EQ(back.database, "Sales");
    EXPECT_EQ(back.type, 'I');
    EXPECT_EQ(back.stream, 1u);
    ASSERT_EQ(back.files.size(), 2u);
    EXPECT_EQ(back.files[1].path, "/data/sales.ldf");
}

TEST(VdiStreamFormatTest, DamagedCutOrInconsistentHeadersAreRefused) {
    std::string encoded = VdiEncodeStreamHeader(Sample());
    VdiStreamHeader back;
    for (size_t at = 0; at < encoded.size(); at += 7) {
        std::string damaged = encoded;
        damaged[at] ^= 0x40;
        EXPECT_TRUE(VdiDecodeStreamHeader(damaged.data(), damaged.size(), back).IsError()) << at;
    }
    EXPECT_TRUE(VdiDecodeStreamHeader(encoded.data(), encoded.size() - 1, back).IsError());
    EXPECT_TRUE(VdiDecodeStreamHeader(encoded.data(), 12, back).IsError());
    std::string huge = encoded;
    uint32_t total = 0x7FFFFFFF;
    std::memcpy(&huge[12], &total, 4);
    EXPECT_EQ(VdiStreamHeaderLength(huge.data()), 0u);
    // Well-formed but impossible: stream 3 of 3, or an unknown type.
    VdiStreamHeader bad = Sample();
    bad.stream = 3;
    std::string text = VdiEncodeStreamHeader(bad);
    EXPECT_TRUE(VdiDecodeStreamHeader(text.data(), text.size(), back).IsError());
    bad = Sample();
    bad.type = 'X';
    text = VdiEncodeStreamHeader(bad);
    EXPECT_TRUE(VdiDecodeStreamHeader(text.data(), text.size(), back).IsError());
    bad = Sample();
    bad.database.assign(5000, 'd');
    text = VdiEncodeStreamHeader(bad);
    EXPECT_TRUE(VdiDecodeStreamHeader(text.data(), text.size(), back).IsError());
}

TEST(VdiStreamFormatTest, ChunkHeadsCoverTheirPayloadAndRefuseBadKindsAndLengths) {
    std::string payload(1000, 'p');
    char head[VdiChunkHead::kSize];
    VdiChunkHead c;
    c.kind = VdiChunkKind::FileData;
    c.fileId = 3;
    c.offset = 65536;
    c.length = payload.size();
    VdiEncodeChunkHead(c, payload.data(), head);
    VdiChunkHead back;
    ASSERT_TRUE(VdiDecodeChunkHead(head, back));
    EXPECT_EQ(back.offset, 65536u);
    EXPECT_TRUE(VdiChunkIntact(head, back, payload.data()));
    payload[999] ^= 1;
    EXPECT_FALSE(VdiChunkIntact(head, back, payload.data()));
    payload[999] ^= 1;
    char moved[VdiChunkHead::kSize];
    std::memcpy(moved, head, sizeof moved);
    moved[17] ^= 1;  // the offset: the data would land elsewhere
    ASSERT_TRUE(VdiDecodeChunkHead(moved, back));
    EXPECT_FALSE(VdiChunkIntact(moved, back, payload.data()));

    std::memcpy(moved, head, sizeof moved);
    moved[4] = 9;  // kind
    EXPECT_FALSE(VdiDecodeChunkHead(moved, back));
    std::memcpy(moved, head, sizeof moved);
    uint64_t length = VdiChunkHead::kMaxLength + 1;
    std::memcpy(moved + 24, &length, 8);
    EXPECT_FALSE(VdiDecodeChunkHead(moved, back));
}

}  // namespace
