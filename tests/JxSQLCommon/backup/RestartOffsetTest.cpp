// Restart texts, stream-info files and the counters a restarted job takes
// over from its earlier attempt.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "JxJobClient/JXJobClient.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/support/TestRoot.h"

namespace {

struct RestartJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_firstFailedOffset;
    using CSQLBackup::m_retryFailures;
    using CSQLBackup::m_retrySuccesses;
    using CSQLBackup::m_successCount;
    using CSQLCommon::m_fullRestartString;
    using CSQLBackup::CollectFilePath;
};

class RestartOffsetTest : public ::testing::Test {
protected:
    void SetUp() override {
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        job.m_dataStreamCount = 2;
        CSQLCommon::COLLECTFILENAME = CSQLCommon::FULLCOLLECTFILENAME;
    }
    std::string StreamInfo() { return root.ReadFile("results/JXSQLStreamInfo_FULL.info"); }

    jxtest::TestRoot root;
    RestartJob job{51};
};

TEST_F(RestartOffsetTest, TheSmallestOffsetOfAMatchingTextIsWhereTheJobResumes) {
    ASSERT_TRUE(job.GenerateStreamInfoFile(JXSQL_BACKUP_FULL, 0));
    EXPECT_EQ(StreamInfo(), "2\n");

    std::string text = "-o 300|1 -o 100|2";
    ASSERT_TRUE(job.VerifyAndGenerateRestartOffset(text, false));
    EXPECT_EQ(text, "100|2");

    text = "-o 100|1 -o 100|2";  // equal offsets keep the earlier group
    ASSERT_TRUE(job.VerifyAndGenerateRestartOffset(text, false));
    EXPECT_EQ(text, "100|1");

    text = "-o  4 0 |1-o 7|2";  // blanks inside a group carry no meaning
    ASSERT_TRUE(job.VerifyAndGenerateRestartOffset(text, false));
    EXPECT_EQ(text, "7|2");
}

TEST_F(RestartOffsetTest, ATextThatDoesNotFitTheStreamCountStartsFromTheTop) {
    ASSERT_TRUE(job.GenerateStreamInfoFile(JXSQL_BACKUP_FULL, 0));
    std::string text = "-o 300|1 -o 100|2 -o 50|3";
    ASSERT_TRUE(job.VerifyAndGenerateRestartOffset(text, false));
    EXPECT_EQ(text, "");
}

TEST_F(RestartOffsetTest, StreamInfoFileIsWrittenWhenMissingAndRewrittenWhenTheCountChanged) {
    std::string text = "-o 10|1 -o 20|2";
    ASSERT_TRUE(job.VerifyAndGenerateRestartOffset(text, false));
    EXPECT_EQ(StreamInfo(), "2\n");
    EXPECT_EQ(text, "10|1");

    job.m_dataStreamCount = 3;  // the text still belongs to the old count
    text = "-o 10|1 -o 20|2";
    ASSERT_TRUE(job.VerifyAndGenerateRestartOffset(text, false));
    EXPECT_EQ(text, "10|1");
    EXPECT_EQ(StreamInfo(), "3\n");
}

TEST_F(RestartOffsetTest, StreamInfoReadsTheLeadingNumberAndZeroForAnythingElse) {
    root.WriteFile("results/JXSQLStreamInfo_FULL.info", "12abc\n");
    EXPECT_EQ(job.GetStreamInfoFromFile(JXSQL_BACKUP_FULL), 12);
    root.WriteFile("results/JXSQLStreamInfo_FULL.info", "");
    EXPECT_EQ(job.GetStreamInfoFromFile(JXSQL_BACKUP_FULL), 0);
    EXPECT_EQ(job.GetStreamInfoFromFile(JXSQL_BACKUP_LOG), 0);  // missing
    EXPECT_EQ(job.GenerateStreamInfoFileName(7), job.m_jobResultsDirectory + "/");
}

TEST_F(RestartOffsetTest, OffsetMapKeysGroupsByTheirFirstNumber) {
    std::map<int, int64_t> offsets;
    ASSERT_TRUE(job.populateRestartOffsetMap(offsets, ""));
    EXPECT_TRUE(offsets.empty());
    ASSERT_TRUE(job.populateRestartOffsetMap(offsets, "-o 1|4096 -o 2|-1 -o 3 -o 1|8192 -o 4|5|6"));
    EXPECT_EQ(offsets.size(), 2u);
    EXPECT_EQ(job.getRestartOffset(offsets, 1), 8192);  // the later group wins
    EXPECT_EQ(job.getRestartOffset(offsets, 2), 0);     // -1 reads as 0
    EXPECT_EQ(job.getRestartOffset(offsets, 3), 0);     // absent
}

// Lines of 4 bytes each ("dbN\n") so offsets are easy to read.
TEST_F(RestartOffsetTest, EarlierAttemptIsCountedOnceAndItsLastFailuresAreRetriedFromTheirLine) {
    root.WriteFile("results/FullDBList.jxf", "db1\ndb2\ndb3\ndb4\ndb5\ndb6\n");
    SQLDatabaseStatusMap map;
    map["DB1"].status = JobManager::kDBStatusFailed;  // names match without regard to case
    map["db2"].status = JobManager::kDBStatusBackedUp;
    map["db3"].status = JobManager::kDBStatusFailed;
    map["db4"].status = JobManager::kDBStatusFailed;
    map["db5"].status = JobManager::kDBStatusBackedUp;  // its line ends beyond the offset
    JXFile file;
    ASSERT_EQ(file.open(job.CollectFilePath().c_str(), JXFile::kRead), 0);
    ASSERT_TRUE(job.updateSuccessCount(&file, map, 18));
    EXPECT_EQ(job.m_successCount, 1u);
    EXPECT_EQ(job.m_loggedDbCount, 3u);
    EXPECT_EQ(job.m_firstFailedOffset, 8u) << "the line of db3, which is retried";
    EXPECT_EQ(job.m_retryFailures, 2u);
    EXPECT_EQ(job.m_retrySuccesses, 0u);
}

TEST_F(RestartOffsetTest, CopiedDatabaseNamesNeedTheirStampAndTheBaseName) {
    EXPECT_FALSE(job.isCopiedDB("jx_copy_20240101123456", ""));  // 22 characters
    EXPECT_TRUE(job.isCopiedDB("jx_copy_20240101123456Sales", "Sales"));
    EXPECT_FALSE(job.isCopiedDB("jx_copy_20240101123456Sales", "HR"));
    EXPECT_FALSE(job.isCopiedDB("xx_copy_20240101123456Sales", "Sales"));
}

}  // namespace
