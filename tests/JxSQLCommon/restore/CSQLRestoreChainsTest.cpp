// What the restore job asks the central server for a database's chain, and
// the last restore points of a log-shipping restore to disk.
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "tests/JxSQLCommon/restore/SalesChain.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace {

constexpr uint64_t kSourceInstance = 21;

class CSQLRestoreChainsTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        restoretest::PutSalesChain(kSourceInstance);
        job.m_applessRestore = true;  // no SQL Server is asked
        job.m_restoreTaskId = 9;
        job.m_restoreOptions.sourceInstanceId = kSourceInstance;
        db.sDbName = "sales";
        db.newDbName = "sales_copy";
    }

    std::string Chain() {
        std::string out;
        for (const auto& b : chain) out += std::to_string(b.jobId) + " ";
        return out;
    }

    TestRestoreJob job;
    SqlRestoreDbInfo_t db;
    std::list<SqlAFilesPerBackup_t> chain;
};

TEST_F(CSQLRestoreChainsTest, LatestChainComesOldestFirstAndTheToTimeStaysZero) {
    ASSERT_TRUE(job.getAFilesToRestore(false, db, chain));
    EXPECT_EQ(Chain(), "100 200 300 ");
    EXPECT_EQ(job.m_restoreOptions.pointInTime, 0u);
}

TEST_F(CSQLRestoreChainsTest, PointInTimeAsksUpToTheLogThatReachesIt) {
    job.m_restoreOptions.optionFlags = kRstPointInTime;
    job.m_restoreOptions.pointInTime = 150;
    ASSERT_TRUE(job.getAFilesToRestore(false, db, chain));
    EXPECT_EQ(Chain(), "100 200 ");
    EXPECT_EQ(job.m_restoreOptions.pointInTime, 150u);
}

TEST_F(CSQLRestoreChainsTest, LogShippingToDiskContinuesAfterTheRecordedPointUnderTheTargetName) {
    job.m_restoreToDisk = true;
    job.m_restoreOptions.optionFlags = kRstLogShippingOnly;
    job.m_restoreOptions.pointInTime = 999;  // replaced by the recorded point
    unsigned long point = 200;
    ASSERT_TRUE(job.RecordLastRestorePointForRTD("sales_copy", point).IsSuccess());
    uint64_t stored = 0;
    EXPECT_NE(JXPlatformInfo().getNumber("MSSQLAgent", "LRP_21_sales_copy", &stored), 0);
    EXPECT_EQ(stored, 200u);

    ASSERT_TRUE(job.getAFilesToRestore(false, db, chain));
    EXPECT_EQ(Chain(), "300 ");
    EXPECT_EQ(job.m_restoreOptions.pointInTime, 0u);

    unsigned long missing = 7;
    EXPECT_TRUE(job.GetLastRestorePointForRTD("other", missing).IsSuccess());
    EXPECT_EQ(missing, 7u);
}

TEST_F(CSQLRestoreChainsTest, NothingToRestoreFails) {
    db.sDbName = "nosuch";
    EXPECT_FALSE(job.getAFilesToRestore(false, db, chain));
    job.m_restoreOptions.optionFlags = kRstPointInTime;
    job.m_restoreOptions.pointInTime = 50;  // before the first full backup ended
    db.sDbName = "sales";
    EXPECT_FALSE(job.getAFilesToRestore(false, db, chain));
}

}  // namespace
