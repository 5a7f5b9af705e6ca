// The application readiness check through the XML request layer and the
// real host.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "JXAppMgr/AppModel.h"
#include "JxLib/JXPassword.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/ApiMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"
#include "tests/JxSQLMessageHandler/service/XmlRequestExchange.h"

namespace {

using Entity = JxEntities::GenericEntity;

class AppReadinessTest : public jxtest::ServiceHostTest {
protected:
    void SetUp() override {
        ServiceHostTest::SetUp();
        SqlSimInstance instance;
        jxtest::CreateSimInstance(instance, "HOST/INST", {"db1"});
        SqlSimLoginSpec login;
        login.name = "bob";
        login.password = "pw";
        ASSERT_TRUE(instance.AddLogin(login).IsSuccess());
        JXPlatformInfo().setString("", "sPhysicalNodeName", "node1");
        root.WriteFile("JobResults/.keep", "");
        AppModel::Set("client/3", "name", "node1");
        AppModel::Set("client/3", "jobResultsDir", root.path() + "/JobResults");
        AppModel::Set("instance/7", "name", "HOST/INST");
        AppModel::Set("instance/7", "clientId", "3");
        AttachPlugin(requester);
    }
    void TearDown() override {
        EXPECT_TRUE(requester.Disconnect().IsSuccess());
        ServiceHostTest::TearDown();
    }

    std::string Check(const std::string& serverType, int64_t instanceId = 7, int64_t clientId = 3) {
        Api::SQLAppReadinessReq request;
        Entity entity;
        entity.setint64(Entity::kInstanceId, instanceId);
        entity.setint64(Entity::kClientId, clientId);
        request.setObjectAccessor(Api::SQLAppReadinessReq::kInstance, entity);
        request.setstring(Api::SQLAppReadinessReq::kServerType, serverType);
        return jxtest::ExchangeXml(requester, 0x1e000114, jxtest::XmlOf(request));
    }

    struct Failure {
        int64_t code = 0;
        std::string message;
        std::string detail;
    };
    static Failure Read(const std::string& xml) {
        Failure out;
        Api::SQLAppReadinessResp response;
        EXPECT_EQ(response.unserialize(xml), 0) << xml;
        const CNMessageBase* error = response.getObjectAccessor(Api::SQLAppReadinessResp::kError);
        EXPECT_NE(error, nullptr);
        if (error == nullptr) return out;
        out.code = error->getint64(Api::SQLAppReadinessResp::kErrorCode);
        out.message = error->getstring(Api::SQLAppReadinessResp::kErrorMessageText);
        out.detail = response.getstring(Api::SQLAppReadinessResp::kDetail);
        return out;
    }

    JxsRequester requester;
};

TEST_F(AppReadinessTest, ReadyInstanceAnswersAnEmptyDocument) {
    EXPECT_EQ(Check("DataBase Engine"), "");
    EXPECT_EQ(Check("database engine"), "");   // the type compares without regard to case
    EXPECT_EQ(Check("Analysis Engine"), "");   // a type without checks
}

TEST_F(AppReadinessTest, MissingJobResultsDirectoryFailsTheDirectoryCheck) {
    AppModel::Set("client/3", "jobResultsDir", root.path() + "/NoSuchDir");
    Failure failure = Read(Check("DataBase Engine"));
    EXPECT_EQ(failure.code, 305);
    EXPECT_EQ(failure.message, "Application readiness failed for instance [HOST/INST] on the machine [node1]");
    EXPECT_NE(failure.detail.find("NoSuchDir"), std::string::npos) << failure.detail;
}

TEST_F(AppReadinessTest, MachineWithoutANodeNameIsNamedByItsHostName) {
    JXPlatformInfo().deleteValue("", "sPhysicalNodeName");
    AppModel::Set("client/3", "jobResultsDir", root.path() + "/NoSuchDir");
    char host[256] = {};
    ASSERT_EQ(::gethostname(host, sizeof host - 1), 0);
    Failure failure = Read(Check("DataBase Engine"));
    EXPECT_EQ(failure.message,
              "Application readiness failed for instance [HOST/INST] on the machine [" + std::string(host) + "]");
}

TEST_F(AppReadinessTest, LoginWithoutSysadminFailsTheRoleCheck) {
    AppModel::Set("instance/7", "authType", "1");
    AppModel::Set("instance/7", "sqlUser", "bob");
    AppModel::Set("instance/7", "sqlPassword", JXPassword::encrypt("pw"));
    Failure failure = Read(Check("DataBase Engine"));
    EXPECT_EQ(failure.code, 304);
    EXPECT_EQ(failure.message, "Application readiness failed for instance [HOST/INST] on the machine [node1]");
}

TEST_F(AppReadinessTest, RoleIsCheckedOnTheInstanceOfTheThirdField) {
    AppModel::Set("instance/9", "name", "HOST/NONE");
    Api::SQLAppReadinessReq request;
    Entity entity;
    entity.setint64(Entity::kInstanceId, 7);
    entity.setint64(Entity::kClientId, 3);
    request.setObjectAccessor(Api::SQLAppReadinessReq::kInstance, entity);
    entity.setint64(Entity::kInstanceId, 9);
    request.setObjectAccessor(Api::SQLAppReadinessReq::kRoleInstance, entity);
    request.setstring(Api::SQLAppReadinessReq::kServerType, "DataBase Engine");
    Failure failure = Read(jxtest::ExchangeXml(requester, 0x1e0000ff, jxtest::XmlOf(request)));
    EXPECT_EQ(failure.code, 304);
    // The message names the instance of the first field.
    EXPECT_EQ(failure.message, "Application readiness failed for instance [HOST/INST] on the machine [node1]");
}

TEST_F(AppReadinessTest, CloudTypesNeedInstanceAndClientIds) {
    EXPECT_EQ(Check("Azure DataBase Engine"), "");
    Failure noInstance = Read(Check("Aws DataBase Engine", 0));
    EXPECT_EQ(noInstance.code, 129);
    EXPECT_NE(noInstance.detail.find("Invalid instance details found for the request."), std::string::npos);
    Failure noClient = Read(Check("Azure Managed DataBase Engine", 7, 0));
    EXPECT_EQ(noClient.code, 130);
    EXPECT_NE(noClient.detail.find("Invalid client details found for the request."), std::string::npos);
}

}  // namespace
