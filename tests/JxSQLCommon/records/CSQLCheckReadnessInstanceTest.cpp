#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "JXAppMgr/AppModel.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPassword.h"
#include "JxSQLCommon/records/CSQLCheckReadnessInstance.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

class CSQLCheckReadnessInstanceTest : public RootedTest {
protected:
    void SetUp() override {
        AppModel::Set("client/2", "name", "node1");
        AppModel::Set("client/2", "hostName", "node1.example");
        AppModel::Set("instance/7", "name", "node1/INST");
        AppModel::Set("instance/7", "clientId", "2");
    }

    // An instance that accepts only the login "backup" / "s3cret!" as sysadmin.
    void MakeInstance() {
        SqlSimInstance instance;
        SqlSimServerSpec server;
        server.name = "node1/INST";
        server.integratedLogin = false;
        ASSERT_FALSE(instance.Create(server).IsError());
        ASSERT_FALSE(instance.AddLogin({"backup", "s3cret!", {"sysadmin"}, false}).IsError());
        ASSERT_FALSE(instance.AddLogin({"reader", "r", {}, false}).IsError());
    }

    void ConfigureLogin(const std::string& user, const std::string& storedPassword) {
        AppModel::Set("instance/7", "authType", "2");
        AppModel::Set("instance/7", "sqlUser", user);
        AppModel::Set("instance/7", "sqlPassword", storedPassword);
    }

    std::string Log() const { return jxtest::ReadWholeFile(EvDebug::LogFilePath()); }

    CSQLCheckReadnessInstance check{2, 7};
};

TEST_F(CSQLCheckReadnessInstanceTest, JobResultsDirectoryMustBeKnownReadableAndWritable) {
    CWzError err = check.checkIfJRAccessble();
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 305);
    EXPECT_EQ(err.GetMessage(), "Failed to get Job reslut directory, ClientId [2].");

    const std::string dir = root.path() + "/jr";
    ASSERT_EQ(::mkdir(dir.c_str(), 0755), 0);
    AppModel::Set("client/2", "jobResultsDir", dir);
    EXPECT_FALSE(check.checkIfJRAccessble().IsError());

    AppModel::Set("client/2", "jobResultsDir", root.path() + "/missing");
    err = check.checkIfJRAccessble();
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 305);
    EXPECT_EQ(err.GetMessage(), "Job reslut directory [" + root.path() + "/missing] is not either writable or readable.");

    if (::geteuid() == 0) return;  // root may write anywhere
    ASSERT_EQ(::chmod(dir.c_str(), 0555), 0);
    AppModel::Set("client/2", "jobResultsDir", dir);
    err = check.checkIfJRAccessble();
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 305);
    EXPECT_NE(err.GetMessage().find(dir), std::string::npos);
}

TEST_F(CSQLCheckReadnessInstanceTest, TheStoredPasswordIsDecryptedBeforeTheLoginCheck) {
    MakeInstance();
    ConfigureLogin("backup", JXPassword::encrypt("s3cret!"));
    EXPECT_FALSE(check.checkIfSARoleOnSQL("node1/INST").IsError());
}

TEST_F(CSQLCheckReadnessInstanceTest, ALoginWithoutSysadminFailsWithTheLayersReason) {
    MakeInstance();
    ConfigureLogin("reader", JXPassword::encrypt("r"));
    CWzError err = check.checkIfSARoleOnSQL("node1/INST");
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 304);
    EXPECT_NE(err.GetMessage().find("User verification failed for the instance [7] with error ["), std::string::npos);
    EXPECT_NE(Log().find("Failed to verify the user [reader] with SA role for instance id [7]"), std::string::npos);
}

TEST_F(CSQLCheckReadnessInstanceTest, NoConfiguredLoginVerifiesWithEmptyCredentials) {
    MakeInstance();  // refuses the agent's own account
    EXPECT_EQ(FXErrorUtil::GetJXResult(check.checkIfSARoleOnSQL("node1/INST")), 304);
    const std::string log = Log();
    EXPECT_NE(log.find("No authentication information at higher levels for instance [7]."), std::string::npos);
    EXPECT_NE(log.find("Using Local System authentication."), std::string::npos);
    EXPECT_NE(log.find("Failed to verify the user [] with SA role"), std::string::npos);
}

TEST_F(CSQLCheckReadnessInstanceTest, ClusterCheckFailsOnThisPlatform) {
    CWzError err = check.checkIfClusterValid();
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 306);
    EXPECT_EQ(err.GetMessage(), "Failed to find SQL instances part of cluster [node1.example].");

    CSQLCheckReadnessInstance unknownClient(99, 7);
    err = unknownClient.checkIfClusterValid();
    EXPECT_EQ(FXErrorUtil::GetJXResult(err), 306);
    EXPECT_NE(err.GetMessage().find("Failed to get host name for client[99] with error["), std::string::npos);

    std::string cluster;
    EXPECT_FALSE(check.isSqlInstanceClustered("node1/INST", cluster, 0, false));
}
