// The request object: session time-out, reply sending, date texts and the
// instance-name comparison.
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/SettingsFile.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "Messages/CNMessageBase.h"
#include "tests/platform/JxSession/EchoRecord.h"
#include "tests/support/ScopedTimeZone.h"
#include "tests/support/TestRoot.h"
#include "WzUtils/WzClock.h"

namespace {

class RequestObject : public jxtest::RootedTest {
protected:
    void SetMinutes(int64_t minutes) { JXPlatformInfo().setNumber("MSSQLAgent", "nSessionTimeoutInMins", minutes); }
    // A session whose peer has gone, so that every send on it fails.
    static std::unique_ptr<CJxNetwork> SessionWithoutPeer() {
        int fds[2];
        if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return nullptr;
        CJxNetwork peer(fds[1]);
        return std::make_unique<CJxNetwork>(fds[0]);
    }
};

TEST_F(RequestObject, SessionTimeOutDefaultsTo240WithoutSetting) {
    CSQLClientDll requester;
    EXPECT_EQ(requester.GetSQLSessionTimeout(0), 240u);
}

TEST_F(RequestObject, SettingCanRaiseButNeverLowerTheDefault) {
    struct Case {
        int64_t minutes;
        unsigned long expected;
    } cases[] = {{1, 120}, {5, 300}, {0, 120}};
    for (const Case& c : cases) {
        SetMinutes(c.minutes);
        CSQLClientDll requester;
        EXPECT_EQ(requester.GetSQLSessionTimeout(120), c.expected) << c.minutes;
    }
}

TEST_F(RequestObject, FirstDefaultDecidesForTheObjectsLife) {
    CSQLClientDll requester;
    EXPECT_EQ(requester.GetSQLSessionTimeout(240), 240u);
    SetMinutes(50);
    EXPECT_EQ(requester.GetSQLSessionTimeout(600), 240u);
}

TEST_F(RequestObject, ASettingAnotherProcessChangedIsSeenWithinASecond) {
    SetMinutes(5);  // changed by this process: seen at once
    EXPECT_EQ(CSQLClientDll().GetSQLSessionTimeout(120), 300u);
    // Written past this process, as another one would.
    SettingsFile file(JXPlatformInfo::SettingsPath(JXPlatformInfo::CurrentInstance()));
    ASSERT_TRUE(file.Set("MSSQLAgent", "nSessionTimeoutInMins", "10"));
    WZSLEEP_InTeRnAl(1100);
    EXPECT_EQ(CSQLClientDll().GetSQLSessionTimeout(120), 600u);
    ASSERT_TRUE(file.Remove("MSSQLAgent", "nSessionTimeoutInMins"));
    WZSLEEP_InTeRnAl(1100);
    EXPECT_EQ(CSQLClientDll().GetSQLSessionTimeout(120), 120u);
}

TEST_F(RequestObject, FailedReplyAbortsTheSessionAndReturnsZero) {
    RegisterEchoRecord();
    std::unique_ptr<CJxNetwork> session = SessionWithoutPeer();
    ASSERT_NE(session, nullptr);
    jxsDatabuf_v2 received;
    CSQLClientDll served(session.get(), &received, kEchoRequestCode);
    EchoRecord_t reply{};
    served.getDataBuffer()->setExternalBuffer(&reply, sizeof reply);
    EXPECT_EQ(served.sendReply(kEchoReplyCode), 0u);
    EXPECT_FALSE(session->IsConnected());

    // Without a lent record and a codec, nothing can be sent either.
    int more[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, more), 0);
    CJxNetwork open(more[0]), listener(more[1]);
    CSQLClientDll other(&open, &received, kEchoRequestCode);
    EXPECT_EQ(other.sendReply(kEchoReplyCode), 0u);
}

// A served request whose received buffer is too short for its record, so
// that releasing it fails after the reply has gone out.
class UnreleasableRequest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlRegisterRecordCodecs();
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, m_fds), 0);
        m_session = std::make_unique<CJxNetwork>(m_fds[0]);
        m_peer = std::make_unique<CJxNetwork>(m_fds[1]);
        m_received.setExternalBuffer(&m_request, 1);
    }
    std::string Log() { return root.ReadFile("logs/" + EvDebug::ProgramName() + ".log"); }

    int m_fds[2] = {-1, -1};
    std::unique_ptr<CJxNetwork> m_session, m_peer;
    SQLXmlTextRecord_t m_request;   // no text
    jxsDatabuf_v2 m_received;
};

TEST_F(UnreleasableRequest, XmlLayerLogsTheFailedReleaseAndReturnsZero) {
    CSQLClientDll served(m_session.get(), &m_received, 0x1e0000ff);
    EXPECT_EQ(served.handleSqlXmlMsg(), 0u);
    EXPECT_NE(Log().find("Failed to free message with error ["), std::string::npos) << Log();
}

TEST_F(UnreleasableRequest, StatusUpdateLogsTheFailedRelease) {
    CSQLClientDll served(m_session.get(), &m_received, 0x1e00010d);
    EXPECT_FALSE(served.updateDatabaseStatus());
    EXPECT_NE(Log().find("Fail to call FreeReceivedMessage()"), std::string::npos) << Log();
    EXPECT_EQ(Log().find("FreeReceivedMessage success."), std::string::npos);
}

TEST_F(RequestObject, ConnectivityCheckLogsAFailedSend) {
    SqlRegisterRecordCodecs();
    std::unique_ptr<CJxNetwork> session = SessionWithoutPeer();
    ASSERT_NE(session, nullptr);
    SQLXmlTextRecord_t request;
    jxsDatabuf_v2 received;
    received.setExternalBuffer(&request, sizeof request);
    CSQLClientDll served(session.get(), &received, 0x1e0000f2);
    served.CheckSourceConnectivity();
    std::string log = root.ReadFile("logs/" + EvDebug::ProgramName() + ".log");
    EXPECT_NE(log.find("Failed to send check source connectivity response."), std::string::npos) << log;
}

class DateTexts : public jxtest::RootedTest {
protected:
    jxtest::ScopedTimeZone zone{"Europe/Berlin"};
};

TEST_F(DateTexts, FormatsEachDateOrder) {
    CSQLClientDll object;
    time_t t = object.convertAsciiDateToUnixTime("2021-03-05 14:07:09");
    std::string out;
    object.convertUnixTimeToAsciiDate(t, out, 2, true);
    EXPECT_EQ(out, "'05-03-2021 14:07:09'");
    object.convertUnixTimeToAsciiDate(t, out, 1, false);
    EXPECT_EQ(out, "03-05-2021 14:07:09");
    object.convertUnixTimeToAsciiDate(t, out, 0, false);
    EXPECT_EQ(out, "2021-03-05 14:07:09");
}

TEST_F(DateTexts, ReadsLocalTimeAndSurvivesAShortText) {
    CSQLClientDll object;
    // 14:07:09 in Berlin (UTC+1 in March before the switch) is 13:07:09 UTC.
    EXPECT_EQ(object.convertAsciiDateToUnixTime("2021-03-05 14:07:09"), 1614949629);
    object.convertAsciiDateToUnixTime("2021-03");  // fields past the end read as zero
}

TEST_F(RequestObject, XmlTagIdOfDecodableTextElseZero) {
    std::string xml;
    CNMessageBase message(34, 47);
    ASSERT_EQ(message.serialize(xml), kMsgOk);
    EXPECT_EQ(GetXmlTagID(xml), message.getTagID());
    for (std::string bad : {std::string(), std::string("<not xml"), std::string("<Nobody_Knows/>")}) {
        EXPECT_EQ(GetXmlTagID(bad), 0u) << bad;
    }
}

TEST(InstanceNames, MatchConfiguredNameOrHostAndInstancePart) {
    std::string host = "sqlhost";
    auto match = [&](std::string name, std::string configured) {
        return CompareInstanceNameOnHostName(name, configured, host);
    };
    EXPECT_TRUE(match("SQLHOST\\INST1", "clientA/inst1"));
    EXPECT_TRUE(match("SQLHOST", "INST1"));
    EXPECT_FALSE(match("SQLHOST\\INST1", "clientA/"));
    EXPECT_TRUE(match("Inst7", "INST7"));
    EXPECT_FALSE(match("OTHER\\INST1", "clientA/inst1"));
}

}  // namespace
