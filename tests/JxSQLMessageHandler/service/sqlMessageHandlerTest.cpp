// The request loop as a requester sees it through a host on loopback.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSession/jxsFrame.h"
#include "JxSession/jxsSocket.h"
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"
#include "tests/platform/JxSession/EchoRecord.h"

namespace {

using jxtest::ServiceHostTest;

// Sends an EchoRecord_t and checks the echo (number + 1, text and values back).
void ExpectEcho(JxsRequester& requester, uint32_t number) {
    char text[] = "master";
    uint64_t values[] = {number, 2 * uint64_t{number}};
    EchoRecord_t request{number, text, 2, values};
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&request, sizeof request);
    ASSERT_TRUE(requester.Send(kEchoRequestCode, &out).IsSuccess());

    EchoRecord_t reply{};
    jxsDatabuf_v2 in;
    in.setExternalBuffer(&reply, sizeof reply);
    unsigned long code = 0;
    ASSERT_TRUE(requester.Receive(code, &in).IsSuccess());
    EXPECT_EQ(code, kEchoReplyCode);
    EXPECT_EQ(reply.number, number + 1);
    EXPECT_STREQ(reply.text, "master");
    ASSERT_EQ(reply.count, 2u);
    EXPECT_EQ(reply.values[1], 2 * uint64_t{number});
    EXPECT_TRUE(CJxNetwork::FreeReceivedMessage(code, &in).IsSuccess());
}

// Nothing comes back within a short wait, and the session is still open.
void ExpectNoReply(JxsRequester& requester) {
    unsigned long code = 0;
    bool timedOut = false;
    EXPECT_TRUE(requester.Receive(code, nullptr, 10, &timedOut).IsError());
    EXPECT_TRUE(timedOut);
    EXPECT_TRUE(requester.session().IsConnected());
}

TEST_F(ServiceHostTest, DisconnectRightAfterAttachIsAnswered) {
    for (unsigned long disconnect : {JXS_MSG_DISCONNECT, JXS_MSG_DISCONNECT_V2}) {
        JxsRequester requester;
        AttachPlugin(requester);
        ASSERT_TRUE(requester.Send(disconnect).IsSuccess());
        unsigned long code = 0;
        ASSERT_TRUE(requester.Receive(code).IsSuccess());
        EXPECT_EQ(code, JXS_MSG_DISCONNECT_REPLY);
        // The conversation is over: the host closes the session.
        EXPECT_TRUE(requester.Receive(code).IsError());
        EXPECT_FALSE(requester.AbortStatus().has_value());
    }
}

TEST_F(ServiceHostTest, RequesterDisconnectEndsTheConversationCleanly) {
    JxsRequester requester;
    AttachPlugin(requester);
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(ServiceHostTest, ForeignCodesAreAbortedWithTheForeignMessageStatus) {
    for (unsigned long foreign : {0x9000103ul, 0x9000203ul, 0x12345678ul, 0x0ul}) {
        JxsRequester requester;
        AttachPlugin(requester);
        ASSERT_TRUE(requester.Send(foreign).IsSuccess());
        unsigned long code = 0;
        EXPECT_TRUE(requester.Receive(code).IsError());
        ASSERT_TRUE(requester.AbortStatus().has_value()) << std::hex << foreign;
        EXPECT_EQ(requester.AbortStatus()->statusClass, 2u);
        EXPECT_EQ(requester.AbortStatus()->errorCode, 0x900001du);
        EXPECT_EQ(requester.AbortStatus()->severity, 2u);
    }
}

TEST_F(ServiceHostTest, InGroupCodesWithoutAnAnswerAreIgnoredAndTheSessionGoesOn) {
    JxsRequester requester;
    AttachPlugin(requester);
    // No row, and a code of the group outside the request range.
    for (unsigned long code : {0x1e000095ul, 0x1e000200ul}) {
        ASSERT_TRUE(requester.Send(code).IsSuccess());
        ExpectNoReply(requester);
    }
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(ServiceHostTest, RequestsOfOneConversationAreAnsweredInOrder) {
    JxsRequester requester;
    AttachEcho(requester);
    ExpectEcho(requester, 1);
    ASSERT_TRUE(requester.Send(0x1e000095).IsSuccess());  // ignored between two answered requests
    ExpectEcho(requester, 10);
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(ServiceHostTest, SilentRequesterIsLoggedAndAbortedWithTheLastError) {
    JxsRequester requester;
    AttachPlugin(requester);
    unsigned long code = 0;
    EXPECT_TRUE(requester.Receive(code, nullptr, 1000).IsError());
    ASSERT_TRUE(requester.AbortStatus().has_value());
    EXPECT_EQ(requester.AbortStatus()->statusClass, 2u);
    EXPECT_EQ(requester.AbortStatus()->errorCode, static_cast<uint64_t>(ETIMEDOUT));
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath()).find("Receive message failed. Error:["),
              std::string::npos);
}

TEST_F(ServiceHostTest, HandlerExceptionEndsOnlyThatSessionAndIsLogged) {
    JxsRequester failing;
    AttachEcho(failing);
    ASSERT_TRUE(failing.Send(kEchoThrowingRequestCode).IsSuccess());
    unsigned long code = 0;
    EXPECT_TRUE(failing.Receive(code, nullptr, 1000).IsError());
    EXPECT_TRUE(failing.AbortStatus().has_value());
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath()).find("failed with exception [std::bad_alloc]"),
              std::string::npos);

    // The host and its other sessions go on.
    JxsRequester other;
    AttachEcho(other);
    ExpectEcho(other, 3);
    EXPECT_TRUE(other.Disconnect().IsSuccess());
}

TEST_F(ServiceHostTest, MalformedInputEndsOnlyThatSession) {
    auto frame = [](uint64_t code, uint32_t length, const std::string& payload) {
        jxsFrameHeader header;
        header.code = code;
        header.group = jxsMessageGroup(code);
        header.length = length;
        std::string bytes(kJxsFrameHeaderBytes, '\0');
        jxsEncodeFrameHeader(header, reinterpret_cast<unsigned char*>(bytes.data()));
        return bytes + payload;
    };
    auto u32 = [](uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    struct Case {
        const char* what;
        std::string bytes;
        bool halfClose;  // stop sending after the bytes
    };
    const Case cases[] = {
        {"garbage", std::string(64, '\x7f'), false},
        {"truncated frame", frame(kEchoRequestCode, 100, "abc"), true},
        {"oversized frame", frame(kEchoRequestCode, 0x7fffffff, ""), false},
        {"huge array count", frame(kEchoRequestCode, 16, u32(1) + u32(0) + u32(0xffffffff) + u32(0)), false},
        {"huge string length", frame(kEchoRequestCode, 12, u32(1) + u32(0xfffffff0) + u32(0)), false},
    };
    for (const Case& c : cases) {
        int fd = RawAttachedSocket();
        ASSERT_GE(fd, 0) << c.what;
        int err = 0;
        ASSERT_EQ(jxsWriteAll(fd, c.bytes.data(), c.bytes.size(), jxsDeadline(100), err), jxsIoStatus::Done);
        if (c.halfClose) ::shutdown(fd, SHUT_WR);
        std::string answer = ReadUntilClosed(fd);
        ::close(fd);
        // The host answered with an abort frame, then closed.
        jxsFrameHeader header;
        ASSERT_GE(answer.size(), kJxsFrameHeaderBytes) << c.what;
        ASSERT_TRUE(jxsDecodeFrameHeader(reinterpret_cast<const unsigned char*>(answer.data()), header).IsSuccess());
        EXPECT_EQ(header.kind, jxsFrameKind::Abort) << c.what;

        // The host still serves new sessions.
        JxsRequester requester;
        AttachEcho(requester);
        ExpectEcho(requester, 5);
    }
}

TEST_F(ServiceHostTest, SessionsAreServedIndependently) {
    JxsRequester idle;  // holds its own conversation open meanwhile
    AttachPlugin(idle);
    std::vector<std::thread> clients;
    for (uint32_t t = 0; t < 4; ++t) {
        clients.emplace_back([this, t] {
            JxsRequester requester;
            AttachEcho(requester);
            for (uint32_t i = 0; i < 5; ++i) ExpectEcho(requester, 100 * t + i);
            EXPECT_TRUE(requester.Disconnect().IsSuccess());
        });
    }
    for (std::thread& c : clients) c.join();
    EXPECT_TRUE(idle.Disconnect().IsSuccess());
}

TEST_F(ServiceHostTest, AttachToAnUnboundHandlerIsRefused) {
    JxsRequester requester;
    CWzError e = requester.Attach("client1", "sLNSQLClient61", "sLPNOSUCH");
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(e.GetMessage().find("sLPNOSUCH"), std::string::npos);
    EXPECT_FALSE(requester.session().IsConnected());
    EXPECT_TRUE(requester.Attach("client9", "sLNSQLClient61", "sLPSQLMSG").IsError());
}

}  // namespace
