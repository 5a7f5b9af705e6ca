// The "Do Not Backup" subclient of an instance's default backup set: what a
// clone or mount adds is taken out again by removal, the subclient is found
// whatever its letter case, and failures are reported, not hidden.
#include <gtest/gtest.h>

#include <list>
#include <memory>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/ApplProperties.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "tests/JxSQLCommon/restore/RecordingRstJobClient.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kClient = 0x1'0000'0002;  // beyond 32 bits

class DoNotBackupTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        AppModel::Set("instance/7", "clientId", std::to_string(kClient));
        AppModel::Set("instance/7", "name", "node1/INST");
        AppModel::Set("backupset/50", "clientId", std::to_string(kClient));
        AppModel::Set("backupset/50", "instanceId", "7");
        AppModel::Set("backupset/50", "isDefault", "1");
        AddSubclient(8, "default", 1);
        client = std::make_shared<RecordingRstJobClient>();
        job.m_pRstJobClnt = client;
    }
    static void AddSubclient(uint64_t id, const std::string& name, int type) {
        const std::string object = "subclient/" + std::to_string(id);
        AppModel::Set(object, "name", name);
        AppModel::Set(object, "backupSetId", "50");
        AppModel::Set(object, "sqlSubclientType", std::to_string(type));
    }
    static std::string Xml(const std::vector<std::string>& names) {
        SQLPmn::AttachDBMsg message;
        message.setstring(SQLPmn::AttachDBMsg::kInstanceName, "NODE1/inst");
        for (const std::string& name : names) {
            SQLPmn::AttachDB entry;
            entry.setstring(SQLPmn::AttachDB::kAttachName, name);
            message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
        }
        std::string xml;
        EXPECT_EQ(message.serialize(xml), kMsgOk);
        return xml;
    }
    static std::list<std::string> Content(uint64_t subclient) {
        PropertiesList list;
        (void)ApplProperties(subclient).getProperties(list, nullptr);
        std::list<std::string> names;
        for (const auto& p : list.getList()) names.push_back(p->getValue());
        return names;
    }

    TestRestoreJob job;
    std::shared_ptr<RecordingRstJobClient> client;
};

TEST_F(DoNotBackupTest, RemovalUndoesAdditionWhateverTheSubclientsLetterCase) {
    AddSubclient(9, "DO NOT BACKUP", 2);
    AddSubclient(10, "Do Not Backup", 1);  // a second one is left alone
    AppModel::Set("subclient/9", "property118_1", "kept");
    ASSERT_TRUE(job.addClonedDBsToDonotBackupSC(Xml({"clone_a", "clone_b"}), kClient, 7));
    EXPECT_EQ(job.m_restoreOptions.destinationClientId, kClient);
    EXPECT_EQ(Content(9), (std::list<std::string>{"kept", "clone_a", "clone_b"}));
    EXPECT_EQ(AppModel::Get("subclient/9", "sqlSubclientType").value_or(""), "1");
    EXPECT_TRUE(Content(10).empty());
    EXPECT_TRUE(client->infoEvents.empty());

    ASSERT_TRUE(job.removeClonedDBsFromDoNotBackupSC(Xml({"clone_a", "clone_b"}), kClient));
    EXPECT_EQ(Content(9), (std::list<std::string>{"kept"}));
    EXPECT_FALSE(job.removeClonedDBsFromDoNotBackupSC(Xml({"clone_a"}), kClient)) << "nothing left to remove";
}

TEST_F(DoNotBackupTest, WithoutTheSubclientAddingIsReportedAndRemovingFails) {
    EXPECT_FALSE(job.addClonedDBsToDonotBackupSC(Xml({"clone_a"}), kClient, 7));
    ASSERT_EQ(client->infoEvents, std::vector<int>{kEventDoNotBackupNotUpdated});
    EXPECT_EQ(client->arguments, std::vector<std::string>{"clone_a"});
    EXPECT_FALSE(job.removeClonedDBsFromDoNotBackupSC(Xml({"clone_a"}), kClient));
    EXPECT_TRUE(Content(8).empty()) << "other subclients are not touched";
}

TEST_F(DoNotBackupTest, UnknownInstanceBackupSetOrBadXmlChangesNothing) {
    AddSubclient(9, "Do Not Backup", 1);
    EXPECT_FALSE(job.addClonedDBsToDonotBackupSC("<junk/>", kClient, 7));
    EXPECT_FALSE(job.addClonedDBsToDonotBackupSC(Xml({"clone_a"}), kClient, 8)) << "no default backup set";
    EXPECT_FALSE(job.addClonedDBsToDonotBackupSC(Xml({}), kClient, 7)) << "nothing to add";
    ASSERT_TRUE(job.addClonedDBsToDonotBackupSC(Xml({"clone_a"}), kClient, 7));
    EXPECT_FALSE(job.removeClonedDBsFromDoNotBackupSC(Xml({"clone_a"}), 0)) << "client id 0";
    EXPECT_FALSE(job.removeClonedDBsFromDoNotBackupSC(Xml({"clone_a"}), 2)) << "the 32-bit cut of the id";
    EXPECT_FALSE(job.removeClonedDBsFromDoNotBackupSC("<junk/>", kClient));
    EXPECT_EQ(Content(9), (std::list<std::string>{"clone_a"}));
}

}  // namespace
