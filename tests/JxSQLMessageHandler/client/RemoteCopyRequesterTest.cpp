// The requester's side of a remote copy against a scripted serving node:
// what it sends, and how it treats each acknowledgement.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/client/CSQLRemoteOps.h"
#include "JxSQLMessageHandler/client/RemoteCopyAck.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsTargets.h"
#include "tests/JxSQLMessageHandler/client/RemoteCopyNodes.h"
#include "tests/support/TestRoot.h"

namespace jxtest {
namespace {

// A serving node that accepts one attach, takes the request, sends the
// acknowledgements of its script and, after each one marked so, reads one
// message from the requester.
class ScriptedNode {
public:
    struct Step {
        int64_t status;
        std::string text;
        bool thenReceive = false;
        uint32_t delayMs = 0;  // platform time before the step
    };

    explicit ScriptedNode(std::vector<Step> script) : m_script(std::move(script)) {
        m_listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listenFd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(m_listenFd, 1) != 0 || ::getsockname(m_listenFd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { Serve(); });
    }
    ~ScriptedNode() {
        if (m_thread.joinable()) m_thread.join();
        ::close(m_listenFd);
    }
    uint16_t port() const { return m_port; }
    // What arrived; read after the requester returned.
    const SQLPmn::RemoteCopyInfo& request() {
        Finish();
        return m_request;
    }
    const std::vector<SQLPmn::RemoteCopyFileAck>& replies() {
        Finish();
        return m_replies;
    }
    const jxsExecuteRemoteDllType& descriptor() {
        Finish();
        return m_descriptor;
    }

private:
    void Finish() {
        if (m_thread.joinable()) m_thread.join();
    }
    void Serve() {
        pollfd p{m_listenFd, POLLIN, 0};
        if (::poll(&p, 1, 10000) != 1) return;
        int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        CJxNetwork session(fd);
        std::string caller;
        bool timedOut = false;
        if (session.ReadAttachRequest(m_descriptor, caller, 100).IsError() || session.ReplyAttach(0, "", 100).IsError()) {
            return;
        }
        std::unique_ptr<CNMessageBase> message = Receive(session, 100);
        if (!message || m_request.copyFrom(*message) != kMsgOk) return;
        for (const Step& step : m_script) {
            WZSLEEP_InTeRnAl(step.delayMs);
            if (SendRemoteCopyAck(session, static_cast<eRemoteCopyStatus>(step.status), step.text).IsError()) return;
            if (!step.thenReceive) continue;
            message = Receive(session, 20);
            SQLPmn::RemoteCopyFileAck ack;
            if (message && ack.copyFrom(*message) == kMsgOk) m_replies.push_back(ack);
        }
        // Wait for the requester's disconnect request (longer than its own
        // receive time-out) before closing.
        CNMessageBase* rest = nullptr;
        (void)session.ReceiveXMLMessage(nullptr, rest, nullptr, 0, 200, timedOut);  // a close ends it too
        delete rest;
    }
    static std::unique_ptr<CNMessageBase> Receive(CJxNetwork& session, int timeout) {
        CNMessageBase* message = nullptr;
        bool timedOut = false;
        // A failed receive leaves `message` null, which the callers check.
        (void)session.ReceiveXMLMessage(nullptr, message, nullptr, 0, timeout, timedOut);
        return std::unique_ptr<CNMessageBase>(message);
    }

    std::vector<Step> m_script;
    int m_listenFd = -1;
    uint16_t m_port = 0;
    std::thread m_thread;
    jxsExecuteRemoteDllType m_descriptor;
    SQLPmn::RemoteCopyInfo m_request;
    std::vector<SQLPmn::RemoteCopyFileAck> m_replies;
};

class RemoteCopyRequesterTest : public ::testing::Test {
protected:
    RemoteCopyRequesterTest() : root(0.01) { JXPlatformInfo().setString("", "sPhysicalNodeName", "restorer"); }

    CWzError Pull(ScriptedNode& node, CSQLRemoteOps ops = CSQLRemoteOps()) {
        EXPECT_TRUE(jxsRegisterTarget("scripted", node.port()));
        std::string name = "scripted";
        files = {CopyEntry("/jr/1/", "/local/jr", "a.idx"), CopyEntry("/jr/2/", "/local/jr", "b.idx")};
        return ops.PullContentFromRemoteNode(name, files, eRemoteOpsPushFiles, 42);
    }

    TestRoot root;
    std::vector<SQLPmn::RemoteCopyFileInfo> files;
};

TEST_F(RemoteCopyRequesterTest, SendsOneRequestNamingItselfAndTheFiles) {
    ScriptedNode node({{REMOTE_COPY_STARTED, "Remote copy started"},
                       {REMOTE_COPY_IN_PROGRESS, "Remote copy in progress"},
                       {REMOTE_COPY_COMPLETED, "Remote copy completed successfully"}});
    CWzError e = Pull(node);
    EXPECT_TRUE(e.IsSuccess()) << e.AsString();
    EXPECT_STREQ("sLNSQLCOMM", node.descriptor().libraryName);
    EXPECT_STREQ("sSQLRemoteOpsMsgEntry", node.descriptor().entryName);
    EXPECT_EQ(999900u, node.descriptor().option);
    const SQLPmn::RemoteCopyInfo& request = node.request();
    EXPECT_EQ("restorer", request.getstring(SQLPmn::RemoteCopyInfo::kNodeName));
    EXPECT_EQ(0, request.getint64(SQLPmn::RemoteCopyInfo::kContentType));
    EXPECT_EQ(42, request.getint64(SQLPmn::RemoteCopyInfo::kRequestId));
    std::vector<SQLPmn::RemoteCopyFileInfo> sent;
    ASSERT_TRUE(request.getlistobject(SQLPmn::RemoteCopyInfo::kFiles, sent));
    EXPECT_EQ(files.size(), sent.size());
    EXPECT_TRUE(sent == files);
}

TEST_F(RemoteCopyRequesterTest, FailureAcknowledgementBecomesTheError) {
    ScriptedNode node({{REMOTE_COPY_STARTED, "Remote copy started"},
                       {REMOTE_COPY_FAILED, "Remote copy failed with error [disk full]"}});
    CWzError e = Pull(node);
    ASSERT_TRUE(e.IsError());
    EXPECT_EQ("Remote copy operation to node [scripted] failed with error [Remote copy failed with error [disk full]].",
              e.GetMessage());
}

TEST_F(RemoteCopyRequesterTest, UnknownStatusEndsTheConversation) {
    ScriptedNode node({{REMOTE_COPY_STARTED, "Remote copy started"}, {5, "what"},
                       {REMOTE_COPY_COMPLETED, "Remote copy completed successfully"}});
    CWzError e = Pull(node);
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("is not of recognized type")) << e.GetMessage();
}

TEST_F(RemoteCopyRequesterTest, StoppedJobAsksToSuspendOnProgressReport) {
    const uint64_t jobId = 77;
    JXJobCtrlClient jobCtrl(jobId);
    ASSERT_TRUE(JXJobCtrlClient::requestStop(jobId));
    ScriptedNode node({{REMOTE_COPY_STARTED, "Remote copy started", true},
                       {REMOTE_COPY_IN_PROGRESS, "Remote copy in progress", true},
                       {REMOTE_COPY_FAILED, "Remote copy got suspended"}});
    CWzError e = Pull(node, CSQLRemoteOps(&jobCtrl, nullptr));
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("[Remote copy got suspended]")) << e.GetMessage();
    // Nothing after the start report; the suspend request after the progress report.
    ASSERT_EQ(1u, node.replies().size());
    EXPECT_EQ(REMOTE_COPY_SUSPEND, node.replies()[0].getint64(SQLPmn::RemoteCopyFileAck::kStatus));
    EXPECT_EQ("Remote copy in Suspended", node.replies()[0].getstring(SQLPmn::RemoteCopyFileAck::kText));
}

TEST_F(RemoteCopyRequesterTest, LongWaitKeepsTheJobAlive) {
    wz::SetTimeScale(0.002);  // eleven progress reports a minute apart in 1.3 s
    std::vector<ScriptedNode::Step> script = {{REMOTE_COPY_STARTED, "Remote copy started"}};
    for (int i = 0; i < 11; ++i) script.push_back({REMOTE_COPY_IN_PROGRESS, "Remote copy in progress", false, 60000});
    script.push_back({REMOTE_COPY_COMPLETED, "Remote copy completed successfully"});
    ScriptedNode node(script);
    const uint64_t jobId = 78;
    JXJobClient jobClient(jobId);
    CWzError e = Pull(node, CSQLRemoteOps(nullptr, &jobClient));
    ASSERT_TRUE(e.IsSuccess()) << e.AsString();
    auto journal = jobmanager::JobJournalReader::Read(jobId);
    ASSERT_TRUE(journal.has_value());
    EXPECT_EQ(1u, jobmanager::JobJournalReader::WithOp(*journal, "markJobAlive").size());
}

TEST_F(RemoteCopyRequesterTest, SilentNodeTimesOut) {
    ScriptedNode node({{REMOTE_COPY_STARTED, "Remote copy started"}});
    CWzError e = Pull(node);
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("Network timeout on waiting to receive message from scripted"))
        << e.GetMessage();
}

}  // namespace
}  // namespace jxtest
