// Sessions end to end over a connected socket pair: records, XML text, peek,
// time-outs, disconnect and abort as the peer sees them.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsFrame.h"
#include "JxSession/jxsSocket.h"
#include "Messages/CNMessageBase.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"
#include "tests/platform/JxSession/EchoRecord.h"
#include "tests/support/TestRoot.h"

namespace {

class SessionPair : public jxtest::RootedTest {
protected:
    void SetUp() override {
        RegisterEchoRecord();
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        a = std::make_unique<CJxNetwork>(fds[0]);
        b = std::make_unique<CJxNetwork>(fds[1]);
        bFd = fds[1];
    }

    unsigned long LastError(CJxNetwork& session) {
        unsigned long code = 0;
        std::string text;
        EXPECT_TRUE(session.GetLastErrorGenericText(&code, text, 0).IsSuccess());
        return code;
    }

    std::unique_ptr<CJxNetwork> a, b;
    int bFd = -1;  // b's socket, for bytes no session would send
    bool flag = false;
};

TEST_F(SessionPair, RecordArrivesWithItsCodeAndGroup) {
    uint64_t values[] = {3, 4};
    char text[] = "db1";
    EchoRecord_t sent{7, text, 2, values};
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&sent, sizeof sent);
    ASSERT_TRUE(a->SendXDRMessage(kEchoRequestCode, &out, 0, 10, flag).IsSuccess());

    EchoRecord_t got{};
    jxsDatabuf_v2 in;
    in.setExternalBuffer(&got, sizeof got);
    jxsHostProtocolHeader header;
    unsigned long code = 0;
    ASSERT_TRUE(b->ReceiveXDRMessage(&code, &in, &header, 0, 10, flag).IsSuccess());
    EXPECT_EQ(code, kEchoRequestCode);
    EXPECT_EQ(header.messageGroup, 0x1e000000u);
    EXPECT_EQ(got.number, 7u);
    EXPECT_STREQ(got.text, "db1");
    EXPECT_EQ(got.values[1], 4u);
    EXPECT_TRUE(CJxNetwork::FreeReceivedMessage(code, &in).IsSuccess());
    EXPECT_TRUE(CJxNetwork::FreeReceivedMessage(code, &in).IsSuccess());
}

TEST_F(SessionPair, QuietPeerTimesOutWithFlagAndSessionStaysUsable) {
    jxsDataFormat format;
    CWzError e = b->PeekDataFormat(format, 5, flag);
    EXPECT_TRUE(e.IsError());
    EXPECT_TRUE(flag);
    EXPECT_EQ(LastError(*b), static_cast<unsigned long>(ETIMEDOUT));
    EXPECT_TRUE(b->IsConnected());

    ASSERT_TRUE(a->SendXMLMessage("<m/>", 0, 10, flag, 0x1e000114).IsSuccess());
    ASSERT_TRUE(b->PeekDataFormat(format, 10, flag).IsSuccess());
    EXPECT_FALSE(flag);
    EXPECT_EQ(format, JXS_DATA_FORMAT_XML);
    // Peeking again does not consume the message.
    ASSERT_TRUE(b->PeekDataFormat(format, 10, flag).IsSuccess());
    std::string xml;
    unsigned long code = 0;
    ASSERT_TRUE(b->ReceiveXMLMessage(&code, xml, nullptr, 0, 10, flag).IsSuccess());
    EXPECT_EQ(xml, "<m/>");
    EXPECT_EQ(code, 0x1e000114u);
}

// 5 platform seconds are 5 real milliseconds; the peer answers after 300,
// within the test root's floor for waits on a helper process.
TEST_F(SessionPair, APeerThatIsAHelperProcessIsWaitedForUpToTheFloor) {
    b->SetPeerIsHelperProcess();
    std::thread late([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        bool sendTimedOut = false;
        EXPECT_TRUE(a->SendXMLMessage("<m/>", 0, 10, sendTimedOut, 0x1e000114).IsSuccess());
    });
    jxsDataFormat format;
    EXPECT_TRUE(b->PeekDataFormat(format, 5, flag).IsSuccess());
    EXPECT_EQ(format, JXS_DATA_FORMAT_XML);
    late.join();
}

TEST_F(SessionPair, XmlMessageArrivesAsANewObjectUnderItsTagId) {
    CNMessageBase sent(34, 47);
    sent.setint64(1, 0, 5);
    sent.setstring(2, 1, "disk full");
    ASSERT_TRUE(a->SendXMLMessage(sent, 0, -1, flag).IsSuccess());

    CNMessageBase* got = nullptr;
    unsigned long code = 0;
    ASSERT_TRUE(b->ReceiveXMLMessage(&code, got, nullptr, 0, -1, flag).IsSuccess());
    std::unique_ptr<CNMessageBase> owned(got);
    ASSERT_NE(got, nullptr);
    EXPECT_EQ(code, sent.getTagID());
    EXPECT_TRUE(*got == sent);
}

TEST_F(SessionPair, MalformedXmlMessageGivesNoObject) {
    ASSERT_TRUE(a->SendXMLMessage(std::string("<SQLPmn_ErrorMessage"), 0, 10, flag).IsSuccess());
    CNMessageBase* got = reinterpret_cast<CNMessageBase*>(&flag);  // must be reset
    EXPECT_EQ(FXErrorUtil::GetErrNo(b->ReceiveXMLMessage(nullptr, got, nullptr, 0, 10, flag)), EBADMSG);
    EXPECT_EQ(got, nullptr);
    EXPECT_EQ(FXErrorUtil::GetErrNo(a->SendXMLMessage(static_cast<CNMessageBase*>(nullptr), 0, 10, flag)), EINVAL);
}

TEST_F(SessionPair, MessageOfTheOtherFormatIsRefusedWithoutLosingStep) {
    ASSERT_TRUE(a->SendXMLMessage("<x/>", 0, 10, flag).IsSuccess());
    ASSERT_TRUE(a->SendXDRMessage(0x1e000095, nullptr, 0, 10, flag).IsSuccess());
    unsigned long code = 0;
    CWzError e = b->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10, flag);
    EXPECT_EQ(FXErrorUtil::GetErrNo(e), EPROTO);
    ASSERT_TRUE(b->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10, flag).IsSuccess());
    EXPECT_EQ(code, 0x1e000095u);
}

TEST_F(SessionPair, AbortReachesThePeerWithItsStatus) {
    jxsStatus status{2, 0x900001d, 2};
    ASSERT_TRUE(a->AbortConnection(status, 10, flag).IsSuccess());
    EXPECT_FALSE(a->IsConnected());

    unsigned long code = 0;
    EXPECT_TRUE(b->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10, flag).IsError());
    EXPECT_FALSE(flag);
    EXPECT_FALSE(b->IsConnected());
    EXPECT_EQ(LastError(*b), 0x900001du);
    ASSERT_TRUE(b->GetPeerAbortStatus().has_value());
    EXPECT_EQ(b->GetPeerAbortStatus()->statusClass, 2u);
    EXPECT_EQ(b->GetPeerAbortStatus()->severity, 2u);
}

TEST_F(SessionPair, DisconnectIsAnsweredAndClosesBothEnds) {
    std::thread peer([&] {
        unsigned long code = 0;
        jxsHostProtocolHeader header;
        bool peerFlag = false;
        if (b->ReceiveXDRMessage(&code, nullptr, &header, 0, 100, peerFlag).IsSuccess() &&
            code == JXS_MSG_DISCONNECT && header.messageGroup == 0x9000000) {
            EXPECT_TRUE(b->ReplyDisconnect(100, peerFlag).IsSuccess());
        }
    });
    EXPECT_TRUE(a->Disconnect(100, flag).IsSuccess());
    peer.join();
    EXPECT_FALSE(a->IsConnected());
    EXPECT_FALSE(b->IsConnected());
    // Disconnecting a closed session is harmless.
    EXPECT_TRUE(a->Disconnect(10, flag).IsSuccess());
}

TEST_F(SessionPair, TimeOutInsideAFrameStopsReadingButLetsTheAbortOut) {
    // A header that promises 50 bytes, then silence.
    jxsFrameHeader header;
    header.code = kEchoRequestCode;
    header.length = 50;
    unsigned char bytes[kJxsFrameHeaderBytes];
    jxsEncodeFrameHeader(header, bytes);
    int fds[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    CJxNetwork reader(fds[0]);
    ASSERT_EQ(::write(fds[1], bytes, sizeof bytes), static_cast<ssize_t>(sizeof bytes));
    unsigned long code = 0;
    EXPECT_TRUE(reader.ReceiveXDRMessage(&code, nullptr, nullptr, 0, 5, flag).IsError());
    EXPECT_TRUE(flag);
    EXPECT_FALSE(reader.ReceiveXDRMessage(&code, nullptr, nullptr, 0, 5, flag).IsSuccess());
    EXPECT_FALSE(flag);  // refused at once, not waited for
    jxsStatus status{2, ETIMEDOUT, 2};
    EXPECT_TRUE(reader.AbortConnection(status, 5, flag).IsSuccess());
    CJxNetwork writer(fds[1]);
    EXPECT_TRUE(writer.ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10, flag).IsError());
    ASSERT_TRUE(writer.GetPeerAbortStatus().has_value());
    EXPECT_EQ(writer.GetPeerAbortStatus()->errorCode, static_cast<uint64_t>(ETIMEDOUT));
}

// A session's socket waits inside its calls, a second of real time at most
// each: a time-out of several such waits still ends at its deadline on the
// platform clock, and a message sent meanwhile is taken at once.
TEST_F(SessionPair, ATimeOutOfSeveralWaitsEndsAtItsDeadline) {
    wz::SetTimeScale(0.01);  // 150 platform seconds last 1.5 real seconds
    unsigned long code = 0;
    int64_t start = wz::ClockMs();
    EXPECT_TRUE(b->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 150, flag).IsError());
    const int64_t waited = wz::ClockMs() - start;
    EXPECT_TRUE(flag);
    EXPECT_GE(waited, 150000);
    EXPECT_LT(waited, 170000);  // 0.2 real seconds of leeway

    std::thread late([&] {
        WZSLEEP_InTeRnAl(60000);  // past the first real second
        bool sent = false;
        EXPECT_TRUE(a->SendXMLMessage("<late/>", 0, 10, sent, 0x1e000114).IsSuccess());
    });
    std::string xml;
    start = wz::ClockMs();
    EXPECT_TRUE(b->ReceiveXMLMessage(&code, xml, nullptr, 0, 150, flag).IsSuccess());
    EXPECT_LT(wz::ClockMs() - start, 100000);
    EXPECT_EQ(xml, "<late/>");
    late.join();
}

// A peer that takes nothing fills the socket: the send ends at its time-out,
// flagged, and the session is closed (part of a frame may be out).
TEST_F(SessionPair, SendToAPeerThatReadsNothingEndsAtItsTimeOut) {
    const std::string big(8u << 20, 'x');
    const int64_t start = wz::ClockMs();
    CWzError e = a->SendXMLMessage(big, 0, 5, flag, 0x1e000114);
    EXPECT_TRUE(e.IsError());
    EXPECT_TRUE(flag);
    EXPECT_GE(wz::ClockMs() - start, 5000);
    EXPECT_EQ(LastError(*a), static_cast<unsigned long>(ETIMEDOUT));
    EXPECT_FALSE(a->IsConnected());
}

TEST_F(SessionPair, DisconnectFromASilentPeerIsBoundedByItsTimeOut) {
    CWzError e = a->Disconnect(5, flag);
    EXPECT_TRUE(e.IsError());
    EXPECT_TRUE(flag);
    EXPECT_FALSE(a->IsConnected());
}

TEST_F(SessionPair, ClosedPeerFailsTheReceive) {
    b.reset();
    unsigned long code = 0;
    EXPECT_TRUE(a->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10, flag).IsError());
    EXPECT_FALSE(flag);
    EXPECT_EQ(LastError(*a), static_cast<unsigned long>(ECONNRESET));
    // Nothing more is read; an abort still closes the session.
    EXPECT_EQ(FXErrorUtil::GetErrNo(a->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10, flag)), EPROTO);
    jxsStatus status{2, ECONNRESET, 2};
    (void)a->AbortConnection(status, 10, flag);  // the peer is gone; only the local close matters here
    EXPECT_FALSE(a->IsConnected());
}

TEST_F(SessionPair, UndecodableHeaderBreaksTheSessionEvenIfAGoodFrameFollows) {
    unsigned char garbage[kJxsFrameHeaderBytes];
    std::memset(garbage, 0x7f, sizeof garbage);
    ASSERT_EQ(::write(bFd, garbage, sizeof garbage), static_cast<ssize_t>(sizeof garbage));
    EchoRecord_t sent{1, nullptr, 0, nullptr};
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&sent, sizeof sent);
    ASSERT_TRUE(b->SendXDRMessage(kEchoRequestCode, &out, 0, 10, flag).IsSuccess());

    unsigned long code = 0;
    EXPECT_TRUE(a->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10, flag).IsError());
    // Where the garbage ended is not known, so the frame after it is not read.
    EXPECT_EQ(FXErrorUtil::GetErrNo(a->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 10, flag)), EPROTO);
    EXPECT_NE(code, kEchoRequestCode);
}

// Frames as the stream cuts them: split inside the header, run together in
// one read, and a payload larger than what a session reads ahead.
TEST_F(SessionPair, FramesArriveIntactHoweverTheStreamCutsThem) {
    auto frame = [](const std::string& text) {
        jxsFrameHeader header;
        header.kind = jxsFrameKind::Xml;
        header.length = static_cast<uint32_t>(text.size());
        std::string bytes(kJxsFrameHeaderBytes, '\0');
        jxsEncodeFrameHeader(header, reinterpret_cast<unsigned char*>(bytes.data()));
        return bytes + text;
    };
    std::string large(300000, 'x');
    for (size_t i = 0; i < large.size(); i += 997) large[i] = static_cast<char>('a' + i % 26);
    const std::vector<std::string> texts = {"one", "", "two", large, "after"};
    std::string stream;
    for (const std::string& text : texts) stream += frame(text);

    // Generous time-outs: the platform clock runs fast in tests.
    constexpr int kTimeout = 20000;
    std::thread writer([&] {
        // The first frames a byte at a time, the rest in as few writes as the socket takes.
        bool written = true;
        int err = 0;
        for (size_t at = 0; at < 70 && written; ++at) {
            written = jxsWriteAll(bFd, stream.data() + at, 1, jxsDeadline(kTimeout), err) == jxsIoStatus::Done;
        }
        written = written && jxsWriteAll(bFd, stream.data() + 70, stream.size() - 70, jxsDeadline(kTimeout), err) ==
                                 jxsIoStatus::Done;
        EXPECT_TRUE(written) << err;
    });
    for (const std::string& text : texts) {
        std::string got;
        unsigned long code = 1;
        if (a->ReceiveXMLMessage(&code, got, nullptr, 0, kTimeout, flag).IsError()) {
            ADD_FAILURE() << "frame of " << text.size() << " bytes not received";
            break;
        }
        EXPECT_EQ(code, 0u);
        EXPECT_EQ(got.size(), text.size());
        EXPECT_TRUE(got == text);
    }
    writer.join();
    // Nothing was read past the last frame: the session waits for more.
    std::string none;
    EXPECT_TRUE(a->ReceiveXMLMessage(nullptr, none, nullptr, 0, 1, flag).IsError());
    EXPECT_TRUE(flag);
    EXPECT_TRUE(a->IsConnected());
}

TEST_F(SessionPair, UnconnectedSessionRefusesEverythingButDisconnect) {
    CJxNetwork fresh;
    EXPECT_FALSE(fresh.IsConnected());
    EXPECT_EQ(FXErrorUtil::GetErrNo(fresh.SendXMLMessage("<a/>", 0, 1, flag)), ENOTCONN);
    jxsStatus status{2, 1, 2};
    EXPECT_TRUE(fresh.AbortConnection(status, 1, flag).IsError());
    EXPECT_TRUE(fresh.Disconnect(1, flag).IsSuccess());
    jxsExecuteRemoteDllType descriptor;
    EXPECT_EQ(FXErrorUtil::GetErrNo(fresh.Attach_RemoteDLL("nowhere", &descriptor, nullptr, 1, flag)), EHOSTUNREACH);
}

}  // namespace
