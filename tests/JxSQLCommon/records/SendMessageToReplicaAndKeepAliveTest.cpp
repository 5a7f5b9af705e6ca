// The request to a peer agent with a slice-by-slice wait, against a peer on
// loopback that answers at once, late, never, or drops the session.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SendMessageToReplicaAndKeepAlive.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsTargets.h"
#include "WzUtils/WzClock.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr unsigned long kRequest = 0x1e0000fa;
constexpr unsigned long kReply = 0x1e0000fb;

// How the peer behaves once it has the request.
enum class Peer { AnswerAfter, DropSession, StayQuiet };

class KeepAliveTest : public ::testing::Test {
protected:
    // By default 1 platform second = 0.1 real ms: a 600-second slice lasts 60 ms.
    explicit KeepAliveTest(double timeScale = 0.0001) : root(timeScale) {}

    jxtest::TestRoot root;

    ~KeepAliveTest() override {
        if (peerThread.joinable()) peerThread.join();
    }

    // Serves one request on `session` the way `behaviour` says; the answer
    // comes `delaySeconds` platform seconds after the request.
    void Serve(std::unique_ptr<CJxNetwork> session, Peer behaviour, uint32_t delaySeconds = 0) {
        peerThread = std::thread([this, s = std::move(session), behaviour, delaySeconds]() mutable {
            bool flag = false;
            unsigned long code = 0;
            if (s->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10000, flag).IsError()) return;
            requestSeen = code;
            if (behaviour == Peer::DropSession) return;  // closes the socket
            if (behaviour == Peer::AnswerAfter) {
                WZSLEEP_InTeRnAl(delaySeconds * 1000);
                if (s->SendXDRMessage(kReply, nullptr, 0, 10, flag).IsError()) {
                    peerAbort = s->GetPeerAbortStatus();
                    return;
                }
            }
            // Wait for what the requester does next: a disconnect or an abort.
            CWzError e = s->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10000, flag);
            if (e.IsSuccess() && code == JXS_MSG_DISCONNECT) {
                disconnected = true;
                EXPECT_TRUE(s->ReplyDisconnect(10, flag).IsSuccess());
            }
            peerAbort = s->GetPeerAbortStatus();
        });
    }

    // A connected requester session and its peer's end.
    std::unique_ptr<CJxNetwork> ConnectedPair(std::unique_ptr<CJxNetwork>& peer) {
        int fds[2];
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        peer = std::make_unique<CJxNetwork>(fds[1]);
        return std::make_unique<CJxNetwork>(fds[0]);
    }

    bool Send(CJxNetwork* network, unsigned int waitMinutes) {
        return SendMessageToReplicaAndKeepAlive(0, "replica1", network, &out, &in, kRequest, 0, waitMinutes);
    }

    size_t LogCount(const std::string& text) const {
        const std::string log = jxtest::ReadWholeFile(EvDebug::LogFilePath());
        size_t n = 0;
        for (size_t pos = log.find(text); pos != std::string::npos; pos = log.find(text, pos + 1)) ++n;
        return n;
    }

    void Finish() {
        if (peerThread.joinable()) peerThread.join();
    }

    jxsDatabuf_v2 out, in;
    std::thread peerThread;
    unsigned long requestSeen = 0;
    bool disconnected = false;
    std::optional<jxsStatus> peerAbort;
};

// The attach handshake runs between two threads that a busy machine may hold
// off for many milliseconds: 1 platform second = 10 real ms, so the
// requester's 240-second attach wait lasts 2.4 s.
class KeepAliveAttachTest : public KeepAliveTest {
protected:
    KeepAliveAttachTest() : KeepAliveTest(0.01) {}
};

}  // namespace

TEST_F(KeepAliveTest, AReplyAfterSeveralSlicesIsReceivedAndTheSessionDisconnected) {
    std::unique_ptr<CJxNetwork> peer;
    auto network = ConnectedPair(peer);
    Serve(std::move(peer), Peer::AnswerAfter, 1500);  // two and a half slices
    EXPECT_TRUE(Send(network.get(), 0));
    Finish();
    EXPECT_EQ(requestSeen, kRequest);
    EXPECT_TRUE(disconnected);
    EXPECT_FALSE(network->IsConnected());
    EXPECT_GE(LogCount("Timed out but message is still processing"), 2u);
}

TEST_F(KeepAliveTest, ATenMinuteBudgetEndsAfterOneSliceAndAbortsTheSession) {
    std::unique_ptr<CJxNetwork> peer;
    auto network = ConnectedPair(peer);
    Serve(std::move(peer), Peer::StayQuiet);
    EXPECT_FALSE(Send(network.get(), 10));
    Finish();
    EXPECT_EQ(LogCount("Timed out but message is still processing"), 1u);
    EXPECT_EQ(LogCount("Waited for [10] seconds before timing out"), 1u);
    ASSERT_TRUE(peerAbort.has_value());
    EXPECT_EQ(peerAbort->statusClass, 2u);
    EXPECT_EQ(peerAbort->errorCode, static_cast<uint64_t>(ETIMEDOUT));
    EXPECT_EQ(peerAbort->severity, 2u);
    EXPECT_FALSE(network->IsConnected());
}

TEST_F(KeepAliveTest, AFifteenMinuteBudgetEndsAfterTwoSlicesWithoutWrappingAround) {
    std::unique_ptr<CJxNetwork> peer;
    auto network = ConnectedPair(peer);
    Serve(std::move(peer), Peer::StayQuiet);
    EXPECT_FALSE(Send(network.get(), 15));
    Finish();
    EXPECT_EQ(LogCount("Timed out but message is still processing"), 2u);
    EXPECT_EQ(LogCount("Waited for [15] seconds before timing out"), 1u);
    EXPECT_TRUE(peerAbort.has_value());
}

TEST_F(KeepAliveTest, ADroppedSessionEndsTheWaitAtOnce) {
    std::unique_ptr<CJxNetwork> peer;
    auto network = ConnectedPair(peer);
    Serve(std::move(peer), Peer::DropSession);
    const int64_t start = wz::ClockMs();
    EXPECT_FALSE(Send(network.get(), 0));
    EXPECT_LT(wz::ClockMs() - start, 600 * 1000);
    Finish();
    EXPECT_EQ(LogCount("Error peeking into message."), 1u);
    EXPECT_FALSE(network->IsConnected());
}

TEST_F(KeepAliveTest, MissingBuffersAreRefusedWithoutTraffic) {
    std::unique_ptr<CJxNetwork> peer;
    auto network = ConnectedPair(peer);
    EXPECT_FALSE(SendMessageToReplicaAndKeepAlive(0, "replica1", network.get(), &out, nullptr, kRequest, 0, 0));
    EXPECT_FALSE(SendMessageToReplicaAndKeepAlive(0, "replica1", nullptr, &out, &in, kRequest, 0, 0));
    EXPECT_EQ(LogCount("Invalid parameter passed."), 2u);
    jxsDataFormat format;
    bool timedOut = false;
    EXPECT_TRUE(peer->PeekDataFormat(format, 1, timedOut).IsError());
    EXPECT_TRUE(timedOut);
    EXPECT_TRUE(network->IsConnected());
}

TEST_F(KeepAliveAttachTest, AnUnconnectedSessionAttachesToThePeersAgentLibrary) {
    int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 1), 0);
    socklen_t length = sizeof address;
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ASSERT_TRUE(jxsRegisterTarget("replica1", ntohs(address.sin_port)));

    std::string library, entry;
    std::thread host([&] {
        int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) return;
        auto session = std::make_unique<CJxNetwork>(fd);
        jxsExecuteRemoteDllType descriptor;
        std::string ownName;
        if (session->ReadAttachRequest(descriptor, ownName, 1000).IsError()) return;
        library = descriptor.libraryName;
        entry = descriptor.entryName;
        EXPECT_TRUE(session->ReplyAttach(0, "", 1000).IsSuccess());
        Serve(std::move(session), Peer::AnswerAfter, 0);
    });
    CJxNetwork network;
    EXPECT_TRUE(Send(&network, 0));
    host.join();
    Finish();
    ::close(listener);
    EXPECT_EQ(library, "sLNSQLClient61");
    EXPECT_EQ(entry, "sLPSQLMSG");
    EXPECT_TRUE(disconnected);

    CJxNetwork unknown;
    EXPECT_FALSE(SendMessageToReplicaAndKeepAlive(0, "no-such-client", &unknown, &out, &in, kRequest, 0, 0));
    EXPECT_EQ(LogCount("Attach failed. Error:["), 1u);
}
