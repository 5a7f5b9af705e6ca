// The central-server exchange against the host serving the stand-in.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <string>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlXmlRequestCodecs.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/client/RemoteReplyTimeout.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsTypes.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeHandlers.h"

namespace {

// Test-only codes of the agent's group, carrying one text each way.
constexpr unsigned long kEchoRequest = 0x1e0001f0;
constexpr unsigned long kEchoReply = 0x1e0001f1;
constexpr unsigned long kSilentRequest = 0x1e0001f2;
constexpr unsigned long kUnservedRequest = 0x1e0001f4;
constexpr unsigned long kProbeRequest = 0x1e0001f6;

bool ServeEcho(JxServeRequest& request) {
    std::string text = "echo:" + std::string(request.As<SQLGenericXmlReq_t>().xml);
    SQLGenericErrorXmlRsp_t reply;
    reply.xml = text.data();
    return JxServeReply(request, kEchoReply, reply);
}

// Answers nothing: the requester's receive runs into its time-out.
bool ServeSilently(JxServeRequest&) { return true; }

// How many probe exchanges the requester ended with a disconnect request.
std::atomic<int> gProbesDisconnected{0};

// Answers like ServeEcho, then waits for what the requester sends next on
// the same session: a requester that closes its session sends a disconnect.
bool ServeProbe(JxServeRequest& request) {
    if (!ServeEcho(request)) return false;
    unsigned long code = 0;
    bool flag = false;
    if (request.session->ReceiveXDRMessage(&code, nullptr, nullptr, 0, 100, flag).IsSuccess() &&
        code == JXS_MSG_DISCONNECT) {
        ++gProbesDisconnected;
        (void)request.session->ReplyDisconnect(100, flag);  // the requester's close needs no answer to succeed
    }
    return true;
}

const JxServeRegistration kTestHandlers{
    {kEchoRequest, &ServeEcho}, {kSilentRequest, &ServeSilently}, {kProbeRequest, &ServeProbe}};

class CentralServerExchangeTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        SqlRegisterXmlTextRecords({kEchoRequest, kEchoReply, kSilentRequest, kUnservedRequest, kProbeRequest});
    }

    // One exchange of `text` under `code` on `client`; the reply text in `reply`.
    bool Exchange(CSQLClientDll& client, unsigned long code, const char* text, std::string& reply,
                  int firstArgument = 2) {
        std::string request = text;
        SQLGenericXmlReq_t req;
        req.xml = request.data();
        client.getDataBuffer()->setExternalBuffer(&req, sizeof req);
        SQLGenericErrorXmlRsp_t rsp;
        client.getReceiveDataBuffer()->setExternalBuffer(&rsp, sizeof rsp);
        bool ok = client.sendAndReceiveMessage(firstArgument, code, kEchoReply);
        reply = rsp.xml != nullptr ? rsp.xml : "";
        EXPECT_TRUE(client.FreeReceivedMessage(kEchoReply).IsSuccess());
        return ok;
    }
};

TEST_F(CentralServerExchangeTest, ExchangesAndDisconnectsSoEachExchangeAttachesAgain) {
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(Exchange(client, kEchoRequest, "one", reply));
    EXPECT_EQ(reply, "echo:one");
    ASSERT_TRUE(Exchange(client, kEchoRequest, "two", reply));
    EXPECT_EQ(reply, "echo:two");
}

TEST_F(CentralServerExchangeTest, EveryExchangeOnItsOwnSessionEndsWithADisconnect) {
    gProbesDisconnected = 0;
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(Exchange(client, kProbeRequest, "one", reply));
    EXPECT_EQ(reply, "echo:one");
    EXPECT_EQ(gProbesDisconnected, 1);
    ASSERT_TRUE(Exchange(client, kProbeRequest, "two", reply));
    EXPECT_EQ(gProbesDisconnected, 2);
}

TEST_F(CentralServerExchangeTest, FirstArgumentHasNoEffect) {
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(Exchange(client, kEchoRequest, "x", reply, 0));
    EXPECT_EQ(reply, "echo:x");
}

TEST_F(CentralServerExchangeTest, UnknownCentralServerFailsWithoutSending) {
    JXPlatformInfo().setString("Base", "sJxServerHostName", "nowhere");
    CSQLClientDll client;
    std::string reply;
    EXPECT_FALSE(Exchange(client, kEchoRequest, "one", reply));
    EXPECT_EQ(reply, "");
    // The receive time-out is only looked at after a successful send.
    EXPECT_TRUE(bFetchTimeOutString);
}

TEST_F(CentralServerExchangeTest, RequestTheServerCannotAnswerFails) {
    CSQLClientDll client;
    std::string reply;
    EXPECT_FALSE(Exchange(client, kUnservedRequest, "one", reply));
}

TEST_F(CentralServerExchangeTest, ReplyThatNeverComesIsAFailure) {
    giTimeoutSecondsArg = 20;  // 200 real ms
    bFetchTimeOutString = false;
    CSQLClientDll client;
    std::string reply;
    EXPECT_FALSE(Exchange(client, kSilentRequest, "one", reply));
    EXPECT_EQ(reply, "");
    // The session was closed, so the next exchange attaches anew.
    ASSERT_TRUE(Exchange(client, kEchoRequest, "two", reply));
    EXPECT_EQ(reply, "echo:two");
}

TEST_F(CentralServerExchangeTest, LargerAttachTimeOutRaisesReceiveTimeOutOncePerProcess) {
    JXPlatformInfo settings;
    settings.setNumber("Session", "nAttachTimeout", 30000);
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(Exchange(client, kEchoRequest, "one", reply));
    EXPECT_EQ(giTimeoutSecondsArg, 30000u);
    EXPECT_FALSE(bFetchTimeOutString);
    // Read once: a later change of the setting is not looked at.
    settings.setNumber("Session", "nAttachTimeout", 40000);
    ASSERT_TRUE(Exchange(client, kEchoRequest, "two", reply));
    EXPECT_EQ(giTimeoutSecondsArg, 30000u);
}

TEST_F(CentralServerExchangeTest, SmallerAttachTimeOutNeverLowersReceiveTimeOut) {
    JXPlatformInfo().setNumber("Session", "nAttachTimeout", 100);
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(Exchange(client, kEchoRequest, "one", reply));
    EXPECT_EQ(giTimeoutSecondsArg, 21600u);
    EXPECT_FALSE(bFetchTimeOutString);
}

}  // namespace
