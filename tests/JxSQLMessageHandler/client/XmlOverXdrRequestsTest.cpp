// XML documents exchanged with the central-server stand-in inside the XDR
// transport, and the recognition of its generic error reply.
#include <gtest/gtest.h>

#include <string>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tools/jxserve/JxServeXmlHandlers.h"

namespace {

// A request class the test answers: a GenericResp whose text picks the reply.
std::string Answer(const std::string& request, EvDebug&) {
    SQLPmn::GenericResp asked;
    if (asked.unserialize(request) != 0) return getResponseMessage(2, "bad request");
    std::string what = asked.getstring(SQLPmn::GenericResp::kErrorText);
    if (what == "empty") return "";
    if (what == "fail") return getResponseMessage(7, "the set is unknown");
    if (what == "ok") return getResponseMessage(0, "");
    SQLPmn::GenericResp echo;
    echo.setstring(SQLPmn::GenericResp::kErrorText, "echo " + what);
    std::string xml;
    echo.serialize(xml);
    return xml;
}

const JxServeXmlRegistration kAnswer{{SQLPmn::GenericResp().getTagID(), &Answer}};

std::string Request(const char* what) {
    SQLPmn::GenericResp request;
    request.setstring(SQLPmn::GenericResp::kErrorText, what);
    std::string xml;
    EXPECT_EQ(request.serialize(xml), 0);
    return xml;
}

using XmlOverXdrTest = jxtest::CentralServerTest;

TEST_F(XmlOverXdrTest, ReplyOfAnotherClassPassesTheErrorCheck) {
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(client.SendAndReceiveXmlViaXdrProtocol(Request("sets"), reply).IsSuccess());
    SQLPmn::GenericResp answer;
    ASSERT_EQ(answer.unserialize(reply), 0);
    EXPECT_EQ(answer.getstring(SQLPmn::GenericResp::kErrorText), "echo sets");
    EXPECT_TRUE(client.CheckGenericError(reply).IsSuccess());
}

TEST_F(XmlOverXdrTest, ErrorReplyWithCodeZeroPasses) {
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(client.UpdateBackupSetInfoInBulk(Request("ok"), reply).IsSuccess());
    EXPECT_TRUE(client.CheckGenericError(reply).IsSuccess());
}

TEST_F(XmlOverXdrTest, ErrorReplyWithACodeGives119WithItsText) {
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(client.SendAndReceiveXmlViaXdrProtocol(Request("fail"), reply).IsSuccess());
    CWzError e = client.CheckGenericError(reply);
    ASSERT_TRUE(e.IsError());
    EXPECT_EQ(FXErrorUtil::GetJXResult(e), 119);
    EXPECT_EQ(e.GetMessage(), "the set is unknown");
}

TEST_F(XmlOverXdrTest, DocumentTheServerDoesNotHandleIsReportedAsAnError) {
    SQLPmn::ErrorMessage unhandled;
    std::string xml;
    ASSERT_EQ(unhandled.serialize(xml), 0);
    CSQLClientDll client;
    std::string reply;
    ASSERT_TRUE(client.SendAndReceiveXmlViaXdrProtocol(xml, reply).IsSuccess());
    EXPECT_EQ(FXErrorUtil::GetJXResult(client.CheckGenericError(reply)), 119);
}

TEST_F(XmlOverXdrTest, EmptyReplyGives116) {
    CSQLClientDll client;
    std::string reply = "stale";
    CWzError e = client.SendAndReceiveXmlViaXdrProtocol(Request("empty"), reply);
    ASSERT_TRUE(e.IsError());
    EXPECT_EQ(FXErrorUtil::GetJXResult(e), 116);
    EXPECT_EQ(e.GetMessage(), "Failed to recieve xml response.");
    EXPECT_EQ(reply, "");
}

TEST_F(XmlOverXdrTest, UnreachableServerGives116) {
    host.Stop();
    CSQLClientDll client;
    std::string reply;
    CWzError e = client.UpdateBackupSetInfoInBulk(Request("sets"), reply);
    EXPECT_EQ(FXErrorUtil::GetJXResult(e), 116);
    EXPECT_EQ(e.GetMessage(), "Failed to send or receive message.");
}

TEST(CheckGenericErrorTest, TextThatIsNoMessagePasses) {
    CSQLClientDll client;
    EXPECT_TRUE(client.CheckGenericError("").IsSuccess());
    EXPECT_TRUE(client.CheckGenericError("<not a message").IsSuccess());
}

}  // namespace
