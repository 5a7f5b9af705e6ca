// The XML request layer through the real host: dispatch by tag id, the
// layer's own error replies, reply codes and the reply documents.
#include <gtest/gtest.h>

#include <string>

#include "JxSQLCommon/records/ApiMessages.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JXGuiMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"
#include "tests/JxSQLMessageHandler/service/XmlRequestExchange.h"

namespace {

using jxtest::ExchangeXml;
using jxtest::ReadErrorReply;
using jxtest::ServiceHostTest;
using jxtest::XmlOf;

constexpr unsigned long kXmlRequest = 0x1e0000ff;
constexpr unsigned long kXmlRequestV2 = 0x1e000114;
constexpr unsigned long kXmlReplyV2 = 0x1e000115;

TEST_F(ServiceHostTest, XmlReplyCodeFollowsTheRequestCode) {
    JxsRequester requester;
    AttachPlugin(requester);
    unsigned long code = 0;
    ExchangeXml(requester, kXmlRequestV2, "", &code);
    EXPECT_EQ(code, kXmlReplyV2);
    ExchangeXml(requester, kXmlRequest, "", &code);
    EXPECT_EQ(code, kXmlRequest);
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(ServiceHostTest, XmlLayerAnswersMissingMalformedAndUnknownDocuments) {
    JxsRequester requester;
    AttachPlugin(requester);

    jxtest::ErrorReply empty = ReadErrorReply(ExchangeXml(requester, kXmlRequest, ""));
    EXPECT_EQ(empty.code, -1);
    EXPECT_EQ(empty.message, "Failed to get request XML.");

    for (const char* bad : {"<not xml", "<SQLPmn_NoSuchClass/>", "plain text"}) {
        jxtest::ErrorReply malformed = ReadErrorReply(ExchangeXml(requester, kXmlRequestV2, bad));
        EXPECT_EQ(malformed.code, -2) << bad;
        EXPECT_EQ(malformed.message, "Failed to parse request XML.");
    }

    // A well-formed document of a class outside the table.
    jxtest::ErrorReply unknown = ReadErrorReply(ExchangeXml(requester, kXmlRequest, XmlOf(SQLPmn::GenericResp())));
    EXPECT_EQ(unknown.code, -3);
    EXPECT_EQ(unknown.message, "Unhandled Xml message being sent to the client.");

    // The conversation goes on after every error reply.
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(ServiceHostTest, EveryTagOfTheTableReachesItsHandler) {
    JxsRequester requester;
    AttachPlugin(requester);

    // Readiness of an engine type that needs no check: ready, empty document.
    Api::SQLAppReadinessReq readiness;
    readiness.setstring(Api::SQLAppReadinessReq::kServerType, "Analysis Engine");
    EXPECT_EQ(ExchangeXml(requester, kXmlRequest, XmlOf(readiness)), "");

    // Collect file with no databases: the service's own code.
    jxtest::ErrorReply collect = ReadErrorReply(ExchangeXml(requester, kXmlRequest, XmlOf(SQLPmn::SQLAGCollectFile())));
    EXPECT_EQ(collect.code, 102);
    EXPECT_EQ(collect.message, "No databases found in the request.");

    // Cloud-credential validation: accepted, empty document.
    EXPECT_EQ(ExchangeXml(requester, kXmlRequestV2, XmlOf(App::ValidateSQLCloudCredentialsReq())), "");

    // Create-source view without its fields.
    jxtest::ErrorReply view =
        ReadErrorReply(ExchangeXml(requester, kXmlRequest, XmlOf(SQLPmn::SqlCreateSourceViewInfoReq())));
    EXPECT_EQ(view.code, 102);
    EXPECT_EQ(view.message, "Invalid parameter(s) passed in the input XML.");
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST(XmlResponseTest, ErrorAndGenericDocumentsCarryCodeAndText) {
    jxtest::ErrorReply ok = ReadErrorReply(getResponseMessage(0, ""));
    EXPECT_EQ(ok.code, 0);
    EXPECT_EQ(ok.message, "");
    jxtest::ErrorReply failed = ReadErrorReply(getResponseMessage(125, "db \"<x>\" & 'y'"));
    EXPECT_EQ(failed.code, 125);
    EXPECT_EQ(failed.message, "db \"<x>\" & 'y'");

    JXGui::GenericResp generic;
    ASSERT_EQ(generic.unserialize(getGenericResponseMessage(-5, "text")), 0);
    EXPECT_EQ(generic.getint64(JXGui::GenericResp::kErrorCode), -5);
    EXPECT_EQ(generic.getstring(JXGui::GenericResp::kErrorText), "text");
}

TEST(XmlResponseTest, FallbackDocumentEscapesTheText) {
    EXPECT_EQ(SqlXmlFallbackDocument("SQLPmn_ErrorMessage", "errorCode", -7, "message", "a\"b<c>&'d\ne\x01"),
              "<SQLPmn_ErrorMessage errorCode=\"-7\" message=\"a&quot;b&lt;c&gt;&amp;&apos;d&#10;e?\" > "
              "</SQLPmn_ErrorMessage>");
}

TEST(XmlResponseTest, UnserialisableRepliesFallBackInsteadOfGoingOutEmpty) {
    // A text above the message layer's limit cannot be serialised.
    std::string huge(CNMessageBase::kMaxXmlBytes + 1, 'x');
    huge.replace(0, 6, "\"q\"<b>");
    std::string error = getResponseMessage(122, huge);
    EXPECT_EQ(error.rfind("<SQLPmn_ErrorMessage errorCode=\"122\" message=\"&quot;q&quot;&lt;b&gt;xxx", 0), 0u);
    std::string generic = getGenericResponseMessage(3, huge);
    EXPECT_EQ(generic.rfind("<JXGui_GenericResp errorCode=\"3\" errorText=\"&quot;q", 0), 0u);
}

}  // namespace
