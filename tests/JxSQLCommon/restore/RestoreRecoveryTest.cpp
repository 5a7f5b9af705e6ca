// Recovery-only restores: which database a name with file-group parts
// recovers, when nothing needs doing, what a failed recovery reports, and
// the connections and user mode around a recovery-only job.
#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/restore/RestoreJobFixture.h"

namespace {

class RestoreRecovery : public RestoreJobTest {
protected:
    void SetUp() override {
        RestoreJobTest::SetUp();
        ASSERT_TRUE(Initialize());
        ASSERT_TRUE(job.getRestoreOptions());
        job.realRecovery = true;
    }
    int State(const std::string& name) {
        int state = 0;
        std::string text;
        EXPECT_TRUE(CsqlDMO().getDatabaseStatus("node1/INST", name, state, text));
        return state;
    }
    std::string UserAccess(const std::string& name) {
        SimSqlStatement q = instance.Db().Prepare("SELECT user_access FROM databases WHERE name = ?");
        q.Bind(1, name);
        return q.Step() ? q.Text(0) : "";
    }
};

TEST_F(RestoreRecovery, NameWithFileGroupPartsRecoversItsDatabase) {
    ASSERT_TRUE(instance.SetDatabaseState("sales", SQLDB_STATE_RESTORING).IsSuccess());
    SqlRestoreDbInfo_t db = Database(std::string("sales\x12") + "FG2\x12" + "file7");
    EXPECT_TRUE(job.doDbRecoverOnly(db, true, false, true));
    EXPECT_EQ(State("sales"), SQLDB_STATE_ONLINE);

    ASSERT_TRUE(instance.SetDatabaseState("hr", SQLDB_STATE_STANDBY).IsSuccess());
    SqlRestoreDbInfo_t hr = Database(std::string("hr\x12") + "file1");
    EXPECT_TRUE(job.doDbRecoverOnly(hr, false, false, false));
    EXPECT_EQ(State("hr"), SQLDB_STATE_ONLINE);
}

TEST_F(RestoreRecovery, FailedRecoveryReportsTheEngineText) {
    ASSERT_TRUE(instance.SetDatabaseState("sales", SQLDB_STATE_OFFLINE).IsSuccess());
    SqlRestoreDbInfo_t db = Database("sales");
    EXPECT_FALSE(job.doDbRecoverOnly(db, false, true, false));
    auto causes = Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseRestoreFailed));
    ASSERT_EQ(causes[0].List("args").size(), 1u);
    EXPECT_NE(causes[0].List("args")[0].find("not in a restoring state"), std::string::npos);
    EXPECT_FALSE(job.m_stopJob);

    SqlRestoreDbInfo_t missing = Database("nosuchdb");
    EXPECT_FALSE(job.doDbRecoverOnly(missing, false, true, false));
}

TEST_F(RestoreRecovery, VerifyOnlyRecordsEveryDatabaseAsVerified) {
    job.m_verifyOnly = true;
    ASSERT_TRUE(instance.SetDatabaseState("sales", SQLDB_STATE_RESTORING).IsSuccess());
    std::list<SqlRestoreDbInfo_t> dbs = {Database("sales"), Database("hr")};
    EXPECT_TRUE(job.recoverDbsOnly(dbs));
    EXPECT_EQ(State("sales"), SQLDB_STATE_RESTORING);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"13 sales", "13 hr"}));
}

TEST_F(RestoreRecovery, RecoveryOnlyJobDropsConnectionsAndReopensTheDatabases) {
    job.m_restoreOptions.optionFlags = kRstRecoveryOnly | kRstDropDbConnections;
    ASSERT_TRUE(instance.SetDatabaseState("sales", SQLDB_STATE_STANDBY).IsSuccess());
    ASSERT_TRUE(instance.Db().Prepare("UPDATE databases SET user_access = 'SINGLE_USER'").Run().IsSuccess());
    ASSERT_TRUE(instance.SetDatabaseState("crm", SQLDB_STATE_OFFLINE).IsSuccess());
    std::list<SqlRestoreDbInfo_t> dbs = {Database("master", 1), Database("sales"), Database("crm")};
    EXPECT_TRUE(job.restoreDBS(dbs));
    EXPECT_EQ(State("sales"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(UserAccess("sales"), "MULTI_USER");
    EXPECT_EQ(UserAccess("master"), "SINGLE_USER") << "master keeps its connections";
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"5 master", "5 sales", "3 crm"}));
    EXPECT_EQ(job.m_restoredDbCount, 2u);
    EXPECT_EQ(job.m_failedDbCount, 1u);

    ASSERT_TRUE(instance.SetServiceRunning(false).IsSuccess());
    std::list<SqlRestoreDbInfo_t> unreachable = {Database("sales")};
    EXPECT_FALSE(job.recoverDbsOnly(unreachable));
}

}  // namespace
