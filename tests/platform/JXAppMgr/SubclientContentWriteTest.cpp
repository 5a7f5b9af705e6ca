// Default backup sets, subclients by backup set, instance look-up by name,
// and subclient content written back to the application model.
#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <string>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/ClientApplicationList.h"
#include "JXAppMgr/InstanceByName.h"
#include "JXAppMgr/Subclient.h"
#include "tests/support/TestRoot.h"

namespace {

class SubclientContentWrite : public jxtest::RootedTest {
protected:
    void SetUp() override {
        AppModel::Set("backupset/60", "clientId", "2");
        AppModel::Set("backupset/60", "instanceId", "7");
        AppModel::Set("backupset/60", "name", "other");
        AppModel::Set("backupset/50", "clientId", "2");
        AppModel::Set("backupset/50", "instanceId", "7");
        AppModel::Set("backupset/50", "name", "defaultBackupSet");
        AppModel::Set("backupset/50", "isDefault", "1");
        AppModel::Set("subclient/9", "name", "Do Not Backup");
        AppModel::Set("subclient/9", "backupSetId", "50");
        AppModel::Set("subclient/9", "property118_1", "kept");
    }
    static std::list<std::string> Databases(uint64_t subclient) {
        PropertiesList list;
        EXPECT_EQ(ApplProperties(subclient).getProperties(list, nullptr), 0);
        std::list<std::string> names;
        for (const auto& p : list.getList()) names.push_back(p->getValue());
        return names;
    }
    static PropertiesList Names(std::initializer_list<const char*> names) {
        PropertiesList list;
        for (const char* n : names) list.addToPropList(std::make_shared<MSSQLDBProperty>(n));
        return list;
    }
};

TEST_F(SubclientContentWrite, FindsTheDefaultBackupSetItsSubclientsAndInstances) {
    uint64_t id = 0;
    std::string name;
    ASSERT_EQ(ClientApplicationList::getDefaultBackupSet(2, 81, 7, id, name), 0);
    EXPECT_EQ(id, 50u);
    EXPECT_EQ(name, "defaultBackupSet");
    EXPECT_EQ(ClientApplicationList::getDefaultBackupSet(2, 81, 8, id, name), JXAPPMGR_E_NO_OBJECT);
    std::list<uint64_t> ids;
    std::list<std::string> names;
    ASSERT_EQ(ClientApplicationList::getSubclientList(ids, names, 81, 50, nullptr, 1), 0);
    EXPECT_EQ(ids, (std::list<uint64_t>{9}));

    AppModel::Set("instance/7", "clientId", "2");
    AppModel::Set("instance/7", "name", "node1/Prod");
    uint64_t instance = 0;
    ASSERT_EQ(InstanceByName::getInstanceId(2, 81, "NODE1/prod", instance), 0);
    EXPECT_EQ(instance, 7u);
    EXPECT_EQ(InstanceByName::getInstanceId(3, 81, "node1/Prod", instance), JXAPPMGR_E_NO_OBJECT);
    EXPECT_EQ(InstanceByName::getInstanceId(2, 81, "node1/Pro", instance), JXAPPMGR_E_NO_OBJECT);
}

TEST_F(SubclientContentWrite, AddedDatabasesAreWrittenBackAndRemovedIgnoringCase) {
    MsSqlSubclient dnb(9);
    ASSERT_EQ(dnb.setSQLSubclientType(1), 0);
    unsigned int type = 0;
    ASSERT_EQ(dnb.getSQLSubclientType(type), 0);
    EXPECT_EQ(type, 1u);
    ASSERT_EQ(dnb.setProperties(Names({"clone_a", "CLONE_B", "KEPT"})), 0);
    EXPECT_EQ(Databases(9), (std::list<std::string>{"kept", "clone_a", "CLONE_B"}));

    ASSERT_EQ(dnb.removeProperties(Names({"CLONE_A", "clone_b"})), 0);
    EXPECT_EQ(Databases(9), (std::list<std::string>{"kept"}));
    EXPECT_EQ(dnb.removeProperties(Names({"clone_a"})), JXAPPMGR_PROP_NOT_SET) << "nothing left to remove";

    MsSqlSubclient missing(99);
    EXPECT_EQ(missing.setProperties(Names({"x"})), JXAPPMGR_E_NO_OBJECT);
    EXPECT_EQ(missing.removeProperties(Names({"x"})), JXAPPMGR_E_NO_OBJECT);
    PropertiesList group;
    group.addToPropList(std::make_shared<MSSQLFFGProperty>("fg1"));
    EXPECT_EQ(dnb.setProperties(group), JXAPPMGR_E_BAD_VALUE);
    EXPECT_EQ(Databases(9), (std::list<std::string>{"kept"}));
}

}  // namespace
