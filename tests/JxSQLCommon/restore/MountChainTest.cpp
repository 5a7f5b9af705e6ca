// The chain of a database mounted for browsing: asked by instance and time,
// without a restore task, and without touching the job's own task id.
#include <gtest/gtest.h>

#include <list>
#include <string>

#include "tests/JxSQLCommon/restore/SalesChain.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace {

constexpr uint64_t kInstance = 0x1'0000'0015;  // beyond 32 bits

class MountChainTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        restoretest::PutSalesChain(kInstance);
        job.m_restoreTaskId = 9;
        db.sDbName = "sales";
        db.newDbName = "sales_browse";
    }
    TestRestoreJob job;
    SqlRestoreDbInfo_t db;
    std::list<SqlAFilesPerBackup_t> chain;
};

TEST_F(MountChainTest, AsksByInstanceAndTimeAndLeavesTheTaskIdAlone) {
    ASSERT_TRUE(job.getAFilesForMountDatabase(db, chain, kInstance, 400));
    ASSERT_FALSE(chain.empty());
    EXPECT_EQ(chain.front().jobId, 100u);
    EXPECT_EQ(job.m_restoreTaskId, 9u);

    chain.clear();
    db.sDbName = "nosuch";
    EXPECT_FALSE(job.getAFilesForMountDatabase(db, chain, kInstance, 400));
    EXPECT_EQ(job.m_restoreTaskId, 9u);
}

}  // namespace
