// Coding of the central-server request records: round trips that keep null
// texts null, and refusal of malformed or oversized input.
#include <gtest/gtest.h>

#include <string>

#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlCentralServerRecords.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/jxsFrame.h"
#include "tests/JxSQLCommon/records/RecordCodingTest.h"

namespace {

class CentralServerCodecsTest : public jxtest::RecordCodingTest {
protected:
    void SetUp() override { SqlRegisterRecordCodecs(); }
};

TEST_F(CentralServerCodecsTest, BackupSetRoundTripKeepsNullTextsNull) {
    char name[] = "sales", lsn[] = "42000000001", path[] = "/vol";
    JXSQLBackupFileInfo_V1_t files[2];
    files[0].logicalName = name;
    files[1].fileSize = 1ull << 40;
    JXSQLBackupArchiveInfo_VER1_t archive;
    archive.archiveFileId = 9;
    archive.sourcePath = path;
    SQLBackupSetInfoReq_VER5_t sent;
    sent.databaseName = name;
    sent.firstLsn = lsn;
    sent.extraTexts[8] = name;
    sent.flag87 = 1;
    sent.backupPhase = 3;
    sent.fileCount = 2;
    sent.files = files;
    sent.archiveCount = 1;
    sent.archives = &archive;
    std::string payload = Encode(0x1e00011b, sent);

    SQLBackupSetInfoReq_VER5_t got;
    ASSERT_TRUE(Decode(0x1e00011b, payload, got));
    EXPECT_STREQ(got.databaseName, "sales");
    EXPECT_STREQ(got.firstLsn, "42000000001");
    EXPECT_EQ(got.lastLsn, nullptr);
    EXPECT_STREQ(got.extraTexts[8], "sales");
    EXPECT_EQ(got.extraTexts[0], nullptr);
    EXPECT_EQ(got.flag87, 1);
    EXPECT_EQ(got.backupPhase, 3u);
    ASSERT_EQ(got.fileCount, 2u);
    EXPECT_STREQ(got.files[0].logicalName, "sales");
    EXPECT_EQ(got.files[1].fileSize, 1ull << 40);
    ASSERT_EQ(got.archiveCount, 1u);
    EXPECT_STREQ(got.archives[0].sourcePath, "/vol");
    Free(0x1e00011b, got);
    EXPECT_EQ(got.files, nullptr);
    EXPECT_EQ(got.databaseName, nullptr);
    Free(0x1e00011b, got);  // a second release does nothing
}

TEST_F(CentralServerCodecsTest, SixtyFourBitCountsRoundTrip) {
    char a[] = "a";
    SqlCleanedEntry_t entries[2];
    entries[1].databaseName = a;
    SqlCleanupTablesRsp_V1_t sent;
    sent.count = 2;
    sent.entries = entries;
    sent.status = 2;
    SqlCleanupTablesRsp_V1_t got;
    ASSERT_TRUE(Decode(0x1e0000d6, Encode(0x1e0000d6, sent), got));
    ASSERT_EQ(got.count, 2u);
    EXPECT_EQ(got.entries[0].databaseName, nullptr);
    EXPECT_STREQ(got.entries[1].databaseName, "a");
    EXPECT_EQ(got.status, 2u);
    Free(0x1e0000d6, got);
    EXPECT_EQ(got.count, 0u);

    uint64_t ids[3] = {4, 5, 1ull << 50};
    SpContentDBSkipBackupListRsp_t list;
    list.count = 3;
    list.subclientIds = ids;
    SpContentDBSkipBackupListRsp_t gotList;
    ASSERT_TRUE(Decode(0x1e000103, Encode(0x1e000103, list), gotList));
    ASSERT_EQ(gotList.count, 3u);
    EXPECT_EQ(gotList.subclientIds[2], 1ull << 50);
    Free(0x1e000103, gotList);
}

TEST_F(CentralServerCodecsTest, CountBeyondTheBoundIsNotEncoded) {
    SpContentDBSkipBackupListRsp_t list;
    list.count = 1ull << 32;  // would wrap to 0 in 32 bits
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&list, sizeof list);
    std::string payload;
    EXPECT_TRUE(jxsEncodeRecord(0x1e000103, buffer, payload).IsError());
}

TEST_F(CentralServerCodecsTest, MalformedRepliesAreRefusedAndLeaveTheRecordZero) {
    char a[] = "a";
    SqlCleanedEntry_t entry;
    entry.databaseName = a;
    SqlCleanupTablesRsp_V1_t sent;
    sent.count = 1;
    sent.entries = &entry;
    ExpectMalformedRefused<SqlCleanupTablesRsp_V1_t>(0x1e0000d6, Encode(0x1e0000d6, sent), [](const auto& got) {
        EXPECT_EQ(got.entries, nullptr);
        EXPECT_EQ(got.count, 0u);
    });

    SQLLogMarkUpdateReq_t marks;
    EXPECT_FALSE(Decode(0x1e0000a3, std::string("\0\0\0\5", 4), marks));
    EXPECT_EQ(marks.marks, nullptr);
}

}  // namespace
