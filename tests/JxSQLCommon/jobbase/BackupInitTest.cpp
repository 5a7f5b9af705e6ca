// Backup job initialisation against the real stand-ins: registration in the
// journal, ids and settings, the subclient and instance of the model, and the
// pending cause of each failure.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxJobClient/JobRegistration.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "tests/JxSQLCommon/jobbase/BackupInitFixture.h"

namespace {

using jobmanager::JobJournalReader;

TEST_F(BackupInit, RegistersAndReadsIdsSettingsAndInstance) {
    AppModel::Set("subclient/1234", "tunableBufferCount", "40");
    AppModel::Set("subclient/1234", "readBufferSizeKB", "512");
    AppModel::Set("subclient/1234", "autoDiscover", "1");
    AppModel::Set("jxcell/2", "number", "9");
    AppModel::Set("client/3", "name", "node1");
    AppModel::Set("subclient/1234", "clientId", "3");
    EvTask::setOption(kJob, 914693182, "1");
    bool registered = false;
    ASSERT_TRUE(Initialize(registered, {"-restart", "-o 4096", "-ma", "ma1"}));
    EXPECT_TRUE(registered);
    EXPECT_EQ(Job().m_jobId, kJob);
    EXPECT_EQ(Job().m_jobPhase, 1u);
    EXPECT_EQ(Job().m_attempt, 2u);
    EXPECT_EQ(Job().m_sServername, "node1/INST");
    EXPECT_EQ(Job().m_serverType, "DataBase Engine");
    EXPECT_EQ(Job().m_sqlVersion, "15.0.2000.5");
    EXPECT_EQ(Job().m_jxServerHostName, "cs1");
    EXPECT_EQ(Job().m_instanceId, 7u);
    EXPECT_EQ(Job().m_clientId, 3u);
    EXPECT_EQ(Job().m_jxCellNumber, 9u);
    EXPECT_EQ(Job().m_vdiBufferCount, 40u);
    EXPECT_EQ(Job().m_vdiBlockSize, 65536u);
    EXPECT_EQ(Job().m_bufferSize, 512u);
    EXPECT_EQ(Job().m_jobResultsDirectory, Root().path() + "/jobresults/42");
    EXPECT_EQ(Job().m_initiatedFrom, 1);
    EXPECT_TRUE(Job().m_sendOptionalHeader);
    EXPECT_TRUE(Job().isRestartJob());
    EXPECT_NE(Job().m_pJobCtrlClnt, nullptr);
    EXPECT_NE(Job().m_pJobClnt, nullptr);
    auto registeredLine = Journal().at(0);
    EXPECT_EQ(registeredLine.op, "registerJob");
    EXPECT_EQ(registeredLine.Get("ok"), "true");
    EXPECT_TRUE(Causes().empty());
}

TEST_F(BackupInit, RegistrationFailureWithLastErrorFiveSetsItsCause) {
    ASSERT_TRUE(JobRegistration::SetRegistrationFailure(5));
    bool registered = true;
    EXPECT_FALSE(Initialize(registered));
    EXPECT_FALSE(registered);
    EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseDirectoryNotAccessible)}));
}

TEST_F(BackupInit, RegistrationFailureWithAnotherErrorSetsNoCause) {
    ASSERT_TRUE(JobRegistration::SetRegistrationFailure(3));
    bool registered = true;
    EXPECT_FALSE(Initialize(registered));
    EXPECT_FALSE(registered);
    EXPECT_TRUE(Causes().empty());
    EXPECT_EQ(Journal().at(0).Get("lastError"), "3");
}

TEST_F(BackupInit, FailuresAfterRegistrationReachTheJobManager) {
    struct Case {
        const char* name;
        std::function<void()> breakIt;
        int cause;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"no subclient", [] { AppModel::Set("subclient/999", "instanceId", "7"); }, kCauseSubclientProperties, {}},
        {"no instance", [] { AppModel::Set("subclient/1234", "instanceId", "8"); }, kCauseNoInstance, {"1234", "2"}},
        {"instance id 0",
         [] {
             AppModel::Set("subclient/1234", "instanceId", "0");
             AppModel::Set("instance/0", "name", "x");
         },
         kCauseInstanceId,
         {"1234", "2"}},
        {"no instance name", [this] { RemoveInstanceKey("name"); }, kCauseInstanceProperties, {"7"}},
        {"no version", [this] { RemoveInstanceKey("sqlVersion"); }, kCauseInstanceProperties, {"7"}},
        {"not running", [this] { FakeSystemctl("inactive (dead)", 3); }, kCauseSqlServerNotRunning, {"node1/INST"}},
        {"no central server",
         [] { JXPlatformInfo().deleteValue("Base", "sJxServerHostName"); },
         kCauseCentralServerHostName,
         {"jxserver hostname", "Base"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        c.breakIt();
        bool registered = false;
        std::vector<const char*> extra;
        if (std::string(c.name) == "no subclient") extra = {"-a", "1235"};
        EXPECT_FALSE(Initialize(registered, extra));
        EXPECT_TRUE(registered);
        auto causes = CauseEntries();
        ASSERT_EQ(causes.size(), 1u);
        EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(c.cause));
        EXPECT_EQ(causes[0].List("args"), c.args);
    }
}

TEST_F(BackupInit, ShortJobTokenFailsWithAMalformedTokenCauseInsteadOfCrashing) {
    bool registered = false;
    EXPECT_FALSE(InitializeWithToken(registered, "42:1"));
    EXPECT_TRUE(registered);
    auto causes = CauseEntries();
    ASSERT_EQ(causes.size(), 1u);
    // Not the cause of a failed properties look-up: the token itself is wrong.
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseMalformedJobToken));
    EXPECT_EQ(causes[0].List("args"),
              (std::vector<std::string>{"Malformed job token [42:1]: it does not hold the job phase and attempt."}));
    EXPECT_EQ(Job().m_attempt, 0u);
}

TEST_F(BackupInit, QuotedAndEscapedTokenFields) {
    bool registered = false;
    ASSERT_TRUE(InitializeWithToken(registered, "\"4:2\":3\\:x:5"));
    EXPECT_EQ(Job().m_jobPhase, 3u);
    EXPECT_EQ(Job().m_attempt, 5u);
}

TEST_F(BackupInit, VdiTimeoutRetryLimitNeverBelowThree) {
    struct Case {
        const char* setting;      // nullptr: absent
        const char* globalParam;  // nullptr: absent
        uint32_t limit;
    };
    for (const Case& c : {Case{"0", nullptr, 3}, Case{"2", nullptr, 3}, Case{"5", "9", 5}, Case{nullptr, " 7 ", 7},
                          Case{nullptr, nullptr, 3}, Case{nullptr, "-1", 3}, Case{"-2", nullptr, 3},
                          Case{"99999999999", nullptr, 4294967295u}}) {
        SCOPED_TRACE(std::string(c.setting ? c.setting : "-") + " / " + (c.globalParam ? c.globalParam : "-"));
        Reset();
        JXPlatformInfo settings;
        if (c.setting) settings.setString("MSSQLAgent", "dwJXMSSQL_VDI_TIMEOUT_RETRY_COUNT", c.setting);
        if (c.globalParam) JXGlobalParam::setProperty("JXMSSQL_VDI_TIMEOUT_RETRY_COUNT", c.globalParam);
        bool registered = false;
        ASSERT_TRUE(Initialize(registered));
        EXPECT_EQ(Job().m_vdiTimeoutRetryLimit, c.limit);
    }
}

TEST_F(BackupInit, RemoteBlobStoreJobUsesFixedValues) {
    JXPlatformInfo().setNumber("MSSQLAgent", "bEnableRBSJob", 1);
    AppModel::Set("subclient/1234", "spContentDBServerName", "spsql");
    AppModel::Set("subclient/1234", "tunableBufferCount", "40");
    AppModel::Set("subclient/1234", "remoteSqlUser", "spuser");
    AppModel::Set("subclient/1234", "remoteSqlPassword", "");
    bool registered = false;
    ASSERT_TRUE(Initialize(registered));
    EXPECT_TRUE(Job().m_isRBSJob);
    EXPECT_EQ(Job().m_bufferSize, 2048u);
    EXPECT_EQ(Job().m_serverType, "DataBase Engine");
    EXPECT_EQ(Job().m_vdiBufferCount, 20u);
    EXPECT_EQ(Job().m_sServername, "spsql");
    EXPECT_EQ(Job().m_sqlUser, "spuser");
}

TEST_F(BackupInit, CloudInstanceSkipsCredentialsAndTheRunningTest) {
    AppModel::Set("instance/7", "serverType", "Azure DataBase Engine");
    AppModel::Set("instance/7", "sqlUser", "sa");
    FakeSystemctl("inactive", 3);
    bool registered = false;
    ASSERT_TRUE(Initialize(registered));
    EXPECT_EQ(Job().m_sqlUser, "");
}

TEST_F(BackupInit, InitiatedFromAndOptionalHeader) {
    EvTask::setOption(kJob, 140030, "6");
    bool registered = false;
    ASSERT_TRUE(Initialize(registered));
    EXPECT_EQ(Job().m_initiatedFrom, 2);
    EvTask::setOption(kJob, 140030, "2");
    EXPECT_EQ(Job().GetInitiatedFrom(kJob, false), 4);
    EvTask::setOption(kJob, 350958534, "1");
    EXPECT_EQ(Job().GetInitiatedFrom(kJob, false), 3);
    EXPECT_EQ(Job().GetInitiatedFrom(kJob, true), 1);

    JXPlatformInfo settings;
    for (auto [value, enabled] : {std::pair{1, false}, {0, true}, {2, true}}) {
        settings.setNumber("MSSQLAgent", "disableOptionalHeader", value);
        EXPECT_EQ(Job().isSendOptionalHeaderEnabled(), enabled) << value;
    }
    settings.deleteValue("MSSQLAgent", "disableOptionalHeader");
    EXPECT_TRUE(Job().isSendOptionalHeaderEnabled());
}

TEST_F(BackupInit, VirtualInstanceNameSwapsListenerAndGroup) {
    std::string name = "listener/group";
    EXPECT_TRUE(Job().reformattingVirtualInstanceName(name));
    EXPECT_EQ(Job().m_virtualInstanceName, "group/listener");
    name = "l/g/extra";
    EXPECT_TRUE(Job().reformattingVirtualInstanceName(name));
    EXPECT_EQ(Job().m_virtualInstanceName, "g/l");
    name = "plain";
    EXPECT_FALSE(Job().reformattingVirtualInstanceName(name));
    EXPECT_EQ(Job().m_virtualInstanceName, "g/l");
}

TEST_F(BackupInit, MarkSkippedFailedFromOptionWordOrSetting) {
    JXGlobalParam::setProperty("SQLGenericOptions", "32");
    bool registered = false;
    ASSERT_TRUE(Initialize(registered));
    EXPECT_TRUE(Job().doMarkSkippedItemFailed());
    JXPlatformInfo().setNumber("MSSQLAgent", "bSQLSetCWEOnSkippedCount", 0);
    Job().doLoadBackupConfigs();
    EXPECT_FALSE(Job().doMarkSkippedItemFailed());
}

}  // namespace
