// The integrity check on a proxy: the backup program started with
// "-integcheck" answers the source, a silent proxy ends the source's wait,
// a failing proxy unmounts and still answers, and the proxy's record
// readers refuse malformed records.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/records/SqlIntegrityCheckRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/CJxNetwork.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/support/TestRoot.h"
#include "tools/jobs/SnapshotBackupJob.h"

namespace {

constexpr unsigned long kIntegrityCheckOption = 0x1D02AC87;

struct OpenCheckJob : SnapshotBackupJob {
    using CSQLBackup::m_integrityMountBase;
};

std::vector<std::string> Ops(const std::vector<jobmanager::JournalEntry>& all) {
    std::vector<std::string> ids;
    for (const auto& e : all) ids.push_back(e.op + ":" + e.Get("id") + e.Get("cause"));
    return ids;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& s : list) {
        if (s.find(item) != std::string::npos) return true;
    }
    return false;
}

class IntegrityProxyTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        AppModel::Set("subclient/1234", "snapBackup", "1");
        AppModel::Set("subclient/1234", "snapEngine", "2");
        AppModel::Set("subclient/1234", "useIntegrityProxy", "1");
        AppModel::Set("subclient/1234", "integrityProxy", "3");
        AppModel::Set("subclient/1234", "integritySQLServer", "HOST/CHK");
        AppModel::Set("client/2", "name", "node1");
        AppModel::Set("client/2", "hostName", "node1");
        AppModel::Set("client/2", "useIndexingV2ForMSSQL", "1");
        AppModel::Set("client/3", "name", "proxy1");
        AppModel::Set("client/3", "hostName", "proxy1");
        ASSERT_NE(JXPlatformInfo().setString("", "sPhysicalNodeName", "node1"), 0);
        ASSERT_NE(JXPlatformInfo().setString("Machines/node1", "dJOBRESULTSDIR", root.path()), 0);
        ASSERT_TRUE(JxProcess::SetProgramPath("SQLBackup.exe", JX_BACKUP_PROGRAM));
        ::setenv(wz::kTimeScaleEnv, "0.01", 1);  // the proxy program's clock
        SqlSimServerSpec check;
        check.name = "HOST/CHK";
        ASSERT_FALSE(checkInstance.Create(check).IsError());
        SqlRegisterRecordCodecs();
    }

    bool HasDatabase(const std::string& instance, const std::string& name) {
        CsqlDMO sql;
        return sql.initialize(instance) && sql.isDatabaseExists(name);
    }

    SqlSimInstance checkInstance;
};

TEST_F(IntegrityProxyTest, ProxyProgramChecksTheCopyAndAnswersThePass) {
    MakeDatabases({"Sales", "Hr"});
    OpenCheckJob job;
    ASSERT_TRUE(EvTask::setOption(94, kIntegrityCheckOption, "1"));
    ASSERT_TRUE(RunPhaseOf(job, 94, "-D", 1, {}));
    const auto ops = Ops(Journal(94));
    EXPECT_TRUE(Has(ops, jobmanager::JournalId(kEventIntegrityCheckPassed))) << ::testing::PrintToString(ops);
    EXPECT_FALSE(Has(ops, jobmanager::JournalId(kEventIntegrityCheckFailed)));
    EXPECT_FALSE(HasDatabase("HOST/CHK", "Sales"));
    EXPECT_TRUE(HasDatabase("HOST/INST", "Sales"));
}

TEST_F(IntegrityProxyTest, ProxyThatFailsMidCheckUnmountsAndStillAnswers) {
    MakeDatabases({"Sales"});
    AppModel::Set("subclient/1234", "integritySQLServer", "HOST/NOSUCH");
    OpenCheckJob job;
    ASSERT_TRUE(EvTask::setOption(95, kIntegrityCheckOption, "1"));
    ASSERT_TRUE(RunPhaseOf(job, 95, "-D", 1, {}));
    const auto ops = Ops(Journal(95));
    EXPECT_TRUE(Has(ops, jobmanager::JournalId(kEventIntegrityCheckFailed))) << ::testing::PrintToString(ops);
    std::vector<std::string> mounts;
    (void)wz::Fs().ReadDirectory(root.File("JX_JobResults/Pelmanode/MSSQLAgent/2/1234/95"), mounts);  // may be gone
    EXPECT_TRUE(mounts.empty()) << ::testing::PrintToString(mounts);
}

// A source job whose attach message is edited before it goes to the proxy,
// as a peer other than this job could send it.
struct EditedMessageJob : SnapshotBackupJob {
    explicit EditedMessageJob(std::function<void(std::vector<SQLPmn::AttachDB>&)> edit) : edit(std::move(edit)) {}
    bool formSQLDBAttachMsg(std::string& out) override {
        std::string built;
        if (!SnapshotBackupJob::formSQLDBAttachMsg(built)) return false;
        SQLPmn::AttachDBMsg message;
        std::vector<SQLPmn::AttachDB> databases;
        EXPECT_EQ(message.unserialize(built), kMsgOk);
        EXPECT_TRUE(message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, databases));
        edit(databases);
        SQLPmn::AttachDBMsg edited;
        for (const SQLPmn::AttachDB& entry : databases) edited.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
        return edited.serialize(out) == kMsgOk;
    }
    std::function<void(std::vector<SQLPmn::AttachDB>&)> edit;
};

// The check steps alone pass an attach list without databases (nothing
// attached, so nothing failed); the proxy never answers that as a pass.
TEST_F(IntegrityProxyTest, ProxyGivenNoDatabaseNeverAnswersAPass) {
    MakeDatabases({"Sales"});
    EditedMessageJob job([](std::vector<SQLPmn::AttachDB>& databases) { databases.clear(); });
    ASSERT_TRUE(EvTask::setOption(100, kIntegrityCheckOption, "1"));
    ASSERT_TRUE(RunPhaseOf(job, 100, "-D", 1, {}));
    const auto ops = Ops(Journal(100));
    EXPECT_TRUE(Has(ops, jobmanager::JournalId(kEventIntegrityCheckFailed))) << ::testing::PrintToString(ops);
    EXPECT_FALSE(Has(ops, jobmanager::JournalId(kEventIntegrityCheckPassed)));
}

// A name with a control character from the source is refused on the proxy
// with a cause naming the database, and nothing is attached under it.
TEST_F(IntegrityProxyTest, ProxyRefusesANameWithAControlCharacter) {
    MakeDatabases({"Sales"});
    EditedMessageJob job([](std::vector<SQLPmn::AttachDB>& databases) {
        ASSERT_EQ(databases.size(), 1u);
        databases[0].setstring(SQLPmn::AttachDB::kAttachName, "Sa\x01les");
    });
    ASSERT_TRUE(EvTask::setOption(101, kIntegrityCheckOption, "1"));
    ASSERT_TRUE(RunPhaseOf(job, 101, "-D", 1, {}));
    const auto journal = Journal(101);
    const auto ops = Ops(journal);
    EXPECT_TRUE(Has(ops, jobmanager::JournalId(kEventIntegrityCheckFailed))) << ::testing::PrintToString(ops);
    EXPECT_FALSE(Has(ops, jobmanager::JournalId(kEventIntegrityCheckPassed)));
    bool named = false;
    for (const auto& e : jobmanager::JobJournalReader::WithOp(journal, "setPendingCause")) {
        named |= e.Get("cause") == jobmanager::JournalId(kCauseCheckAttach) &&
                 e.List("args") == std::vector<std::string>{"Sa\\x01les"};
    }
    EXPECT_TRUE(named) << ::testing::PrintToString(ops);
    EXPECT_FALSE(HasDatabase("HOST/CHK", "Sa\x01les"));
}

// Two ends of one connection.
struct SessionPair {
    SessionPair() {
        EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        source = std::make_unique<CJxNetwork>(fds[0]);
        proxy = std::make_unique<CJxNetwork>(fds[1]);
    }
    int fds[2] = {-1, -1};  // owned by the sessions
    std::unique_ptr<CJxNetwork> source;
    std::unique_ptr<CJxNetwork> proxy;
};

struct ExchangeJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
};

void SendRequest(CJxNetwork& session, unsigned long code, uint32_t kind, const char* text) {
    SQLIntegrityCheckReq_t request;
    request.kind = kind;
    request.text = const_cast<char*>(text);
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&request, sizeof request);
    bool flag = false;
    ASSERT_TRUE(session.SendXDRMessage(code, &buffer, 0, 10, flag).IsSuccess());
}

void SendResponse(CJxNetwork& session, const char* text) {
    SQLIntegrityCheckResponse_t response;
    response.text = const_cast<char*>(text);
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&response, sizeof response);
    bool flag = false;
    ASSERT_TRUE(session.SendXDRMessage(kSqlIntegrityCheckRsp, &buffer, 0, 10, flag).IsSuccess());
}

TEST_F(IntegrityProxyTest, RecordReadersRefuseWrongKindsEmptyTextsAndBrokenXml) {
    ExchangeJob job(96);
    SQLPmn::SQLIntegrityCheckInit init;
    init.setint64(SQLPmn::SQLIntegrityCheckInit::kJobId, 96);
    std::string xml;
    ASSERT_EQ(init.serialize(xml), kMsgOk);
    struct Case {
        unsigned long code;
        uint32_t kind;
        const char* text;
        bool accepted;
    };
    for (const Case& c : std::vector<Case>{{kSqlIntegrityCheckReq, kIntegrityCheckInit, xml.c_str(), true},
                                           {kSqlIntegrityCheckReq, kIntegrityCheckData, xml.c_str(), false},
                                           {kSqlIntegrityCheckReq, kIntegrityCheckInit, nullptr, false},
                                           {kSqlIntegrityCheckReq, kIntegrityCheckInit, "<SQLPmn", false}}) {
        SessionPair pair;
        SendRequest(*pair.source, c.code, c.kind, c.text);
        SQLPmn::SQLIntegrityCheckInit read;
        EXPECT_EQ(job.readIntegCheckInitMsg(*pair.proxy, read), c.accepted) << (c.text ? c.text : "(null)");
    }
    SessionPair pair;
    SendRequest(*pair.source, kSqlIntegrityCheckReq, kIntegrityCheckData, nullptr);
    SQLPmn::AttachDBMsg message;
    EXPECT_FALSE(job.readIntegCheckDataMsg(*pair.proxy, message)) << "an empty data record reaches no parser";
}

TEST_F(IntegrityProxyTest, SourceWaitEndsAtTheLimitAndCountsEmptyResponses) {
    wz::SetTimeScale(0.0001);
    ASSERT_NE(JXPlatformInfo().setNumber("MSSQLAgent", "nIntegCheckMaxWaitHours", int64_t{1}), 0);
    ExchangeJob job(97);
    {
        SessionPair pair;  // a proxy that never answers
        EXPECT_FALSE(job.handleMessagesFromProxy(*pair.source));
    }
    {
        SessionPair pair;  // a proxy sending only empty responses is as silent
        for (int i = 0; i < 200; ++i) SendResponse(*pair.proxy, nullptr);
        EXPECT_FALSE(job.handleMessagesFromProxy(*pair.source));
    }
    {
        SessionPair pair;
        SQLPmn::SQLIntegrityCheckResponse reply;
        reply.setint64(SQLPmn::SQLIntegrityCheckResponse::kStatus, 1);
        reply.setint64(SQLPmn::SQLIntegrityCheckResponse::kErrorCode, 1000);
        reply.setstring(SQLPmn::SQLIntegrityCheckResponse::kErrorText, "no such account");
        std::string text;
        ASSERT_EQ(reply.serialize(text), kMsgOk);
        SendResponse(*pair.proxy, text.c_str());
        EXPECT_FALSE(job.handleMessagesFromProxy(*pair.source));
        EXPECT_TRUE(Has(Ops(job.Journal("setPendingCause")), jobmanager::JournalId(kCauseProxyImpersonation)));
    }
}

// A setting of 0 hours does not lift the bound: a proxy that never answers
// ends the wait after 24 hours of 30-second receive time-outs. The source's
// socket does not block and the clock runs fast, so that each receive
// times out at once.
TEST_F(IntegrityProxyTest, ZeroHoursKeepsTheDayLongBoundOnTheSourceWait) {
    const double scale = wz::TimeScale();
    wz::SetTimeScale(1e-7);
    ASSERT_NE(JXPlatformInfo().setNumber("MSSQLAgent", "nIntegCheckMaxWaitHours", int64_t{0}), 0);
    ExchangeJob job(102);
    SessionPair pair;
    const int fd = pair.fds[0];
    ASSERT_EQ(::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK), 0);
    auto waited = std::async(std::launch::async, [&] { return job.handleMessagesFromProxy(*pair.source); });
    // Should the bound be gone, the proxy's end closes so the test ends.
    if (waited.wait_for(std::chrono::seconds(60)) != std::future_status::ready) ::shutdown(pair.fds[1], SHUT_RDWR);
    EXPECT_FALSE(waited.get());
    wz::SetTimeScale(scale);
    // 2881 time-outs counted (86430 s > 86400 s) end it at the 2882nd receive.
    EXPECT_NE(jxtest::ReadWholeFile(EvDebug::LogFilePath())
                  .find("Operation runtime [86430] exceeded time limit [86400] seconds."),
              std::string::npos);
}

}  // namespace
