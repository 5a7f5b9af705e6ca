// Log backups taken as transaction-log dumps: which databases reach the dump
// library, what it is given, what the status tab and the settings store keep,
// and how an unreachable instance or an availability-group child end.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "ArMgrClientAPI/ArMgrClientAPI.h"
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/dump/CSQLDump.h"
#include "JxSQLCommon/state/CLogInfoDB.h"
#include "JxSQLCommon/state/DBLocker.h"
#include "WzSQLite/CSQLite3Query.h"
#include "JxSession/CJxNetwork.h"
#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tools/agmaster/AgMasterStandIn.h"

namespace {

struct DumpOutcome {
    std::map<std::string, int64_t> skipped;  // database -> skip reason
    std::map<std::string, int64_t> status;   // database -> status of its last row
};

class LogDumpJobTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        SqlSimServerSpec server;
        server.name = "HOST/INST";
        ASSERT_FALSE(instance.Create(server).IsError());
        int n = 0;
        for (const auto& [name, model, readOnly] :
             std::vector<std::tuple<std::string, std::string, bool>>{{"beta", "FULL", false},
                                                                       {"Alpha", "FULL", false},
                                                                       {"plain", "SIMPLE", false},
                                                                       {"archive", "FULL", true},
                                                                       {"Gamma", "FULL", false}}) {
            SqlSimDatabaseSpec db;
            db.name = name;
            db.recoveryModel = model;
            db.readOnly = readOnly;
            ASSERT_FALSE(instance.AddDatabase(db).IsError());
            AppModel::Set("subclient/1234", "property118_" + std::to_string(++n), name);
        }
        AppModel::Set("subclient/1234", "clientId", "3");
        AppModel::Set("client/3", "name", "node1");
        AppModel::Set("client/3", "hostName", "node1.example");
        JXGlobalParam::setProperty("SQLGenericOptions", "4");  // skip read-only databases
        root.WriteFile("Base/.keep", "");
        ASSERT_EQ(::symlink(JX_DUMP_LIBRARY, (root.path() + "/Base/libJxSQLPmnOSC.so").c_str()), 0);
    }

    bool RunDump(uint64_t jobId, std::vector<std::string> extra = {}) {
        CSQLDump job;
        extra.insert(extra.begin(), {"-type", "2"});
        return RunPhaseOf(job, jobId, "-L", 1, extra);
    }

    static DumpOutcome Outcome(uint64_t jobId) {
        DumpOutcome out;
        for (const std::string& xml : statustab::Records(jobId, 2)) {
            JobManager::SQLStatusTab tab;
            EXPECT_EQ(tab.unserialize(xml), kMsgOk);
            const std::string name = tab.getstring(JobManager::SQLStatusTab::kDatabaseName);
            const int64_t status = tab.getint64(JobManager::SQLStatusTab::kStatus);
            out.status[name] = status;
            if (status == JobManager::kDBStatusSkippedInPhase || status == JobManager::kDBStatusSkippedAtCollect) {
                out.skipped[name] = tab.getint64(JobManager::SQLStatusTab::kSkipReason);
            }
        }
        return out;
    }

    // "<instance> <database> <dump file>" of each Logs row of the folder's
    // loginfo.db.
    static std::set<std::string> LogInfoRows(const std::string& folder) {
        std::set<std::string> rows;
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        EXPECT_TRUE(db.Exists()) << folder;
        if (!db.Exists()) return rows;
        DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 0, true);
        std::unique_ptr<SQueryHandle> query = db.ExecuteQuery(
            "SELECT d.InstanceName, d.DatabaseName, l.FileName FROM Logs l "
            "JOIN Databases d ON d.SerialNo = l.DBSerialNo_FK");
        while (query && query->m_query->NextRow()) {
            rows.insert(query->m_query->GetStringField(0) + " " + query->m_query->GetStringField(1) + " " +
                        query->m_query->GetStringField(2));
        }
        return rows;
    }

    int64_t JobStatus(uint64_t jobId) {
        const auto completions = Journal(jobId, "complete");
        return completions.empty() ? -1 : std::stoll(completions.back().Get("status"));
    }
};

TEST_F(LogDumpJobTest, QualifyingDatabasesAreDumpedInCaseInsensitiveOrderAndTheCacheIsKept) {
    const std::string dumpFolder = ArMgrClientAPI::MountPathsFolder(1234) + "/mp1";
    std::filesystem::create_directories(dumpFolder);
    ASSERT_TRUE(RunPhase(69, "-D"));  // a log dump continues a full backup
    ASSERT_TRUE(RunDump(70));
    EXPECT_EQ(root.ReadFile("jobresults/70/LogDBList.jxf"), "HOST/INST\nAlpha\nbeta\nGamma\n");
    const std::string given = root.ReadFile("dumplib/PerformSQLDump.log");
    EXPECT_NE(given.find("subclient=1234:daily backupSet=2 instance=7:HOST/INST client=3:node1"), std::string::npos)
        << given;
    EXPECT_NE(given.find("dumpType=4 options=4 useCache=1 valid=1 onSecondary=0"), std::string::npos) << given;
    EXPECT_NE(given.find("databases=Alpha,beta,Gamma"), std::string::npos) << given;

    const DumpOutcome outcome = Outcome(70);
    // The read-only database is already left out when the job lists the subclient.
    ASSERT_EQ(outcome.skipped.size(), 2u);
    EXPECT_EQ(outcome.skipped.at("plain"), 3);
    EXPECT_EQ(outcome.status.at("archive"), JobManager::kDBStatusSkippedAtCollect);
    for (const char* name : {"Alpha", "beta", "Gamma"}) {
        EXPECT_EQ(outcome.status.at(name), JobManager::kDBStatusBackedUp) << name;
    }
    EXPECT_EQ(JobStatus(70), 1);

    // Each dumped database has its dump and metadata on the subclient's disk
    // library and one row in the folder's loginfo.db; the others have none.
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dumpFolder)) {
        if (entry.is_regular_file()) files.insert(entry.path().filename().string());
    }
    EXPECT_EQ(files, (std::set<std::string>{"alpha_log_backup_1.bak", "alpha_log_backup_1.xml",
                                            "beta_log_backup_1.bak", "beta_log_backup_1.xml",
                                            "gamma_log_backup_1.bak", "gamma_log_backup_1.xml", "loginfo.db",
                                            "loginfo.db.lock"}));
    EXPECT_EQ(LogInfoRows(dumpFolder), (std::set<std::string>{"HOST/INST Alpha alpha_log_backup_1.bak",
                                                              "HOST/INST beta beta_log_backup_1.bak",
                                                              "HOST/INST Gamma gamma_log_backup_1.bak"}));

    // The persisted cache reads back into the same details and results.
    std::string text;
    ASSERT_NE(JXPlatformInfo().getString("MSSQLAgent/SqlBackupDump/1234", "Cache", text), 0);
    SubClientCache cache;
    ASSERT_TRUE(cache.SetCacheFromString(text));
    EXPECT_EQ(cache.m_subclientName, "daily");
    EXPECT_EQ(cache.m_instanceName, "HOST/INST");
    EXPECT_EQ(cache.m_clientText2, "node1.example");
    EXPECT_EQ(cache.m_databaseNames, (std::set<std::string>{"Alpha", "Gamma", "beta"}));
    ASSERT_EQ(cache.m_dbBackupInfo.size(), 3u);
    EXPECT_FALSE(cache.m_dbBackupInfo.at("gamma").resultText.empty());
}

TEST_F(LogDumpJobTest, ADatabaseTheLibraryCouldNotDumpFailsAloneAndTheOthersSucceed) {
    ASSERT_FALSE(instance.SetDatabaseState("beta", SQLDB_STATE_OFFLINE).IsError());
    ASSERT_TRUE(RunDump(71));
    const DumpOutcome outcome = Outcome(71);
    EXPECT_EQ(outcome.skipped.count("beta"), 1u);
    EXPECT_EQ(root.ReadFile("jobresults/71/LogDBList.jxf"), "HOST/INST\nAlpha\nGamma\n");
    EXPECT_EQ(outcome.status.at("Alpha"), JobManager::kDBStatusBackedUp);
    EXPECT_EQ(JobStatus(71), 1);
}

// With skipped databases marked failed, the database skipped while listing
// stays a failure of the job beside the dumped ones; with nothing dumped
// the job fails.
TEST_F(LogDumpJobTest, ASkippedDatabaseMarkedFailedMakesTheDumpPartialAndNothingDumpedFailsIt) {
    JXPlatformInfo().setNumber("MSSQLAgent", "bSQLSetCWEOnSkippedCount", 1);
    ASSERT_FALSE(instance.SetDatabaseState("beta", SQLDB_STATE_OFFLINE).IsError());
    ASSERT_TRUE(RunDump(74));
    EXPECT_EQ(Outcome(74).status.at("beta"), JobManager::kDBStatusSkippedCountedFailed);
    EXPECT_EQ(Outcome(74).status.at("Alpha"), JobManager::kDBStatusBackedUp);
    EXPECT_EQ(JobStatus(74), 3);

    ASSERT_EQ(::unlink((root.path() + "/Base/libJxSQLPmnOSC.so").c_str()), 0);
    ASSERT_TRUE(RunDump(75));
    EXPECT_EQ(JobStatus(75), 2);
}

// The log-dump job with the job state a test sets directly.
struct DumpJobUnderTest : CSQLDump {
    using CSQLCommon::m_bkpPhase;
    using CSQLCommon::m_bkyType;
    using CSQLCommon::m_pBkpJobClnt;
    using CSQLCommon::m_pJobClnt;
    using CSQLCommon::m_sServername;
    explicit DumpJobUnderTest(uint64_t jobId) : client(jobId) {
        m_sServername = "HOST/INST";
        m_bkpPhase = JXSQL_BACKUP_LOG;
        m_bkyType = JXSQL_BACKUP_LOG;
        m_pBkpJobClnt = &client;
        m_pJobClnt = &client;
    }
    ~DumpJobUnderTest() override {
        m_pBkpJobClnt = nullptr;
        m_pJobClnt = nullptr;
    }
    JXBkpJobClient client;
};

TEST_F(LogDumpJobTest, AnUnreachableInstanceFailsTheDumpInsteadOfCompletingIt) {
    ASSERT_FALSE(instance.SetServiceRunning(false).IsError());
    DumpJobUnderTest job(72);
    for (const char* name : {"Alpha", "beta", "Gamma"}) EXPECT_FALSE(job.DoesDatabaseQualify(name));
    EXPECT_FALSE(job.doDbSubclientBackup());
    EXPECT_EQ(root.ReadFile("dumplib/PerformSQLDump.log"), "") << "the library is not called";
    int causes = 0;
    for (const auto& e : Journal(72, "setPendingCause")) {
        if (std::stoul(e.Get("cause"), nullptr, 16) == 0x1E000139) ++causes;
    }
    EXPECT_EQ(causes, 1);
}

TEST_F(LogDumpJobTest, NothingQualifyingCompletesWithoutTheLibrary) {
    for (const char* name : {"beta", "Alpha", "Gamma"}) {
        ASSERT_FALSE(instance.SetDatabaseState(name, SQLDB_STATE_OFFLINE).IsError());
    }
    ASSERT_TRUE(RunDump(73));
    EXPECT_EQ(JobStatus(73), 1);
    EXPECT_EQ(root.ReadFile("dumplib/PerformSQLDump.log"), "");
}

TEST(SubClientCacheTextTest, EveryMemberTheDumpNeedsSurvivesTheTextAndBadTextChangesNothing) {
    SubClientCache cache;
    cache.StoreSubClientDetails(0x1'0000'0001ULL, "sc;with|odd\\chars\n", 9);
    cache.StoreInstanceDetails(7, "HOST/INST", "", "", 30);
    cache.StoreClientDetails(3, "node1", "node1.example", true, false);
    cache.StoreAGInfo("ag1", "HOST/INST");
    cache.StoreReplicaClientDetails(4, "node2", "node2.example");
    cache.SetCollectFile("/jr/LogDBList.jxf");
    cache.m_databaseNames = {"a=b", "c;d"};
    cache.m_dbBackupInfo["a=b"].resultText = "done|ok";
    cache.m_dbBackupInfo["a=b"].number64 = 77;
    const std::string text = cache.GetCacheAsString();
    EXPECT_EQ(text.find('\n'), std::string::npos) << "one line: the settings store keeps single lines";

    SubClientCache read;
    ASSERT_TRUE(read.SetCacheFromString(text));
    EXPECT_EQ(read.GetCacheAsString(), text);
    EXPECT_EQ(read.m_subclientName, "sc;with|odd\\chars\n");
    EXPECT_EQ(read.m_dbBackupInfo.at("a=b").resultText, "done|ok");

    for (const std::string& bad : {std::string(), std::string("other"), text + ";unknown=1",
                                   text + ";subclientId=x", text + ";result=a|1|2", text + ";name=\\q"}) {
        SubClientCache untouched;
        untouched.StoreSubClientDetails(5, "keep", 1);
        EXPECT_FALSE(untouched.SetCacheFromString(bad)) << bad;
        EXPECT_EQ(untouched.m_subclientName, "keep");
    }
}

}  // namespace

namespace {

struct AgDumpChild : DumpJobUnderTest {
    using CSQLCommon::m_isAGChild;
    using CSQLCommon::m_pMasterConnection;
    using CSQLDump::m_subClientCache;
    AgDumpChild() : DumpJobUnderTest(80) { m_isAGChild = true; }
};

TEST_F(LogDumpJobTest, AnAvailabilityGroupChildHandsItsCacheToTheMaster) {
    AgMasterOptions options;
    options.timeoutSeconds = 600;
    AgMasterStandIn master(options);
    uint16_t port = 0;
    std::string key;
    ASSERT_TRUE(master.Listen(port, key));
    std::thread serving([&master] {
        std::unique_ptr<CJxNetwork> child = master.AcceptChild();
        if (child != nullptr) master.Serve(*child);
    });
    {
        AgDumpChild job;
        std::vector<std::string> words = {"jxsqlbackup", "-jxscallerport", std::to_string(port), "-jxscallerkey", key};
        std::vector<char*> args;
        for (std::string& w : words) args.push_back(w.data());
        job.m_pMasterConnection = new CJxNetwork();
        bool timedOut = false;
        ASSERT_TRUE(job.m_pMasterConnection->AttachBackToCaller(static_cast<int>(args.size()), args.data(), timedOut)
                        .IsSuccess());
        job.m_subClientCache.StoreSubClientDetails(1234, "daily", 2);
        job.m_subClientCache.m_dbBackupInfo["Alpha"].resultText = "Log dump completed";
        EXPECT_TRUE(job.PostTLDump());
    }  // the job's end closes the connection, which ends the master's service
    serving.join();
    const std::vector<std::string> journal = master.Journal();
    ASSERT_EQ(journal.size(), 1u);
    EXPECT_EQ(journal[0].rfind("{\"event\":\"dumpCache\",\"subclient\":1234,\"operation\":1,\"cache\":\"", 0), 0u)
        << journal[0];
    EXPECT_NE(journal[0].find(";result=Alpha|0|0||Log dump completed"), std::string::npos) << journal[0];
}

TEST_F(LogDumpJobTest, AChildWithoutAMasterConnectionFailsTheSendAtOnce) {
    AgDumpChild job;
    EXPECT_FALSE(job.SendDumpInfoToMasterProcess());
    DumpJobUnderTest notAChild(81);
    EXPECT_FALSE(notAChild.SendDumpInfoToMasterProcess());
}

}  // namespace
