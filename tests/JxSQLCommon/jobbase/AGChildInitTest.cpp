// An availability-group child's initialisation against a master stand-in on
// loopback: the start message, the SQL Server to use, and a master that
// never answers.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "JXAppMgr/AppModel.h"
#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSession/CJxNetwork.h"
#include "tests/JxSQLCommon/jobbase/BackupInitFixture.h"

namespace {

// A connected pair of sockets over 127.0.0.1: the child's end and the master's.
void LoopbackPair(int& childFd, int& masterFd) {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t len = sizeof addr;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&addr), &len), 0);
    childFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::connect(childFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    masterFd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
    ASSERT_GE(masterFd, 0);
    ::close(listener);
}

// What the master stand-in saw of its child.
struct MasterLog {
    int64_t started = -1;
    int requests = 0;
};

// Serves the child: reads its start message, then answers each request for
// the SQL Server to use with `server` and `instanceId` (or, when `answer` is
// false, reads one request and stays silent until the child hangs up).
void ServeChild(int fd, bool answer, const std::string& server, int64_t instanceId, MasterLog& log) {
    CJxNetwork master(fd);
    bool flag = false;
    for (;;) {
        CNMessageBase* received = nullptr;
        if (master.ReceiveXMLMessage(nullptr, received, nullptr, 0, 5000, flag).IsError()) return;
        std::unique_ptr<CNMessageBase> message(received);
        if (message->getMessage() == 41) {
            log.started = message->getint64(SQLPmn::SQLAGClientStartedFinish::kStarted);
            continue;
        }
        ++log.requests;
        if (!answer) continue;
        SQLPmn::SQLAGSQLServerToUseForBackup reply;
        reply.setstring(SQLPmn::SQLAGSQLServerToUseForBackup::kServerName, server);
        reply.setint64(SQLPmn::SQLAGSQLServerToUseForBackup::kInstanceId, instanceId);
        EXPECT_TRUE(master.SendXMLMessage(reply, 0, 5000, flag).IsSuccess());
    }
}

class AGChildInit : public BackupInit {
protected:
    void SetUp() override {
        BackupInit::SetUp();
        App::SQLAvailabilityGroup group;
        group.setstring(App::SQLAvailabilityGroup::kName, "AG1");
        std::string xml;
        ASSERT_EQ(group.serialize(xml), 0);
        AppModel::Set("instance/7", "availabilityGroup", xml);
        AppModel::Set("instance/9", "name", "listener1/AG1");
        AppModel::Set("instance/9", "availabilityGroup", xml);
    }

    // Makes the job an availability-group child connected to a master that
    // `serve` runs on its own thread.
    void StartMaster(bool answer, const std::string& server, int64_t instanceId) {
        int childFd = -1;
        int masterFd = -1;
        LoopbackPair(childFd, masterFd);
        Job().m_isAGChild = true;
        Job().m_pMasterConnection = new CJxNetwork(childFd);
        master = std::thread(ServeChild, masterFd, answer, server, instanceId, std::ref(log));
    }
    // Hangs up on the master and waits for it.
    void StopMaster() {
        delete Job().m_pMasterConnection;
        Job().m_pMasterConnection = nullptr;
        if (master.joinable()) master.join();
    }
    void TearDown() override { StopMaster(); }

    std::thread master;
    MasterLog log;
};

TEST_F(AGChildInit, ChildTellsTheMasterAndTakesItsServerName) {
    AppModel::Set("instance/7", "name", "listener1/AG1");
    StartMaster(true, "node2/INST", 9);
    bool registered = false;
    ASSERT_TRUE(Initialize(registered));
    StopMaster();
    EXPECT_EQ(log.started, 1);
    EXPECT_EQ(log.requests, 1);
    EXPECT_EQ(Job().m_sServername, "node2/INST");
    EXPECT_EQ(Job().m_virtualInstanceName, "AG1/listener1");
    EXPECT_EQ(Job().m_agName, "AG1");
}

TEST_F(AGChildInit, RemoteBlobStoreChildTakesServerAndInstanceFromTheMaster) {
    StartMaster(true, "spnode/INST", 9);
    bool registered = false;
    ASSERT_TRUE(Initialize(registered, {"-rbs"}));
    StopMaster();
    EXPECT_EQ(Job().m_sServername, "spnode/INST");
    EXPECT_EQ(Job().m_masterInstanceId, 9u);
    EXPECT_EQ(Job().m_virtualInstanceName, "listener1/AG1");
    EXPECT_EQ(Job().m_instanceId, 7u);
    EXPECT_EQ(Job().m_agName, "AG1");
}

TEST_F(AGChildInit, SilentMasterFailsTheChildWithinTheBound) {
    StartMaster(false, "", 0);
    bool registered = false;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(Initialize(registered));
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(3));
    EXPECT_TRUE(registered);
    auto causes = CauseEntries();
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseInstanceId));
    EXPECT_EQ(causes[0].List("args"), (std::vector<std::string>{"1234", "2"}));
}

TEST_F(AGChildInit, ChildWithoutAMasterSessionFailsWithACause) {
    Job().m_isAGChild = true;
    bool registered = false;
    EXPECT_FALSE(Initialize(registered));
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseInstanceId)}));
}

TEST_F(AGChildInit, MissingOrBadAvailabilityGroupFailsTheChild) {
    for (const char* value : {"", "<not-a-message/>"}) {
        SCOPED_TRACE(value);
        StopMaster();
        Reset();
        SetUp();
        AppModel::Set("instance/7", "availabilityGroup", value);
        StartMaster(true, "node2/INST", 9);
        bool registered = false;
        EXPECT_FALSE(Initialize(registered));
        EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseInstanceId)}));
    }
}

}  // namespace
