// The restore sequence: order of the databases, totals reported before the
// restores, the paths a job can take, and the job status at the end.
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobRegistration.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/TMMsgMessages.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "tests/JxSQLCommon/restore/RestoreJobFixture.h"

namespace {

std::vector<std::string> Names(const std::list<SqlRestoreDbInfo_t>& dbs) {
    std::vector<std::string> names;
    for (const auto& db : dbs) names.push_back(db.sDbName);
    return names;
}

TEST(RestoreOrder, SystemDatabasesComeFirstAndTempdbGoesWithThem) {
    std::list<SqlRestoreDbInfo_t> dbs = {Database("userdb1", 7), Database("msdb", 4), Database("tempdb", 2),
                                         Database("master", 1)};
    CSQLRestoreBase::RectifyDBOrderForRestore(dbs);
    EXPECT_EQ(Names(dbs), (std::vector<std::string>{"master", "msdb", "userdb1"}));

    std::list<SqlRestoreDbInfo_t> userOnly = {Database("userdb1", 7), Database("tempdb", 2)};
    CSQLRestoreBase::RectifyDBOrderForRestore(userOnly);
    EXPECT_EQ(Names(userOnly), (std::vector<std::string>{"userdb1", "tempdb"}));

    std::list<SqlRestoreDbInfo_t> modelOnly = {Database("a", 9), Database("model", 3), Database("b", 8)};
    CSQLRestoreBase::RectifyDBOrderForRestore(modelOnly);
    EXPECT_EQ(Names(modelOnly), (std::vector<std::string>{"model", "a", "b"}));
}

TEST(RestoreOrder, DatabasesFollowTheJobOfTheirFullBackupStably) {
    auto keyed = [](const char* name, int64_t key) {
        SqlRestoreDbInfo_t db = Database(name);
        db.sortKey = key;
        return db;
    };
    std::list<SqlRestoreDbInfo_t> dbs = {keyed("late", 900), keyed("early", 120), keyed("a", 500),
                                         keyed("nofull", 0), keyed("b", 500)};
    dbs.sort(CSQLRestoreBase::SortDbInfoBackupJob);
    EXPECT_EQ(Names(dbs), (std::vector<std::string>{"nofull", "early", "a", "b", "late"}));
}

class RestoreSequence : public RestoreJobTest {
protected:
    void SetUp() override {
        RestoreJobTest::SetUp();
        ASSERT_TRUE(Initialize());
    }
    std::string Reported(const std::string& op) {
        auto entries = Journal(op);
        return entries.empty() ? "none" : entries.back().Get("value");
    }
};

TEST_F(RestoreSequence, ChainsDecideOrderAndTotalsAndTheCountLeavesOutTempdb) {
    job.databases = {Database("late", 9), Database("tempdb", 2), Database("msdb", 4), Database("early", 8)};
    job.chains["late"] = {Backup('D', 900, 1000), Backup('L', 950, 10)};
    job.chains["early"] = {Backup('D', 120, 2000)};
    job.chains["msdb"] = {Backup('D', 300, 5)};
    job.chains["tempdb"] = {Backup('D', 100, 7)};
    ASSERT_TRUE(job.restore70());
    EXPECT_EQ(job.restored, (std::vector<std::string>{"msdb:D:300", "early:D:120", "late:D:900", "late:L:950"}));
    EXPECT_EQ(Reported("setNoDBsToRestore"), "3");
    EXPECT_EQ(Reported("setTotBytes2Xfer"), "3022");

    // A second run (live sync runs the sequence again) counts its own bytes.
    ASSERT_TRUE(job.restore70());
    EXPECT_EQ(job.m_totalBytesToRestore, 3022u);
}

TEST_F(RestoreSequence, DaylightSavingSwitchIsReadBeforeTheChainRequests) {
    JXGlobalParam::setProperty("NZDSTHandling", "1");
    JXPlatformInfo().setNumber("MSSQLAgent", "bNZDSTHandling", 0);
    job.databases = {Database("sales", 5)};
    job.chains["sales"] = {Backup('D', 10)};
    ASSERT_TRUE(job.restore70());
    ASSERT_FALSE(job.nzdstSeenByChainRequests.empty());
    EXPECT_EQ(job.nzdstSeenByChainRequests.front(), 0u);  // the setting wins over the global parameter

    JXPlatformInfo().deleteValue("MSSQLAgent", "bNZDSTHandling");
    job.nzdstSeenByChainRequests.clear();
    ASSERT_TRUE(job.restore70());
    EXPECT_EQ(job.nzdstSeenByChainRequests.front(), 1u);
}

TEST_F(RestoreSequence, PathsThatRestoreNothing) {
    job.optionsOk = false;
    EXPECT_FALSE(job.restore70());

    job.optionsOk = true;
    EXPECT_FALSE(job.restore70());  // empty list

    job.databases = {Database("sales", 5)};
    job.chains["sales"] = {Backup('D', 10)};
    job.optionFlags = kRstFileFileGroup;
    EXPECT_FALSE(job.restore70());
    job.optionFlags = kRstOverwrite;
    job.m_restoreOptions.snapDestination.instanceId = 0;
    job.m_destinationAws = true;
    EXPECT_TRUE(job.restore70());  // nothing is done for an AWS engine
    EXPECT_TRUE(job.restored.empty());
}

TEST_F(RestoreSequence, OutOfPlaceSnapshotDestinationIsReadAndTheDatabasesAreRestored) {
    EvTask::setOption(kJob, 460525918, "3");  // destination client only: no destination
    job.readSnapDestinationRestoreOptionsIfPresent();
    EXPECT_EQ(job.m_restoreOptions.snapDestination.instanceId, 0u);

    EvTask::setOption(kJob, 383853076, "9");
    JXPlatformInfo().setString("MSSQLAgent", "SnapOopStageFolder", "/stage");
    job.readSnapDestinationRestoreOptionsIfPresent();
    EXPECT_EQ(job.m_restoreOptions.snapDestination.clientId, 3u);
    EXPECT_EQ(job.m_restoreOptions.snapDestination.instanceId, 9u);
    EXPECT_EQ(job.m_restoreOptions.snapDestination.stageFolder, "/stage");

    struct SnapshotJob : ScriptedRestoreJob {
        bool getRestoreOptions() override {
            const bool ok = ScriptedRestoreJob::getRestoreOptions();
            readSnapDestinationRestoreOptionsIfPresent();
            return ok;
        }
    } snapshot;
    snapshot.databases = {Database("sales", 5)};
    snapshot.chains["sales"] = {Backup('D', 10)};
    // The destination is not in the application model: the database is
    // restored, then its move fails.
    EXPECT_FALSE(StartJob(snapshot, kJob));
    EXPECT_EQ(snapshot.restored, (std::vector<std::string>{"sales:D:10"}));
    auto causes = Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].List("args"),
              (std::vector<std::string>{"Failed to find destination instance [9] for DB [sales]."}));
}

TEST_F(RestoreSequence, LiveSyncAndLogShippingForceOverwrite) {
    job.optionFlags = kRstLogShippingOnly;
    ASSERT_TRUE(job.getRestoreOptions());
    job.modifyRestoreOptions();
    EXPECT_EQ(job.m_restoreOptions.optionFlags, kRstLogShippingOnly | kRstOverwrite);
}

class RestoreStart : public RestoreJobTest {};

TEST_F(RestoreStart, StatusFollowsTheDatabasesRestored) {
    struct Case {
        const char* name;
        std::set<std::string> failing;
        bool result;
        std::string status;
    };
    const std::vector<Case> cases = {
        {"all restored", {}, true, "1"},
        {"one failed", {"hr:D:2"}, true, "3"},
        {"none restored", {"hr:D:2", "sales:D:1"}, false, "2"},
    };
    uint64_t jobId = 100;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedRestoreJob scripted;
        scripted.databases = {Database("sales", 5), Database("hr", 6)};
        scripted.chains["sales"] = {Backup('D', 1)};
        scripted.chains["hr"] = {Backup('D', 2)};
        scripted.failingBackups = c.failing;
        EXPECT_EQ(StartJob(scripted, ++jobId), c.result);
        EXPECT_EQ(CompletedStatus(jobId), c.status);
        EXPECT_EQ(scripted.getReportedJobStatus(), std::stoi(c.status));
    }
}

TEST_F(RestoreStart, StopRequestTurnsTheStatusToKilledButNotTheResult) {
    job.databases = {Database("sales", 5)};
    job.chains["sales"] = {Backup('D', 1)};
    job.onBackup = [](const std::string&) { JXJobCtrlClient::requestStop(42); };
    EXPECT_TRUE(Start());
    EXPECT_EQ(CompletedStatus(), "4");
}

TEST_F(RestoreStart, TaskOptionsAndSwitches) {
    EvTask::setOption(kJob, 1105087590, "1");    // checksum
    EvTask::setOption(kJob, 13071208, "/dump");  // ignored without restore to disk
    EvTask::setOption(kJob, 1293286866, "1");
    JXPlatformInfo().setString("MSSQLAgent", "sSkipBackupTypes", "L");
    JXGlobalParam::setProperty("gp_AppendRestartInQuery", " 1 ");
    job.optionsOk = false;
    EXPECT_FALSE(Start());
    EXPECT_TRUE(job.m_bChecksum);
    EXPECT_TRUE(job.m_dumpLocation.empty());
    EXPECT_FALSE(job.m_restoreToDiskAttach);
    EXPECT_TRUE(job.m_skipBackupTypes.empty());
    EXPECT_TRUE(job.m_appendRestartInQuery);
    EXPECT_EQ(CompletedStatus(), "2");

    ScriptedRestoreJob toDisk;
    toDisk.optionsOk = false;
    EvTask::setOption(43, 1301980323, "1");
    EvTask::setOption(43, 13071208, "/dump");
    JXPlatformInfo().setNumber("MSSQLAgent", "rk_AppendRestartInQuery", 0);
    JXGlobalParam::setProperty("bEnableSQLSnapRestoreStreams", "0");
    EXPECT_FALSE(StartJob(toDisk, 43));
    EXPECT_EQ(toDisk.m_dumpLocation, "/dump");
    EXPECT_EQ(toDisk.m_skipBackupTypes, "L");
    EXPECT_FALSE(toDisk.m_appendRestartInQuery);
    EXPECT_FALSE(toDisk.m_multiStreamRestore);
}

TEST_F(RestoreStart, EmptyReplicationListIsAnOrdinaryRestore) {
    std::string xml;
    ASSERT_EQ(TMMsg::EntityListResp().serialize(xml), 0);
    EvTask::setOption(kJob, 120012, xml);
    job.databases = {Database("sales", 5)};
    job.chains["sales"] = {Backup('D', 1)};
    EXPECT_TRUE(Start());
    EXPECT_EQ(CompletedStatus(), "1");
    EXPECT_EQ(job.m_restoreOptions.optionFlags, kRstOverwrite) << "no options forced";
}

TEST_F(RestoreStart, LiveSyncTaskThatCannotBeSetUpFailsWithItsCause) {
    EvTask::setOption(kJob, 120012, "<not a message");
    job.databases = {Database("sales", 5)};
    job.chains["sales"] = {Backup('D', 1)};
    EXPECT_FALSE(Start());
    EXPECT_TRUE(job.restored.empty());
    EXPECT_EQ(CompletedStatus(), "2");
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseFreeText)}));
}

TEST_F(RestoreStart, FailedInitialisationReportsNothing) {
    JobRegistration::SetRegistrationFailure(5);
    EXPECT_FALSE(Start());
    EXPECT_EQ(job.getReportedJobStatus(), 0);
    EXPECT_TRUE(Journal("complete").empty());
}

}  // namespace
