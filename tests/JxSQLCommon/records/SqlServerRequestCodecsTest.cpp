// Coding of the auto-discovery, restore-option and archive-file records:
// round trips of nested arrays and null texts, refusal of malformed input.
#include <gtest/gtest.h>

#include <string>

#include "JxSQLCommon/records/SqlArchiveFileRecords.h"
#include "JxSQLCommon/records/SqlAutoDiscoveryRecords.h"
#include "JxSQLCommon/records/SqlRestoreOptionsRecords.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/jxsFrame.h"
#include "tests/JxSQLCommon/records/RecordCodingTest.h"

namespace {

class ServerRequestCodecsTest : public jxtest::RecordCodingTest {
protected:
    void SetUp() override { SqlRegisterRecordCodecs(); }
};

TEST_F(ServerRequestCodecsTest, RestoreTaskReplyKeepsANullStandbyTextNull) {
    char a[] = "a", b[] = "b";
    char* databases[] = {a, b};
    SQLRestoreTaskRsp_V1_t sent;
    sent.pointInTime = 1ull << 40;
    sent.databaseCount = 2;
    sent.databases = databases;
    SQLRestoreTaskRsp_V1_t got;
    ASSERT_TRUE(Decode(0x1e0000c7, Encode(0x1e0000c7, sent), got));
    EXPECT_EQ(got.pointInTime, 1ull << 40);
    ASSERT_EQ(got.databaseCount, 2u);
    EXPECT_STREQ(got.databases[1], "b");
    EXPECT_EQ(got.relocationCount, 0u);
    EXPECT_EQ(got.standbyUndoFile, nullptr);
    Free(0x1e0000c7, got);
    EXPECT_EQ(got.databases, nullptr);
}

TEST_F(ServerRequestCodecsTest, AnalysisReplyRoundTripsItsNestedArrays) {
    char entry[] = "cube", text[] = "t";
    SQLAFileEntry_t afile;
    afile.jxCellId = -1;
    afile.offset = 7;
    SQLAnalysisBackup_t backup;
    backup.word1 = 3;
    backup.afileCount = 1;
    backup.afiles = &afile;
    SQLAnalysisDbDetail_t detail;
    detail.text8 = text;
    detail.number2 = 9;
    SQLAnalysisDatabase_t database;
    database.entry = entry;
    database.detailCount = 1;
    database.details = &detail;
    database.backupCount = 1;
    database.backups = &backup;
    SQLAnalysisRestoreTaskRsp_t sent;
    sent.words[4] = 12;
    sent.databaseCount = 1;
    sent.databases = &database;
    sent.status = 0;
    SQLAnalysisRestoreTaskRsp_t got;
    ASSERT_TRUE(Decode(0x1e0000d0, Encode(0x1e0000d0, sent), got));
    EXPECT_EQ(got.words[4], 12u);
    ASSERT_EQ(got.databaseCount, 1u);
    EXPECT_STREQ(got.databases[0].entry, "cube");
    EXPECT_STREQ(got.databases[0].details[0].text8, "t");
    EXPECT_EQ(got.databases[0].details[0].number2, 9u);
    EXPECT_EQ(got.databases[0].backups[0].word1, 3u);
    EXPECT_EQ(got.databases[0].backups[0].afiles[0].jxCellId, -1);
    EXPECT_EQ(got.databases[0].backups[0].afiles[0].offset, 7u);
    Free(0x1e0000d0, got);
    EXPECT_EQ(got.databases, nullptr);
}

TEST_F(ServerRequestCodecsTest, TruncatedOrOversizedChainRepliesAreRefused) {
    char lsn[] = "100";
    SQLAFileEntry_t afile;
    SQLDbAFileBackup_VER6_t backup;
    backup.firstLsn = lsn;
    backup.afileCount = 1;
    backup.afiles = &afile;
    SQLDbAFileRestoreInfo_VER6_Rsp_t sent;
    sent.count = 1;
    sent.backups = &backup;
    ExpectMalformedRefused<SQLDbAFileRestoreInfo_VER6_Rsp_t>(0x1e000119, Encode(0x1e000119, sent), [](const auto& got) {
        EXPECT_EQ(got.backups, nullptr);
        EXPECT_EQ(got.count, 0u);
    });

    SQLAutoDiscoverReq_t discovered;
    EXPECT_FALSE(Decode(0x1e00009b, std::string("\0\0\0\5", 4), discovered));
    EXPECT_EQ(discovered.databases, nullptr);
}

}  // namespace
