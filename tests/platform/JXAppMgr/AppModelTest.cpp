// The application model: objects found by id and name, typed properties.
#include <gtest/gtest.h>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/ApplicationId.h"
#include "JXAppMgr/JXClient.h"
#include "tests/support/TestRoot.h"

namespace {

class Model : public jxtest::RootedTest {};

TEST_F(Model, ApplicationLeadsToSubclientAndInstance) {
    ApplicationId none(2, 10);
    EXPECT_EQ(none.getSubclient(), nullptr);
    EXPECT_EQ(none.getInstance(), nullptr);

    AppModel::Set("subclient/10", "instanceId", "7");
    ApplicationId dangling(2, 10);
    ASSERT_NE(dangling.getSubclient(), nullptr);
    EXPECT_EQ(dangling.getInstance(), nullptr) << "instance 7 is not in the model";

    AppModel::Set("instance/7", "name", "node/INST");
    ApplicationId app(2, 10);
    ASSERT_NE(app.getInstance(), nullptr);
    EXPECT_EQ(app.getInstance()->getId(), 7u);
    EXPECT_EQ(app.getInstance(), app.getInstance()) << "the object is the application's own";
}

TEST_F(Model, PropertiesAreTypedAndMissingOnesAreNotSet) {
    AppModel::Set("subclient/10", "tunableBlockSize", "70000");
    AppModel::Set("subclient/10", "tunableBufferCount", "9999999999");
    AppModel::Set("subclient/10", "vdiTimeout", "-1");
    MsSqlSubclient subclient(10);
    int value = 1;
    EXPECT_EQ(subclient.GetTunable_BlockSize(value), 0);
    EXPECT_EQ(value, 70000);
    EXPECT_EQ(subclient.GetTunable_BufferCount(value), JXAPPMGR_E_BAD_VALUE);
    EXPECT_EQ(subclient.GetTunable_MaxTransferSize(value), JXAPPMGR_PROP_NOT_SET);
    EXPECT_EQ(value, 70000);
    unsigned long seconds = 5;
    EXPECT_EQ(subclient.getVDITimeout(seconds), JXAPPMGR_E_BAD_VALUE);
    EXPECT_EQ(seconds, 5u);
    EXPECT_EQ(MsSqlSubclient(11).GetTunable_BlockSize(value), JXAPPMGR_E_NO_OBJECT);
}

TEST_F(Model, ServerTypeReportsWhenUnset) {
    AppModel::Set("instance/7", "name", "node/INST");
    MsSqlInstance instance(7);
    std::string type = "default";
    int code = 0;
    EXPECT_EQ(instance.getServerType(type, code), 0);
    EXPECT_EQ(code, JXAPPMGR_PROP_NOT_SET);
    EXPECT_EQ(type, "default");
    EXPECT_EQ(instance.setServerType("DataBase Engine"), 0);
    EXPECT_EQ(instance.getServerType(type, code), 0);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(type, "DataBase Engine");
    EXPECT_NE(MsSqlInstance(8).getServerType(type, code), 0);
    EXPECT_NE(MsSqlInstance(8).setServerType("x"), 0) << "no object is created by a write";
}

TEST_F(Model, ClientsByNameAndId) {
    AppModel::Set("client/12", "name", "node1");
    AppModel::Set("client/12", "hostName", "node1.example");
    uint64_t id = 0;
    EXPECT_EQ(JXClient("node1").getClientId(id), 0);
    EXPECT_EQ(id, 12u);
    EXPECT_EQ(JXClient("node2").getClientId(id), JXAPPMGR_E_NO_OBJECT);
    std::string host;
    EXPECT_EQ(JXClient(12).getNetworkHostnameMangled(host), 0);
    EXPECT_EQ(host, "node1.example");
}

}  // namespace
