// An availability-group child's exchange with its master over loopback: the
// collect-file requests and hand-overs, stream counts, the job status, and a
// master that answers late, wrongly or not at all; the group's collect file.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSession/CJxNetwork.h"
#include "JxsqlDMO/SqlDbState.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace {

using CF = SQLPmn::SQLAGCollectFile;
using SC = SQLPmn::SQLAGStreamCount;
using Answer = std::function<std::unique_ptr<CNMessageBase>(const CNMessageBase&)>;

struct ChildJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBase::m_vdiTimeout;
    using CSQLCommon::m_agName;
    using CSQLCommon::m_applicationId;
    using CSQLCommon::m_isAGChild;
    using CSQLCommon::m_pMasterConnection;
    using CSQLCommon::m_pSubclient;
    int streamInfoCount = -1;
    bool GenerateStreamInfoFile(unsigned int, int count) override {
        streamInfoCount = count;
        return true;
    }
};

// A master on the other end of the child's connection: records every message
// and answers through `answer` (null: stays silent).
class Master {
public:
    Master(int fd, Answer answer) : m_thread([this, fd, answer] { Serve(fd, answer); }) {}
    ~Master() { Join(); }
    void Join() {
        if (m_thread.joinable()) m_thread.join();
    }
    std::vector<std::unique_ptr<CNMessageBase>> seen;

private:
    void Serve(int fd, const Answer& answer) {
        CJxNetwork session(fd);
        bool flag = false;
        for (;;) {
            CNMessageBase* received = nullptr;
            if (session.ReceiveXMLMessage(nullptr, received, nullptr, 0, 600, flag).IsError()) return;
            std::unique_ptr<CNMessageBase> message(received);
            std::unique_ptr<CNMessageBase> reply = answer(*message);
            seen.push_back(std::move(message));
            if (reply != nullptr) (void)session.SendXMLMessage(*reply, 0, 600, flag);
        }
    }
    std::thread m_thread;
};

std::unique_ptr<CNMessageBase> CollectReply(int64_t status, std::vector<std::string> names, int64_t count) {
    auto reply = std::make_unique<CF>();
    reply->setint64(CF::kOwnCollectFile, status);
    reply->setliststring(CF::kDatabases, names);
    reply->setint64(CF::kStreamCount, count);
    return reply;
}

class MasterExchangeTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        CSQLCommon::COLLECTFILENAME = "FullDBList.jxf";
        job.m_isAGChild = true;
        job.m_agName = "AG1";
        job.m_vdiTimeout = 30;  // platform seconds: 300 ms at the tests' time scale
    }
    void TearDown() override {
        delete job.m_pMasterConnection;  // the master sees the hang-up and ends
        job.m_pMasterConnection = nullptr;
        if (master) master->Join();
    }

    void StartMaster(Answer answer) {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        job.m_pMasterConnection = new CJxNetwork(fds[0]);
        master = std::make_unique<Master>(fds[1], std::move(answer));
    }
    // Ends the exchange and gives what the master saw.
    const std::vector<std::unique_ptr<CNMessageBase>>& Seen() {
        delete job.m_pMasterConnection;
        job.m_pMasterConnection = nullptr;
        master->Join();
        return master->seen;
    }

    SqlSimInstance instance;
    ChildJob job{91};
    std::unique_ptr<Master> master;
};

TEST_F(MasterExchangeTest, PromotedListAndStreamCountComeFromTheMasterAndTheCountGoesBack) {
    StartMaster([](const CNMessageBase& m) -> std::unique_ptr<CNMessageBase> {
        if (m.getMessage() == 15) return CollectReply(1, {"db2", "db1"}, 3);
        return nullptr;
    });
    const std::string path = root.path() + "/results/FullDBList.jxf";
    ASSERT_TRUE(job.GeneratePromotedCollectFileForAlwaysON(path));
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "db2\ndb1\n");
    EXPECT_EQ(job.streamInfoCount, 3);
    const auto& seen = Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0]->getint64(CF::kWantPromoted), 1);
    EXPECT_EQ(seen[0]->getint64(CF::kPhaseFull), 1);
    EXPECT_EQ(seen[1]->getMessage(), 61);
    EXPECT_TRUE(seen[1]->isSet(SC::kStreamCount));
}

TEST_F(MasterExchangeTest, ARefusalOrABadNameChangesNoFile) {
    int calls = 0;
    StartMaster([&calls](const CNMessageBase&) -> std::unique_ptr<CNMessageBase> {
        return ++calls == 1 ? CollectReply(0, {"db1"}, 2) : CollectReply(1, {"db1\nmaster"}, 2);
    });
    root.WriteFile("results/FullDBList.jxf", "old\n");
    const std::string path = root.path() + "/results/FullDBList.jxf";
    EXPECT_FALSE(job.GenerateRestartCollectFileForAlwaysON(path));
    EXPECT_FALSE(job.GenerateRestartCollectFileForAlwaysON(path));
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "old\n");
    EXPECT_EQ(job.streamInfoCount, -1);
}

TEST_F(MasterExchangeTest, ASilentMasterIsGivenUpOnAndItsLateReplyIsNeverTakenForAnother) {
    int calls = 0;
    job.m_vdiTimeout = 3;  // the child gives up after 30 ms, far before the late answer
    StartMaster([&calls](const CNMessageBase&) -> std::unique_ptr<CNMessageBase> {
        if (++calls == 1) {
            // Answers long after the child's bound.
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
            auto late = std::make_unique<SC>();
            late->setint64(SC::kStreamCount, 9);
            return late;
        }
        return CollectReply(1, {"db1"}, 1);
    });
    int count = 0;
    EXPECT_TRUE(job.FetchStreamCountFromMaster(count));  // an unanswered query still lets the job go on
    EXPECT_EQ(count, 0);
    // The late reply must not answer this request: the connection is no longer used.
    root.WriteFile("results/FullDBList.jxf", "db1\n");
    EXPECT_FALSE(job.SendGeneratedCollectFileForAlwaysONToMasterProcess(root.path() + "/results/FullDBList.jxf",
                                                                        JXSQL_BACKUP_FULL, false));
    EXPECT_FALSE(job.SendJobCompletionStatusToMaster(JXSQL_JOB_COMPLETED));
    EXPECT_EQ(Seen().size(), 1u);
}

TEST_F(MasterExchangeTest, AReplyOfTheWrongKindFailsTheRequest) {
    StartMaster([](const CNMessageBase&) -> std::unique_ptr<CNMessageBase> {
        auto wrong = std::make_unique<SQLPmn::SQLAGJobStatus>();
        wrong->setint64(SQLPmn::SQLAGJobStatus::kSuccess, 1);
        return wrong;
    });
    root.WriteFile("results/FullDBList.jxf", "db1\n");
    EXPECT_FALSE(job.SendGeneratedCollectFileForAlwaysONToMasterProcess(root.path() + "/results/FullDBList.jxf",
                                                                        JXSQL_BACKUP_DIFF, true));
    const auto& seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0]->getint64(CF::kConvertedList), 1);
    EXPECT_EQ(seen[0]->getint64(CF::kPhaseDiff), 1);
    EXPECT_EQ(seen[0]->getliststring(CF::kDatabases), std::vector<std::string>{"db1"});
}

TEST_F(MasterExchangeTest, JobStatusGoesInItsOwnFieldAndUnknownValuesSendNothing) {
    StartMaster([](const CNMessageBase&) { return std::unique_ptr<CNMessageBase>(); });
    EXPECT_TRUE(job.SendJobCompletionStatusToMaster(JXSQL_JOB_PARTIAL));
    EXPECT_TRUE(job.SendJobCompletionStatusToMaster(JXSQL_JOB_FAILED));
    EXPECT_FALSE(job.SendJobCompletionStatusToMaster(7));
    job.m_bkpPhase = static_cast<JXSQLExeBackupType>(9);
    int count = 0;
    EXPECT_FALSE(job.FetchStreamCountFromMaster(count));
    const auto& seen = Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0]->getint64(SQLPmn::SQLAGJobStatus::kPartialSuccess), 1);
    EXPECT_EQ(seen[1]->getint64(SQLPmn::SQLAGJobStatus::kFailure), 1);
}

class AlwaysOnCollectTest : public MasterExchangeTest {
protected:
    void SetUp() override {
        MasterExchangeTest::SetUp();
        jxtest::MakeInstance(instance, {"g1", "G2", "other", "loose", "dark"});
        for (const char* name : {"AG1", "AG2"}) {
            SqlSimAvailabilityGroupSpec group;
            group.name = name;
            ASSERT_FALSE(instance.AddAvailabilityGroup(group).IsError());
        }
        ASSERT_FALSE(instance.JoinAvailabilityGroup("AG1", "g1").IsError());
        ASSERT_FALSE(instance.JoinAvailabilityGroup("ag1", "G2").IsError());
        ASSERT_FALSE(instance.JoinAvailabilityGroup("AG2", "other").IsError());
        ASSERT_FALSE(instance.JoinAvailabilityGroup("AG1", "dark").IsError());
        ASSERT_FALSE(instance.SetDatabaseState("dark", SQLDB_STATE_OFFLINE).IsError());
        AppModel::Set("subclient/11", "name", "ag");
        int n = 0;
        for (const char* name : {"g1", "G2", "other", "loose", "dark", "gone"}) {
            AppModel::Set("subclient/11", "property118_" + std::to_string(++n), name);
        }
        job.m_applicationId = ApplicationId(2, 11);
        job.m_pSubclient = job.m_applicationId.getSubclient();
        ASSERT_NE(job.m_pSubclient, nullptr);
    }
};

TEST_F(AlwaysOnCollectTest, TheGroupsDatabasesAreListedAndHandedToTheMaster) {
    StartMaster([](const CNMessageBase&) { return CollectReply(1, {}, 0); });
    ASSERT_TRUE(job.GenerateCollectFileForAlwaysON());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "g1\nG2\n");
    const auto& seen = Seen();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0]->getliststring(CF::kDatabases), (std::vector<std::string>{"g1", "G2"}));
    std::map<std::string, int64_t> codes;
    for (const std::string& xml : statustab::Records(91, 2)) {
        JobManager::SQLStatusTab tab;
        ASSERT_EQ(tab.unserialize(xml), kMsgOk);
        codes[tab.getstring(JobManager::SQLStatusTab::kDatabaseName)] =
            tab.getint64(JobManager::SQLStatusTab::kSkipReason);
    }
    EXPECT_EQ(codes["other"], 4);
    EXPECT_EQ(codes["gone"], 6);
    EXPECT_EQ(codes["dark"], 1);
}

TEST_F(AlwaysOnCollectTest, OnDemandListOfTheMasterIsCheckedAndAlwaysAsksForTheLogPhase) {
    StartMaster([](const CNMessageBase& m) -> std::unique_ptr<CNMessageBase> {
        if (m.getint64(CF::kWantOnDemandList) == 1) return CollectReply(1, {"other", "g1", "gone"}, 2);
        return CollectReply(1, {}, 0);
    });
    job.m_bkpPhase = JXSQL_BACKUP_FULL;
    ASSERT_TRUE(job.CreateCollectFileForAlwaysOnOSC());
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "g1\n");
    EXPECT_EQ(job.streamInfoCount, 2);
    const auto& seen = Seen();
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0]->getint64(CF::kPhaseLog), 1);  // whatever the job's phase
    EXPECT_FALSE(seen[0]->isSet(CF::kPhaseFull));
}

}  // namespace
