// Credential, service, instance and client services of the job context.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/Subclient.h"
#include "JxLib/JXPassword.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "tests/JxSQLCommon/jobbase/TestJob.h"
#include "tests/support/TestRoot.h"

namespace {

class InstanceServices : public jxtest::RootedTest {
protected:
    // Points "systemctl" at a script that prints `output` and exits with `status`.
    void FakeSystemctl(const std::string& output, int status) {
        root.WriteFile("bin/systemctl", "#!/bin/sh\necho '" + output + "'\nexit " + std::to_string(status) + "\n");
        std::string path = root.File("bin/systemctl");
        ::chmod(path.c_str(), 0755);
        ASSERT_TRUE(JxProcess::SetProgramPath("systemctl", path));
    }
};

TEST(Credentials, LoginNamesSplitIntoDomainAndUser) {
    std::wstring domain = L"keep";
    std::wstring user;
    CSQLCommon::parseUserName("sa@corp.example", domain, user);
    EXPECT_EQ(domain, L"keep");
    EXPECT_EQ(user, L"sa@corp.example");
    CSQLCommon::parseUserName("CORP/alice/x", domain, user);
    EXPECT_EQ(domain, L"CORP");
    EXPECT_EQ(user, L"alice/x");
    CSQLCommon::parseUserName("sa", domain, user);
    EXPECT_EQ(domain, L".");
    EXPECT_EQ(user, L"sa");
    CSQLCommon::parseUserName("d/\xc3\xa9t\xc3\xa9", domain, user);
    EXPECT_EQ(user, L"\u00e9t\u00e9");
}

TEST_F(InstanceServices, PasswordIsDecodedAndBadOneKeepsPrevious) {
    TestJob job;
    job.setPassword(JXPassword::encrypt("s3cret"));
    EXPECT_EQ(job.getPassword(), L"s3cret");
    job.setPassword("not-encoded");
    EXPECT_EQ(job.getPassword(), L"s3cret");
    job.setPassword(JXPassword::encrypt(std::string(600, 'x')));
    EXPECT_EQ(job.getPassword(), L"s3cret") << "too long for the buffer: rejected, not truncated";
    job.setPassword("");
    EXPECT_EQ(job.getPassword(), L"");
}

TEST_F(InstanceServices, SqlServerRunsOnlyOnStatusZeroWithRunning) {
    TestJob job;
    FakeSystemctl("Active: active (running) since today", 0);
    EXPECT_TRUE(job.isSqlServerRunning(""));
    FakeSystemctl("Active: active (running) but odd", 3);
    EXPECT_FALSE(job.isSqlServerRunning(""));
    FakeSystemctl("Active: inactive (dead)", 0);
    EXPECT_FALSE(job.isSqlServerRunning(""));
    ASSERT_TRUE(JxProcess::SetProgramPath("systemctl", root.path() + "/bin/missing"));
    EXPECT_FALSE(job.isSqlServerRunning(""));
}

TEST_F(InstanceServices, ServiceNames) {
    TestJob job;
    std::string name;
    job.getServiceName("host", name);
    EXPECT_EQ(name, "MSSQLSERVER");
    job.getServiceName("host/INST", name);
    EXPECT_EQ(name, "MSSQL$INST");
    job.getServiceName("host/", name);
    EXPECT_EQ(name, "MSSQLSERVER");
    job.m_sServername = "node/PROD";
    job.getServiceName("", name);
    EXPECT_EQ(name, "MSSQL$PROD");
    job.getAnalysisServiceName("host/INST", name);
    EXPECT_EQ(name, "MSOLAP$INST");
    job.getAnalysisServiceName("host", name);
    EXPECT_EQ(name, "MSSQLServerOLAPService");
    EXPECT_TRUE(job.isSqlAnalysisServerRunning("host"));
}

TEST_F(InstanceServices, InstanceNamesAndEditions) {
    EXPECT_FALSE(CSQLCommon::isJxServerInstance("VELTRASSAORVANE"));
    EXPECT_TRUE(CSQLCommon::isJxServerInstance("host/veltrassaorvane"));
    EXPECT_TRUE(CSQLCommon::isJxServerInstance("host/VeltrassaDravent"));
    EXPECT_FALSE(CSQLCommon::isJxServerInstance("host/other"));
    EXPECT_EQ(CSQLCommon::parseInstanceName("host/INST Analysis Services"), "host/INST");
    EXPECT_EQ(CSQLCommon::parseInstanceName("Analysis Services"), "Analysis Services");
    EXPECT_EQ(CSQLCommon::parseInstanceName("host/INST"), "host/INST");

    TestJob job;
    job.m_sqlEdition = "Enterprise Edition (64-bit)";
    EXPECT_TRUE(job.isSQLEnterpriseEdition());
    EXPECT_FALSE(job.isSQLStandardEdition());
    job.m_sqlEdition = "Developer Edition";
    EXPECT_TRUE(job.isSQLDeveloperEdition());
    EXPECT_EQ(job.m_sqlEdition, "developer edition");
}

TEST_F(InstanceServices, ServerTypeFromModelWithDefaultWrittenBack) {
    TestJob job;
    EXPECT_EQ(job.getServerTypeForBackup(2, 1234), "DataBase Engine") << "no subclient";
    AppModel::Set("subclient/1234", "instanceId", "7");
    AppModel::Set("instance/7", "name", "node/INST");
    EXPECT_EQ(job.getServerTypeForBackup(2, 1234), "DataBase Engine");
    EXPECT_EQ(AppModel::Get("instance/7", "serverType").value_or(""), "DataBase Engine");
    AppModel::Set("instance/7", "serverType", "Azure DataBase Engine");
    EXPECT_EQ(job.getServerTypeForBackup(2, 1234), "Azure DataBase Engine");

    EXPECT_EQ(job.getServerTypeForRestore(55), "DataBase Engine") << "task names no instance";
    EvTask::setProperty(55, "instanceId", "7");
    EXPECT_EQ(job.getServerTypeForRestore(55), "Azure DataBase Engine");
}

TEST_F(InstanceServices, ClientInformation) {
    TestJob job;
    uint64_t id = 99;
    std::string host;
    EXPECT_FALSE(job.getClientInfo(id, host));
    EXPECT_EQ(id, 0u);
    JXPlatformInfo().setString("", "sPhysicalNodeName", "node1");
    AppModel::Set("client/5000000000", "name", "node1");
    EXPECT_FALSE(job.getClientInfo(id, host)) << "no host name";
    AppModel::Set("client/5000000000", "hostName", "node1.example");
    ASSERT_TRUE(job.getClientInfo(id, host));
    EXPECT_EQ(id, 5000000000u);
    EXPECT_EQ(host, "node1.example");
    host.clear();
    EXPECT_TRUE(job.getMangledClientName(host, 5000000000u));
    EXPECT_EQ(host, "node1.example");
    EXPECT_FALSE(job.getMangledClientName(host, 1));
}

TEST_F(InstanceServices, SubclientTypeOutsideOneToFourIsRejectedButWritten) {
    TestJob job;
    eSubClientTypes type = SUBCLIENT_TYPE_NONE;
    EXPECT_FALSE(job.getSubclientType(type)) << "no subclient";
    MsSqlSubclient subclient(8);
    job.m_pSubclient = &subclient;
    AppModel::Set("subclient/8", "specialSubclientType", "3");
    EXPECT_TRUE(job.getSubclientType(type));
    EXPECT_EQ(type, 3u);
    AppModel::Set("subclient/8", "specialSubclientType", "5");
    EXPECT_FALSE(job.getSubclientType(type));
    EXPECT_EQ(type, 5u);
    job.m_pSubclient = nullptr;
}

TEST_F(InstanceServices, SwitchesAndIndexingVersions) {
    TestJob job;
    EXPECT_FALSE(job.IsKeepStagedFilesSet());
    EXPECT_TRUE(job.isSkipSharepointContentDB());
    JXPlatformInfo().setNumber("MSSQLAgent", "bKEEPSTAGEDFILES", 1);
    JXPlatformInfo().setNumber("MSSQLAgent", "nSkipSpDb", 0);
    EXPECT_TRUE(job.IsKeepStagedFilesSet());
    EXPECT_FALSE(job.isSkipSharepointContentDB());

    EXPECT_EQ(job.GetIndexingVersion(1, 2), 1);
    AppModel::Set("domain", "useIndexingV2", "1");
    EXPECT_EQ(job.GetIndexingVersion(1, 2), 2);
    EXPECT_EQ(job.GetClientIndexingVersion(3, 0), 0) << "unknown client";
    AppModel::Set("client/3", "useIndexingV2ForMSSQL", "0");
    EXPECT_EQ(job.GetClientIndexingVersion(3, 0), 1);
    AppModel::Set("client/3", "useIndexingV2ForMSSQL", "1");
    EXPECT_EQ(job.GetClientIndexingVersion(3, 1700000000), 2);

    EXPECT_FALSE(job.isClientAlsoJxServer());
    JXPlatformInfo().setString("JxServer", "sInstalled", "1");
    EXPECT_TRUE(job.isClientAlsoJxServer());

    std::string a = CSQLCommon::getGUID();
    EXPECT_EQ(a.size(), 36u);
    EXPECT_NE(a, CSQLCommon::getGUID());
}

}  // namespace
