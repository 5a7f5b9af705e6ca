// Log backup on a secondary replica through the real host: the dump through
// the stand-in dump library, the staging of the group's logs, and
// the dump-cache update on the primary.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <set>
#include <string>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLVDIBase/VdiLogStaging.h"
#include "WzUtils/PlatformRoot.h"
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"
#include "tests/JxSQLMessageHandler/service/XmlRequestExchange.h"

namespace {

using Entity = JxEntities::GenericEntity;
using jxtest::ErrorReply;
using jxtest::ExchangeXml;
using jxtest::ReadErrorReply;
using jxtest::XmlOf;

constexpr unsigned long kAGTLBackup = 0x1e00010b;
constexpr unsigned long kAGTLBackupReply = 0x1e00010c;
constexpr unsigned long kTLDumpCache = 0x1e000116;
constexpr unsigned long kTLDumpCacheReply = 0x1e000117;
// Platform seconds a reply is waited for: a minute at this fixture's scale,
// a safety net for a loaded machine (staging writes and syncs its dumps).
constexpr int kReplyWait = 6000;

class SecondaryReplicaTest : public jxtest::ServiceHostTest {
protected:
    void SetUp() override {
        ServiceHostTest::SetUp();
        JXPlatformInfo settings;
        settings.setString("", "sPhysicalNodeName", "node1");
        settings.setString("Machines/node1", "dJOBRESULTSDIR", root.path() + "/JobResults");
        root.WriteFile("JobResults/.keep", "");
        jxtest::CreateSimInstance(instance, "HOST/INST", {"db1", "Db2"});
        SqlSimAvailabilityGroupSpec group;
        group.name = "ag1";
        ASSERT_TRUE(instance.AddAvailabilityGroup(group).IsSuccess());
        SqlSimReplicaSpec replica;
        replica.group = "ag1";
        replica.serverName = "HOST/INST";
        ASSERT_TRUE(instance.AddReplica(replica).IsSuccess());
        AttachPlugin(requester);
    }

    void InstallDumpLibrary() {
        root.WriteFile("Base/.keep", "");
        ASSERT_EQ(::symlink(JX_DUMP_LIBRARY, (root.path() + "/Base/libJxSQLPmnOSC.so").c_str()), 0);
    }

    static App::AGTLBackupReq Request(bool dump, std::vector<std::string> databases = {"db1", "Db2"}) {
        App::AGTLBackupReq request;
        Entity entity;
        entity.setint64(Entity::kInstanceId, 7);
        entity.setstring(Entity::kInstanceName, "HOST/INST");
        entity.setint64(Entity::kClientId, 3);
        entity.setstring(Entity::kClientName, "node1");
        entity.setint64(Entity::kSubclientId, 12);
        entity.setstring(Entity::kSubclientName, "logs");
        entity.setint64(Entity::kBackupSetId, 5);
        request.setObjectAccessor(App::AGTLBackupReq::kInstance, entity);
        request.setstring(App::AGTLBackupReq::kStagingArgument, "ag1");
        request.setliststring(App::AGTLBackupReq::kDatabases, databases);
        request.setint64(App::AGTLBackupReq::kGenericOptions, 9);
        request.setint64(App::AGTLBackupReq::kDumpOnSecondary, dump ? 1 : 0);
        return request;
    }

    // Puts `database` into `group` and takes its full backup, which a log
    // backup needs.
    void JoinWithFullBackup(const std::string& group, const std::string& database) {
        int64_t id = 0;
        if (!instance.DatabaseId(database, id).IsSuccess()) {
            SqlSimDatabaseSpec desc;
            desc.name = database;
            ASSERT_TRUE(instance.AddDatabase(desc).IsSuccess());
        }
        ASSERT_TRUE(instance.JoinAvailabilityGroup(group, database).IsSuccess());
        std::string metadata;
        CWzError full = VdiBackUpOnOneStream(
            "HOST/INST", database, 'D', [](const char*, size_t, std::string&) { return true; }, metadata);
        ASSERT_TRUE(full.IsSuccess()) << full.AsString();
    }

    void UseStageFolder() {
        ASSERT_NE(JXPlatformInfo().setString("MSSQLAgent", "SqlAGLogBackupStageFolder", root.path() + "/agstage"), 0);
    }

    // The names of the files staged in `subfolder` of the staging folder.
    std::set<std::string> StagedFiles(const std::string& subfolder) {
        std::set<std::string> names;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(root.path() + "/agstage/" + subfolder, ec)) {
            names.insert(entry.path().filename().string());
        }
        return names;
    }

    std::string Send(unsigned long code, const std::string& xml, unsigned long expectedReply) {
        unsigned long replyCode = 0;
        std::string reply = ExchangeXml(requester, code, xml, &replyCode, kReplyWait);
        EXPECT_EQ(replyCode, expectedReply);
        return reply;
    }

    JxsRequester requester;
    SqlSimInstance instance;
};

TEST_F(SecondaryReplicaTest, DumpPassesAFilledCacheAndRepliesWithTheMessageForThePrimary) {
    InstallDumpLibrary();
    ErrorReply reply = ReadErrorReply(Send(kAGTLBackup, XmlOf(Request(true)), kAGTLBackupReply));
    ASSERT_EQ(reply.code, 0) << reply.message;

    // The collect file the library read: instance first, then the databases.
    EXPECT_EQ(root.ReadFile("JobResults/12_DS_OSCCollectFile.jxf"), "HOST/INST\ndb1\nDb2\n");
    std::string given = root.ReadFile("dumplib/PerformSQLDump.log");
    EXPECT_NE(given.find("subclient=12:logs backupSet=5 instance=7:HOST/INST client=3:node1 replicaClient=3 "
                         "dumpType=6 options=9 useCache=1 valid=1 onSecondary=1"),
              std::string::npos)
        << given;

    // The message for the primary: the subclient and one result per database.
    SQLPmn::SqlUpdateBackupDumpInfoReq forPrimary;
    ASSERT_EQ(forPrimary.unserialize(reply.message), 0) << reply.message;
    const CNMessageBase* entity = forPrimary.getObjectAccessor(SQLPmn::SqlUpdateBackupDumpInfoReq::kEntity);
    ASSERT_NE(entity, nullptr);
    EXPECT_EQ(entity->getint64(Entity::kSubclientId), 12);
    std::vector<CNMessageBase> results = forPrimary.getlistobject(6, 12);
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].getstring(SQLPmn::SqlUpdateBackupInfo::kDatabaseName), "db1");
    EXPECT_EQ(results[1].getstring(SQLPmn::SqlUpdateBackupInfo::kDatabaseName), "Db2");
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(SecondaryReplicaTest, DumpFailuresAnswerTheirCodes) {
    // No library: the loader's own message, and the collect file stays.
    ErrorReply missing = ReadErrorReply(Send(kAGTLBackup, XmlOf(Request(true)), kAGTLBackupReply));
    EXPECT_EQ(missing.code, 123);
    EXPECT_NE(missing.message.find("libJxSQLPmnOSC.so"), std::string::npos) << missing.message;
    EXPECT_EQ(root.ReadFile("JobResults/12_DS_OSCCollectFile.jxf"), "HOST/INST\ndb1\nDb2\n");

    InstallDumpLibrary();
    ErrorReply failed = ReadErrorReply(Send(kAGTLBackup, XmlOf(Request(true, {"db1", "nosuchdb"})), kAGTLBackupReply));
    EXPECT_EQ(failed.code, 125);
    EXPECT_EQ(failed.message, "Transaction log dump failed. Instance: [7 - HOST/INST], Client: [3 - node1].");

    ErrorReply none = ReadErrorReply(Send(kAGTLBackup, XmlOf(Request(true, {})), kAGTLBackupReply));
    EXPECT_EQ(none.code, 102);
    EXPECT_EQ(none.message, "No databases found in the request.");

    ErrorReply twoLines = ReadErrorReply(Send(kAGTLBackup, XmlOf(Request(true, {"db1\ndb2"})), kAGTLBackupReply));
    EXPECT_EQ(twoLines.code, 102);
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

// The staged dumps go where the group's log job looks: the setting's
// folder, then the group's subfolder ("east/ag2" gives "ag2_east").
TEST_F(SecondaryReplicaTest, StagingTakesALogBackupOfEachDatabaseOfTheGroupIntoItsFolder) {
    SqlSimAvailabilityGroupSpec east;
    east.name = "east/ag2";
    ASSERT_TRUE(instance.AddAvailabilityGroup(east).IsSuccess());
    JoinWithFullBackup("ag1", "db1");
    JoinWithFullBackup("ag1", "Db2");
    JoinWithFullBackup("east/ag2", "db3");
    UseStageFolder();

    EXPECT_EQ(Send(kAGTLBackup, XmlOf(Request(false)), kAGTLBackupReply), "Successfully finish AG TL Staging");
    EXPECT_EQ(StagedFiles("ag1"), (std::set<std::string>{"Db2_Log_Backup_1.bak", "Db2_Log_Backup_1.xml",
                                                         "db1_Log_Backup_1.bak", "db1_Log_Backup_1.xml"}));
    EXPECT_TRUE(StagedFiles("ag2_east").empty());

    App::AGTLBackupReq other = Request(false);
    other.setstring(App::AGTLBackupReq::kStagingArgument, "east/ag2");
    EXPECT_EQ(Send(kAGTLBackup, XmlOf(other), kAGTLBackupReply), "Successfully finish AG TL Staging");
    EXPECT_EQ(StagedFiles("ag2_east"), (std::set<std::string>{"db3_Log_Backup_1.bak", "db3_Log_Backup_1.xml"}));
    EXPECT_EQ(StagedFiles("ag1").size(), 4u);
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(SecondaryReplicaTest, StagingFailuresAnswerTheirReasonWithTheIds) {
    JoinWithFullBackup("ag1", "db1");
    ASSERT_TRUE(instance.JoinAvailabilityGroup("ag1", "Db2").IsSuccess());  // never backed up
    EXPECT_EQ(Send(kAGTLBackup, XmlOf(Request(false)), kAGTLBackupReply),
              "No staging folder is set (setting [SqlAGLogBackupStageFolder] of section [MSSQLAgent]). "
              "AG instanceId[7], ClientId[3].");
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/agstage"));

    // A database whose log backup fails is named; the others are staged all the same.
    UseStageFolder();
    const std::string failed = Send(kAGTLBackup, XmlOf(Request(false)), kAGTLBackupReply);
    EXPECT_EQ(failed.rfind("The log of database [Db2] was not staged: ", 0), 0u) << failed;
    EXPECT_NE(failed.find("there is no current database backup"), std::string::npos) << failed;
    EXPECT_NE(failed.find(" AG instanceId[7], ClientId[3]."), std::string::npos) << failed;
    EXPECT_EQ(StagedFiles("ag1"), (std::set<std::string>{"db1_Log_Backup_1.bak", "db1_Log_Backup_1.xml"}));

    App::AGTLBackupReq unknownGroup = Request(false);
    unknownGroup.setstring(App::AGTLBackupReq::kStagingArgument, "ag9");
    EXPECT_EQ(Send(kAGTLBackup, XmlOf(unknownGroup), kAGTLBackupReply),
              "Availability group [ag9] does not exist on instance [HOST/INST]. AG instanceId[7], ClientId[3].");

    // A group whose name would lead out of the staging folder.
    SqlSimAvailabilityGroupSpec dots;
    dots.name = "..";
    ASSERT_TRUE(instance.AddAvailabilityGroup(dots).IsSuccess());
    JoinWithFullBackup("..", "db4");
    App::AGTLBackupReq up = Request(false);
    up.setstring(App::AGTLBackupReq::kStagingArgument, "..");
    EXPECT_EQ(Send(kAGTLBackup, XmlOf(up), kAGTLBackupReply),
              "Availability group [..] cannot name a staging subfolder. AG instanceId[7], ClientId[3].");
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/db4_Log_Backup_1.bak"));

    // A failure that leaves the default text.
    App::AGTLBackupReq noInstance = Request(false);
    Entity entity;
    ASSERT_EQ(entity.copyFrom(*noInstance.getObjectAccessor(App::AGTLBackupReq::kInstance)), 0);
    entity.setstring(Entity::kInstanceName, "HOST/NONE");
    noInstance.setObjectAccessor(App::AGTLBackupReq::kInstance, entity);
    EXPECT_EQ(Send(kAGTLBackup, XmlOf(noInstance), kAGTLBackupReply),
              "Failed AG TL Staging backup in Secondary replica AG instanceId[7], ClientId[3].");
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

// The group's databases are staged in name order (without regard to case):
// a failure of the first does not keep the others from being staged.
TEST_F(SecondaryReplicaTest, ADatabaseThatFailsFirstLeavesTheRestOfTheGroupStaged) {
    SqlSimDatabaseSpec simple;
    simple.name = "Acct";
    simple.recoveryModel = "SIMPLE";  // no log backup in this model
    ASSERT_TRUE(instance.AddDatabase(simple).IsSuccess());
    JoinWithFullBackup("ag1", "Acct");
    JoinWithFullBackup("ag1", "db1");
    JoinWithFullBackup("ag1", "Db2");
    UseStageFolder();

    const std::string failed = Send(kAGTLBackup, XmlOf(Request(false)), kAGTLBackupReply);
    EXPECT_EQ(failed.rfind("The log of database [Acct] was not staged: ", 0), 0u) << failed;
    EXPECT_NE(failed.find("while the recovery model is SIMPLE"), std::string::npos) << failed;
    EXPECT_EQ(failed.find("[db1]"), std::string::npos) << failed;
    EXPECT_EQ(failed.find("[Db2]"), std::string::npos) << failed;
    EXPECT_NE(failed.find(" AG instanceId[7], ClientId[3]."), std::string::npos) << failed;
    EXPECT_EQ(StagedFiles("ag1"), (std::set<std::string>{"Db2_Log_Backup_1.bak", "Db2_Log_Backup_1.xml",
                                                         "db1_Log_Backup_1.bak", "db1_Log_Backup_1.xml"}));
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(SecondaryReplicaTest, UnusableRequestsAreAnsweredInsteadOfLeftWaiting) {
    EXPECT_EQ(ReadErrorReply(Send(kAGTLBackup, "<App_AGTLBackupReq", kAGTLBackupReply)).code, 118);
    EXPECT_EQ(ReadErrorReply(Send(kAGTLBackup, XmlOf(App::AGTLBackupReq()), kAGTLBackupReply)).code, 102);
    EXPECT_EQ(ReadErrorReply(Send(kTLDumpCache, "garbage", kTLDumpCacheReply)).code, 118);
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

TEST_F(SecondaryReplicaTest, CacheUpdateStoresTheSubclientsCacheText) {
    SQLPmn::SQLTLDumpCache update;
    update.setint64(SQLPmn::SQLTLDumpCache::kSubclientId, 12);
    update.setint64(SQLPmn::SQLTLDumpCache::kOperation, 1);
    update.setstring(SQLPmn::SQLTLDumpCache::kCacheText, "cache <text>");
    ErrorReply stored = ReadErrorReply(Send(kTLDumpCache, XmlOf(update), kTLDumpCacheReply));
    EXPECT_EQ(stored.code, 0);
    EXPECT_EQ(stored.message,
              "Successfully persisted subclient cache details on the primary replica for subclient id [12].");
    std::string value;
    EXPECT_TRUE(JXPlatformInfo().getString("MSSQLAgent/SqlBackupDump/12", "Cache", value));
    EXPECT_EQ(value, "cache <text>");

    // Requests that cannot be served are refused, and nothing is written.
    SQLPmn::SQLTLDumpCache otherOperation = update;
    otherOperation.setint64(SQLPmn::SQLTLDumpCache::kOperation, 2);
    otherOperation.setint64(SQLPmn::SQLTLDumpCache::kSubclientId, 13);
    SQLPmn::SQLTLDumpCache noSubclient = update;
    noSubclient.setint64(SQLPmn::SQLTLDumpCache::kSubclientId, 0);
    for (const auto& bad : {otherOperation, noSubclient}) {
        EXPECT_EQ(ReadErrorReply(Send(kTLDumpCache, XmlOf(bad), kTLDumpCacheReply)).code, 102);
    }
    EXPECT_FALSE(JXPlatformInfo().getString("MSSQLAgent/SqlBackupDump/13", "Cache", value));
    EXPECT_TRUE(requester.Disconnect().IsSuccess());
}

}  // namespace
