// Collect files of jobs that name their databases: the SQL plug-in's list
// option and the on-demand lists the request service leaves behind.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/SqlDbState.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

using JobManager::SQLStatusTab;

constexpr uint64_t kJob = 73;
constexpr unsigned long kOptionPluginBackup = 0x14EB33C6;
constexpr unsigned long kOptionPluginDatabases = 0x4D8831B6;

struct ListingJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_tlToSnapDirectory;
    using CSQLBackup::m_tlToSnapSourceJobId;
    using CSQLBackup::m_bNeedsFull;
    using CSQLBackup::m_backupTypeText;
    using CSQLCommon::m_applicationId;
    using CSQLCommon::m_disableAutoDiscovery;
    using CSQLCommon::m_pSubclient;
    bool GenerateStreamInfoFile(unsigned int, int) override { return true; }
};

class ListedCollectTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        jxtest::MakeInstance(instance, {"db1", "db2"});
        AppModel::Set("subclient/11", "name", "daily");
        AppModel::Set("subclient/11", "property118_1", "master");
        AppModel::Set("subclient/11", "property118_2", "DB1");
        JXPlatformInfo().setNumber("MSSQLAgent", "nSkipSpDb", 0);
        JXPlatformInfo().setString("", "sPhysicalNodeName", "node1");
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        JXPlatformInfo().setString("Machines/node1", "dJOBRESULTSDIR", job.m_jobResultsDirectory);
        CSQLCommon::COLLECTFILENAME = "FullDBList.jxf";
        job.m_applicationId = ApplicationId(2, 11);
        job.m_pSubclient = job.m_applicationId.getSubclient();
        ASSERT_NE(job.m_pSubclient, nullptr);
    }

    void Plugin(const std::string& option) {
        EvTask::setOption(kJob, kOptionPluginBackup, "1");
        EvTask::setOption(kJob, kOptionPluginDatabases, option);
    }

    std::map<std::string, SQLStatusTab> Tab() {
        std::map<std::string, SQLStatusTab> out;
        for (const std::string& xml : statustab::Records(kJob, 2)) {
            SQLStatusTab tab;
            EXPECT_EQ(tab.unserialize(xml), kMsgOk);
            out[tab.getstring(SQLStatusTab::kDatabaseName)] = tab;
        }
        return out;
    }

    bool Exists(const std::string& relative) { return access(root.File(relative).c_str(), F_OK) == 0; }

    SqlSimInstance instance;
    ListingJob job{kJob};
};

TEST_F(ListedCollectTest, PluginListIsSplitAndTempdbIsRefusedAsOneNameAmongOthers) {
    Plugin("master\x12tempdb\x12" "db1\x12");
    EXPECT_TRUE(job.isJobInitiatedFromPlugin());
    EXPECT_FALSE(job.isJobInitiatedFromOSC());
    ASSERT_TRUE(job.CreateCollectFileForPlugin());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "db1\nmaster\n");
    auto tab = Tab();
    EXPECT_EQ(tab["tempdb"].getint64(SQLStatusTab::kSkipReason), 12);
    EXPECT_EQ(tab["master"].getint64(SQLStatusTab::kStatus), 5);
    EXPECT_EQ(tab["db1"].getint64(SQLStatusTab::kStatus), 5);
    EXPECT_EQ(tab.count(""), 0u);  // the empty piece after the last separator names nothing
}

TEST_F(ListedCollectTest, PluginListOfOnlyTempdbOrNothingFails) {
    Plugin("tempdb");
    EXPECT_FALSE(job.CreateCollectFileForPlugin());
    EXPECT_EQ(Tab()["tempdb"].getint64(SQLStatusTab::kSkipReason), 12);
    Plugin("");
    EXPECT_FALSE(job.CreateCollectFileForPlugin());
    ASSERT_FALSE(job.Journal("setPendingCause").empty());
    EXPECT_EQ(job.Journal("setPendingCause").back().Get("cause"), jobmanager::JournalId(kCauseNoDatabases));
}

TEST_F(ListedCollectTest, PluginNameOutsideTheContentIsReportedWhenAutoDiscoveryIsOff) {
    job.m_disableAutoDiscovery = true;
    Plugin("master\x12" "db2");
    ASSERT_TRUE(job.CreateCollectFileForPlugin());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "master\n");
    auto tab = Tab();
    ASSERT_EQ(tab.count("db2"), 1u);
    EXPECT_EQ(tab["db2"].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusSkippedAtCollect);
}

TEST_F(ListedCollectTest, PluginNamesThatCannotBeALineAreRefused) {
    Plugin(std::string("master\x12") + std::string(1100, 'x'));
    ASSERT_TRUE(job.CreateCollectFileForPlugin());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "master\n");
}

TEST_F(ListedCollectTest, PluginMissingDatabaseIsSkippedWithCodeSix) {
    job.m_disableAutoDiscovery = true;
    AppModel::Set("subclient/11", "property118_3", "Gone");
    Plugin("Gone\x12master");
    ASSERT_TRUE(job.CreateCollectFileForPlugin());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "master\n");
    EXPECT_EQ(Tab()["Gone"].getint64(SQLStatusTab::kSkipReason), 6);
}

class OnDemandCollectTest : public ListedCollectTest {
protected:
    void SetUp() override {
        ListedCollectTest::SetUp();
        EvTask::setOption(kJob, 140030, "6");
        CSQLCommon::COLLECTFILENAME = "LogDBList.jxf";
        job.m_bkpPhase = JXSQL_BACKUP_LOG;
        job.m_backupTypeText = "Transaction Log";
    }
    // Writes the log list the way the request service does.
    void WriteLogList(const std::vector<std::string>& databases) {
        CSQLClientDll service;
        ASSERT_TRUE(service.WriteToCollectFile(LogList(), databases, "HOST/INST"));
    }
    std::string LogList() { return root.path() + "/results/73_OSCCollectFile.jxf"; }
};

TEST_F(OnDemandCollectTest, ListWrittenByTheServiceIsUsedOnceWithDuplicatesOnce) {
    EXPECT_TRUE(job.isJobInitiatedFromOSC());
    WriteLogList({"db2", "db1", "db2", "Ghost"});
    ASSERT_TRUE(job.CreateCollectFileForOSC());
    EXPECT_FALSE(job.m_bNeedsFull);
    EXPECT_EQ(root.ReadFile("results/LogDBList.jxf"), "db1\ndb2\n");
    EXPECT_EQ(Tab()["Ghost"].getint64(SQLStatusTab::kSkipReason), 6);
    // Used: the next run finds no log list and the phase is skipped.
    EXPECT_FALSE(Exists("results/73_OSCCollectFile.jxf"));
    EXPECT_TRUE(Exists("results/73_OSCCollectFile.jxf.used"));
    ASSERT_TRUE(job.CreateCollectFileForOSC());
    EXPECT_TRUE(job.m_bNeedsFull);
}

// A log list that is there but cannot be used fails the collect step with
// a cause naming it, instead of skipping the phase as if it were empty; the
// full list is still converted, and both lists are kept for a later job.
TEST_F(OnDemandCollectTest, LogListOfAnotherInstanceOverlongOrUnreadableFailsTheCollectAndIsKept) {
    root.WriteFile("results/73_OSCFullCollectFile.jxf", "HOST/INST\ndb2\n");
    CSQLClientDll service;
    ASSERT_TRUE(service.WriteToCollectFile(LogList(), {"db1"}, "OTHER/INST"));
    EXPECT_FALSE(job.CreateCollectFileForOSC());
    EXPECT_FALSE(job.m_bNeedsFull);
    EXPECT_EQ(Tab()["db2"].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusConverted);
    EXPECT_TRUE(Exists("results/73_OSCFullCollectFile.jxf"));
    EXPECT_FALSE(Exists("results/73_OSCFullCollectFile.jxf.used"));

    root.WriteFile("results/73_OSCCollectFile.jxf", "HOST/INST\ndb1\n" + std::string(1500, 'y') + "\n");
    EXPECT_FALSE(job.CreateCollectFileForOSC());
    std::set<std::string> names;
    EXPECT_FALSE(job.getSQLDatabasesForBackup(LogList(), names));
    EXPECT_TRUE(names.empty());

    WriteLogList({"db1"});
    jxtest::FaultyFileSystem disk;
    {
        wz::ScopedFileSystem scoped(disk);
        disk.FailCall(jxtest::FsCall::kOpen, 1, EACCES);
        EXPECT_FALSE(job.CreateCollectFileForOSC());
    }
    EXPECT_FALSE(job.m_bNeedsFull);
    EXPECT_TRUE(Exists("results/73_OSCCollectFile.jxf"));
    EXPECT_FALSE(Exists("results/LogDBList.jxf"));

    const auto causes = job.Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 4u);
    for (const auto& cause : causes) {
        EXPECT_EQ(cause.Get("cause"), jobmanager::JournalId(kCauseJobFileOpen));
        EXPECT_EQ(cause.List("args"), std::vector<std::string>{LogList()});
    }
}

// A refused full list fails the collect step, and the good log list read
// with it is not used up either: the next attempt finds both.
TEST_F(OnDemandCollectTest, AFullListOfAnotherInstanceOverlongOrUnreadableFailsTheCollectAndBothAreKept) {
    const std::string fullList = root.File("results/73_OSCFullCollectFile.jxf");
    const auto check = [&](const char* refusal) {
        SCOPED_TRACE(refusal);
        EXPECT_EQ(root.ReadFile("results/LogDBList.jxf"), "db1\n");
        EXPECT_TRUE(Exists("results/73_OSCCollectFile.jxf"));
        EXPECT_FALSE(Exists("results/73_OSCCollectFile.jxf.used"));
        EXPECT_TRUE(Exists("results/73_OSCFullCollectFile.jxf"));
        EXPECT_FALSE(Exists("results/73_OSCFullCollectFile.jxf.used"));
        EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 0u);
        EXPECT_FALSE(job.m_bNeedsFull);
    };
    WriteLogList({"db1"});
    root.WriteFile("results/73_OSCFullCollectFile.jxf", "OTHER/INST\ndb2\n");
    EXPECT_FALSE(job.CreateCollectFileForOSC());
    check("another instance");

    root.WriteFile("results/73_OSCFullCollectFile.jxf", "HOST/INST\ndb2\n" + std::string(1500, 'y') + "\n");
    EXPECT_FALSE(job.CreateCollectFileForOSC());
    check("overlong line");

    root.WriteFile("results/73_OSCFullCollectFile.jxf", "HOST/INST\ndb2\n");
    jxtest::FaultyFileSystem disk;
    {
        wz::ScopedFileSystem scoped(disk);
        disk.FailCallOn("73_OSCFullCollectFile.jxf", jxtest::FsCall::kOpen, 1, EACCES);
        EXPECT_FALSE(job.CreateCollectFileForOSC());
        EXPECT_EQ(disk.Fired(jxtest::FsCall::kOpen), 1);
    }
    check("unreadable");

    const auto causes = job.Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 3u);
    for (const auto& cause : causes) {
        EXPECT_EQ(cause.Get("cause"), jobmanager::JournalId(kCauseJobFileOpen));
        EXPECT_EQ(cause.List("args"), std::vector<std::string>{fullList});
    }

    // Once the full list is good again, the pair is taken and used up.
    ASSERT_TRUE(job.CreateCollectFileForOSC());
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 1u);
    EXPECT_TRUE(Exists("results/73_OSCCollectFile.jxf.used"));
    EXPECT_TRUE(Exists("results/73_OSCFullCollectFile.jxf.used"));
}

TEST_F(OnDemandCollectTest, AnEmptyLogListOnlyMarksNeedsFull) {
    CSQLClientDll service;
    ASSERT_TRUE(service.WriteToCollectFile(LogList(), {}, "HOST/INST"));
    EXPECT_TRUE(job.CreateCollectFileForOSC());
    EXPECT_TRUE(job.m_bNeedsFull);
    root.WriteFile("results/73_OSCCollectFile.jxf", "");
    EXPECT_TRUE(job.CreateCollectFileForOSC());
    EXPECT_TRUE(job.m_bNeedsFull);
    EXPECT_TRUE(job.Journal("setPendingCause").empty());
}

TEST_F(OnDemandCollectTest, FullListOnlyConvertsItsDatabasesAndMarksNeedsFull) {
    root.WriteFile("results/73_OSCFullCollectFile.jxf", "HOST/INST\ndb1\ndb2\n");
    ASSERT_TRUE(job.CreateCollectFileForOSC());
    EXPECT_TRUE(job.m_bNeedsFull);
    auto tab = Tab();
    for (const char* name : {"db1", "db2"}) {
        EXPECT_EQ(tab[name].getint64(SQLStatusTab::kStatus), JobManager::kDBStatusConverted);
        EXPECT_EQ(tab[name].getint64(SQLStatusTab::kSkipReason), 2);
    }
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 2u);
    EXPECT_TRUE(Exists("results/73_OSCFullCollectFile.jxf.used"));
}

TEST_F(OnDemandCollectTest, ListOfOnlyMissingDatabasesFailsTheCollect) {
    WriteLogList({"Ghost"});
    EXPECT_FALSE(job.CreateCollectFileForOSC());
    // A list that made no collect file is kept for the next attempt.
    EXPECT_TRUE(Exists("results/73_OSCCollectFile.jxf"));
}

TEST_F(ListedCollectTest, RemoteBlobStoreSubclientListsItsContentDatabasesThatExistAndAreOnline) {
    ASSERT_FALSE(instance.SetDatabaseState("db2", SQLDB_STATE_OFFLINE).IsError());
    AppModel::Set("subclient/11", "spContentDBName_1", "db2");
    AppModel::Set("subclient/11", "spContentDBName_2", "Gone");
    AppModel::Set("subclient/11", "spContentDBName_3", "db1");
    ASSERT_TRUE(job.generateRBSCollectFile());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "db1\n");
    auto tab = Tab();
    EXPECT_EQ(tab["db2"].getint64(SQLStatusTab::kSkipReason), 1);
    EXPECT_EQ(tab["Gone"].getint64(SQLStatusTab::kSkipReason), 6);
}

TEST_F(ListedCollectTest, LogToSnapshotListIsAppendedOnceAndConsumed) {
    job.m_tlToSnapDirectory = root.path() + "/tl2snap";
    job.m_tlToSnapSourceJobId = 12;
    root.WriteFile("results/FullDBList.jxf", "db1\n");
    root.WriteFile("tl2snap/TLToSnap_12.jxf", "db2\n\ndb1\ndb2\n");
    ASSERT_TRUE(job.GenerateTLToSnapCollectFile());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "db1\ndb2\n");
    EXPECT_FALSE(Exists("tl2snap/TLToSnap_12.jxf"));
    // Nothing left to take: the full list stays as it is.
    EXPECT_FALSE(job.GenerateTLToSnapCollectFile());
    root.WriteFile("tl2snap/TLToSnap_12.jxf", "\n");
    EXPECT_FALSE(job.GenerateTLToSnapCollectFile());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "db1\ndb2\n");
}

}  // namespace
