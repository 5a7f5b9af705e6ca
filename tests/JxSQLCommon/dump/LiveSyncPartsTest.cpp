// The parts of a live-sync job on their own: its restore client, its
// settings and clock, the run guard, and each run's cut of a database's
// merged chain to what continues the standby's last restore.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "JxJobClient/JobJournalReader.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/dump/CSQLDumpLiveSync.h"
#include "JxSQLCommon/dump/CSQLDumpLiveSyncCleanUp.h"
#include "JxSQLCommon/dump/SqlRstJobClientLiveSync.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/JxSQLCommon/dump/BackupEntry.h"
#include "tests/support/TestRoot.h"

namespace {

using jobmanager::JobJournalReader;

constexpr uint64_t kJob = 42;

std::vector<std::string> Ops() {
    std::vector<std::string> ops;
    if (auto entries = JobJournalReader::Read(kJob)) {
        for (const auto& e : *entries) ops.push_back(e.op + (e.Get("value").empty() ? "" : " " + e.Get("value")));
    }
    return ops;
}

class LiveSyncClient : public jxtest::RootedTest {
protected:
    CSQLDumpLiveSyncSettings settings;
    SqlRstJobClientLiveSync client{nullptr, settings};
    JXRstJobClient manager{kJob};
};

TEST_F(LiveSyncClient, UnboundForwardsNothingWhileDroppedCountersStillSucceed) {
    EXPECT_FALSE(client.complete(1, 1, 0));
    EXPECT_FALSE(client.markJobAlive());
    EXPECT_FALSE(client.addJobProgress(3));
    EXPECT_FALSE(client.updateInfo(false, nullptr));
    EXPECT_FALSE(client.setCurrentDatabase("Sales"));
    EXPECT_FALSE(client.setPendingCauseAndCriticalEvent(kCauseLiveSyncDatabase));
    EXPECT_FALSE(client.setPercentage(50));
    EXPECT_FALSE(client.setPercentageAndUpdate(6, 5));
    EXPECT_TRUE(client.setPercentageAndUpdate(5, 5));
    EXPECT_TRUE(client.setNoDBsRestoredSoFar(1));
    EXPECT_TRUE(client.setNoDBsToRestore(2));
    EXPECT_TRUE(client.setUnCompBytesSoFar(3));
    client.setActiveFile("x");
    client.InfoEvent(1);
    EXPECT_TRUE(Ops().empty());
}

TEST_F(LiveSyncClient, BoundSendsProgressAndEventsButNoPerRunCounters) {
    ASSERT_TRUE(client.Set(&manager).IsSuccess());
    client.setNumFailures2Add(1);
    client.setTotBytes2Xfer(4096);
    client.setNumSkipped2Add(1);
    client.setUncompBytes2Add(4096);
    EXPECT_TRUE(client.setNoDBsRestoredSoFar(1));
    EXPECT_TRUE(client.setNoDBsToRestore(2));
    EXPECT_TRUE(client.setUnCompBytesSoFar(4096));
    EXPECT_TRUE(Ops().empty()) << "counters reached the job manager";

    EXPECT_TRUE(client.markJobAlive());
    EXPECT_TRUE(client.setPercentageAndUpdate(5, 5));  // at the floor: nothing sent
    EXPECT_TRUE(client.setPercentageAndUpdate(6, 5));
    EXPECT_TRUE(client.addJobProgress(2));
    EXPECT_TRUE(client.complete(1, 1, 0));
    EXPECT_EQ((std::vector<std::string>{"markJobAlive", "setPercentage 6", "updateInfo", "addJobProgress 2",
                                        "complete"}),
              Ops());
}

TEST_F(LiveSyncClient, EachDatabaseMovesThePercentageOnlyWhenSet) {
    ASSERT_TRUE(client.Set(&manager).IsSuccess());
    settings.m_hoursToStayAlive = 1;
    settings.m_startTime = CSQLDumpLiveSyncSettings::Now() - std::chrono::minutes(30);
    EXPECT_TRUE(client.setCurrentDatabase("Sales"));
    settings.m_updatePercentForEachDb = true;
    EXPECT_TRUE(client.setCurrentDatabase("Hr"));
    const std::vector<std::string> ops = Ops();
    ASSERT_EQ(3u, ops.size());
    EXPECT_EQ("setCurrentDatabase Sales", ops[0]);
    EXPECT_EQ("setCurrentDatabase Hr", ops[1]);
    // Half the hour has passed (a minute more on a slow machine).
    EXPECT_TRUE(ops[2] == "addJobProgress 50" || ops[2] == "addJobProgress 51") << ops[2];
}

class LiveSyncSettings : public jxtest::RootedTest {
protected:
    void Set(const char* key, int64_t value) { ASSERT_NE(0, JXPlatformInfo().setNumber("MSSQLAgent", key, value)); }
};

TEST_F(LiveSyncSettings, StayAliveHoursAndWaitAreReadWithinTheirBounds) {
    EXPECT_EQ(1u, CSQLDumpLiveSyncSettings::ReadHoursToStayAlive());
    EXPECT_EQ(120000u, CSQLDumpLiveSyncSettings::ReadWaitMilliseconds());
    for (auto [hours, used] : {std::pair{0, 0}, {24, 24}, {25, 1}, {7, 7}}) {
        Set("LiveSyncHoursToStayAlive", hours);
        EXPECT_EQ(static_cast<uint32_t>(used), CSQLDumpLiveSyncSettings::ReadHoursToStayAlive()) << hours;
    }
    for (auto [minutes, ms] : {std::pair{1, 60000}, {60, 3600000}, {61, 120000}, {0, 120000}}) {
        Set("LiveSyncWaitDurationMinutes", minutes);
        EXPECT_EQ(static_cast<uint64_t>(ms), CSQLDumpLiveSyncSettings::ReadWaitMilliseconds()) << minutes;
    }
    Set("nProxyUpdatePercentForEachDB", 1);
    CSQLDumpLiveSyncSettings settings;
    ASSERT_TRUE(settings.LoadSettings().IsSuccess());
    EXPECT_EQ(7u, settings.m_hoursToStayAlive);
    EXPECT_TRUE(settings.m_updatePercentForEachDb);
}

TEST_F(LiveSyncSettings, PercentIsTheElapsedShareOfTheWindow) {
    CSQLDumpLiveSyncSettings settings;
    settings.m_hoursToStayAlive = 2;
    settings.m_startTime = CSQLDumpLiveSyncSettings::Now() - std::chrono::minutes(30);
    const uint32_t quarter = settings.GetUpdatePercent();
    EXPECT_TRUE(quarter == 25 || quarter == 26) << quarter;
    EXPECT_EQ(0u, settings.GetElapsedTimeInHours());
    settings.m_startTime -= std::chrono::hours(2);
    EXPECT_EQ(100u, settings.GetUpdatePercent());
    settings.m_hoursToStayAlive = 0;
    EXPECT_EQ(100u, settings.GetUpdatePercent());
    EXPECT_EQ(0u, settings.GetTotalJobTimeInMinutes());
}

// A job whose unmount is counted, and can be made to fail.
class CountingJob : public CSQLDumpLiveSync {
public:
    CWzError UnMountAll() override {
        ++unmounts;
        if (failUnmount) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "unmount failed");
        return CSQLDumpLiveSync::UnMountAll();
    }
    using CSQLDumpLiveSync::UnMountAll;
    int unmounts = 0;
    bool failUnmount = false;
};

TEST(LiveSyncCleanUp, TheRunGuardUnmountsOnceAndRetriesAFailedUnmount) {
    jxtest::TestRoot root;
    CountingJob job;
    {
        SQLDumpLiveSync::CleanUp guard(&job);
        EXPECT_TRUE(guard.Reset().IsSuccess());
        EXPECT_TRUE(guard.Reset().IsSuccess());
    }
    EXPECT_EQ(1, job.unmounts);

    job.failUnmount = true;
    {
        SQLDumpLiveSync::CleanUp guard(&job);
        EXPECT_TRUE(guard.Reset().IsError());
    }
    EXPECT_EQ(3, job.unmounts) << "the guard's end tries the failed unmount again";

    SQLDumpLiveSync::CleanUp none(nullptr);
    EXPECT_EQ(WZ_E_POINTER, none.Reset().GetErrorCode());
}

TEST(LiveSyncJobObject, MakesTheLiveSyncClientOnceAndWaitsOnlyWithOne) {
    jxtest::TestRoot root;
    struct Job : CSQLDumpLiveSync {
        std::shared_ptr<SqlRstJobClient>& link() { return m_pRstJobClnt; }
    } job;
    EXPECT_EQ(WZ_E_POINTER, job.WaitMinTime(job.LiveSyncSettings()).GetErrorCode());
    ASSERT_TRUE(job.CreateRestoreObject(SQL_RST_JOB_CLIENT_LINK_ONLY).IsSuccess());
    auto* client = dynamic_cast<SqlRstJobClientLiveSync*>(job.link().get());
    ASSERT_NE(nullptr, client);
    EXPECT_EQ(nullptr, client->Get());
    ASSERT_TRUE(job.CreateRestoreObject(SQL_RST_JOB_CLIENT_CREATE).IsSuccess());
    EXPECT_EQ(client, job.link().get()) << "a client already there is kept";
    EXPECT_NE(nullptr, client->Get());
    EXPECT_TRUE(job.JobComplete(1, 1).IsSuccess());
}

// ---- Each run's chain -----------------------------------------------------

class ChainJob : public CSQLDumpLiveSync {
public:
    DumpRestoreSettings& settings() { return m_settings; }
};

using dumptest::BackupEntry;

class LiveSyncChain : public jxtest::RootedTest {
protected:
    // The standby's last restore: its type and LSNs.
    void Standby(const std::string& type, const std::string& first, const std::string& last) {
        DbInfo& info = job.settings().databases["Sales"];
        info.lastRestoreText = type;
        info.FirstLSN = first;
        info.LastLSN = last;
        ASSERT_TRUE(PaddLSN(first, info.PaddedFirstLSN, kPaddedLSNWidth).IsSuccess());
        ASSERT_TRUE(PaddLSN(last, info.PaddedLastLSN, kPaddedLSNWidth).IsSuccess());
    }
    void AddDump(const std::string& first, const std::string& last) {
        LogFileInfo f;
        f.firstLSN = first;
        f.lastLSN = last;
        f.backupFile = "/mp/sales_log_backup_" + last + ".bak";
        std::string key;
        ASSERT_TRUE(LSNSKey(f, key).IsSuccess());
        job.settings().databases["Sales"].logFiles[key] = f;
    }
    // The chain after the run's merge and cut, as "<type><last LSN>".
    std::vector<std::string> Run(std::list<SqlAFilesPerBackup_t> chain) {
        SqlRestoreDbInfo_t db;
        db.sDbName = "Sales";
        EXPECT_TRUE(job.AddBackupInfoFromMountedShare(db, chain).IsSuccess());
        std::vector<std::string> out;
        for (const SqlAFilesPerBackup_t& e : chain) {
            out.push_back(std::string(1, static_cast<char>(e.backupType)) + e.sLastLsn);
        }
        return out;
    }
    bool Selected() { return job.settings().databases["Sales"].selected; }
    ChainJob job;
};

TEST_F(LiveSyncChain, FirstRunStartsAtTheFullBackupOrSkips) {
    job.settings().databases["Sales"];
    AddDump("200", "300");
    AddDump("300", "400");
    EXPECT_EQ((std::vector<std::string>{"D100", "I200", "L300", "L400"}),
              Run({BackupEntry('D', "50", "100"), BackupEntry('I', "100", "200")}));
    EXPECT_TRUE(Selected());

    // No full backup anywhere: nothing is restored in this run.
    EXPECT_EQ((std::vector<std::string>{"I200"}), Run({BackupEntry('I', "100", "200")}));
    EXPECT_FALSE(Selected());
}

TEST_F(LiveSyncChain, LaterRunsTakeTheDumpsAfterTheStandbysLastRestore) {
    Standby("L", "200", "300");
    AddDump("200", "300");  // already restored
    AddDump("300", "400");
    AddDump("400", "500");
    // The central server has nothing newer for the standby.
    EXPECT_EQ((std::vector<std::string>{"L400", "L500"}), Run({}));
    EXPECT_TRUE(Selected());
}

TEST_F(LiveSyncChain, NothingNewIsNoRestoreAndNoSkip) {
    Standby("L", "200", "300");
    AddDump("200", "300");
    EXPECT_TRUE(Run({}).empty());
    EXPECT_FALSE(Selected());
    // Its empty chain is not fetched again in this run (there is no central
    // server here: a fetch would fail).
    SqlRestoreDbInfo_t db;
    db.sDbName = "Sales";
    std::list<SqlAFilesPerBackup_t> chain;
    EXPECT_TRUE(job.getAFilesToRestore(false, db, chain));
    EXPECT_TRUE(chain.empty());
    db.sDbName = "Hr";  // not merged: fetched as usual
    EXPECT_FALSE(job.getAFilesToRestore(false, db, chain));
}

TEST_F(LiveSyncChain, ABrokenLogChainDropsEveryLogButKeepsAFullBackup) {
    Standby("L", "200", "300");
    AddDump("300", "400");
    AddDump("450", "500");  // 400..450 is missing
    EXPECT_EQ((std::vector<std::string>{"L300"}), Run({BackupEntry('L', "200", "300")})) << "chain untouched";
    EXPECT_FALSE(Selected());

    // A new full backup at the central server is still restored.
    EXPECT_EQ((std::vector<std::string>{"D600"}), Run({BackupEntry('D', "550", "600")}));
    EXPECT_TRUE(Selected());
}

TEST_F(LiveSyncChain, AfterAFullOrDifferentialTheFirstLogStartsTheChain) {
    Standby("D", "100", "200");
    AddDump("150", "250");  // not continuing 200, yet taken without comparison
    AddDump("250", "300");
    EXPECT_EQ((std::vector<std::string>{"L250", "L300"}), Run({}));
    EXPECT_TRUE(Selected());
}

}  // namespace
