// Which subclients' disk-library folders a dump restore mounts: the map of
// databases to the subclients whose content names them, and the ids it and
// the chains give that have usable mount paths.
#include <gtest/gtest.h>

#include <filesystem>
#include <list>
#include <set>
#include <optional>
#include <string>
#include <vector>

#include "ArMgrClientAPI/ArMgrClientAPI.h"
#include "JXAppMgr/AppModel.h"
#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kClient = 2;
constexpr uint64_t kInstance = 7;
constexpr uint64_t kBackupSet = 30;

class AppIdJob : public CSQLDumpRestore {
public:
    AppIdJob() {
        m_restoreOptions.sourceClientId = kClient;
        m_restoreOptions.sourceInstanceId = kInstance;
    }
};

class DumpApplicationIds : public jxtest::RootedTest {
protected:
    void SetUp() override { BackupSet(kBackupSet, true); }

    static void BackupSet(uint64_t id, bool isDefault) {
        const std::string object = AppModel::ObjectName("backupset", id);
        ASSERT_TRUE(AppModel::Set(object, "clientId", std::to_string(kClient)));
        ASSERT_TRUE(AppModel::Set(object, "instanceId", std::to_string(kInstance)));
        ASSERT_TRUE(AppModel::Set(object, "isDefault", isDefault ? "1" : "0"));
    }
    // A subclient of `backupSet` named `name` of SQL type `type` (0: unset)
    // whose content lists `databases`.
    static void Subclient(uint64_t id, const std::string& name, unsigned type, const std::list<std::string>& databases,
                          uint64_t backupSet = kBackupSet) {
        const std::string object = AppModel::ObjectName("subclient", id);
        ASSERT_TRUE(AppModel::Set(object, "backupSetId", std::to_string(backupSet)));
        ASSERT_TRUE(AppModel::Set(object, "name", name));
        if (type != 0) {
            ASSERT_TRUE(AppModel::Set(object, "sqlSubclientType", std::to_string(type)));
        }
        int n = 0;
        for (const std::string& db : databases) {
            ASSERT_TRUE(AppModel::Set(object, "property118_" + std::to_string(++n), db));
        }
    }
    static std::list<SqlRestoreDbInfo_t> Databases(const std::list<std::string>& names) {
        std::list<SqlRestoreDbInfo_t> out;
        for (const std::string& name : names) {
            SqlRestoreDbInfo_t db;
            db.sDbName = name;
            out.push_back(db);
        }
        return out;
    }
    static void MountPath(uint64_t subclient) {
        std::filesystem::create_directories(ArMgrClientAPI::MountPathsFolder(subclient) + "/mp1");
    }

    AppIdJob job;
    AppIDMap map;
};

// The job asks for its subclients in the backup domain its command line
// names; without "-cell" it asks under 0, as before.
TEST_F(DumpApplicationIds, SubclientsAreLookedUpInTheBackupDomainOfTheCommandLine) {
    Subclient(10, "sales", 1, {"Sales"});
    for (const char* cell : {"5", ""}) {
        std::vector<const char*> args = {"jxsqlrestore", "-j", "42", "-token", "42:1:1", "-rt", "77"};
        if (*cell != '\0') args.insert(args.end(), {"-cell", cell});
        RestoreOptionsParser parser;
        ASSERT_TRUE(parser.parse(static_cast<int>(args.size()), args.data()).IsSuccess());
        AppIdJob fresh;
        ASSERT_TRUE(fresh.initializeRestore(parser));
        ASSERT_TRUE(fresh.CreateCurrentApplicationIDMap(Databases({"Sales"}), map).IsSuccess());
        EXPECT_EQ(AppModel::LookedUpJxCellId(10), std::optional<uint64_t>(*cell != '\0' ? 5 : 0)) << cell;
    }
}

TEST_F(DumpApplicationIds, DatabaseSubclientsAndDoNotBackupInAnyCaseMapTheirDatabases) {
    Subclient(10, "sales", 1, {"Sales", "Hr"});
    Subclient(11, "files", 2, {"Files"});                 // a file/filegroup subclient: not read
    Subclient(12, "dO nOt BaCkUp", 2, {"Clone"});         // read for its name
    Subclient(13, "plain", 0, {"Other"});                 // no type: not read
    Subclient(14, "elsewhere", 1, {"Far"}, kBackupSet + 1);  // another backup set
    ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("subclient", 10), "property119_1", "PRIMARY"));
    ASSERT_TRUE(job.CreateCurrentApplicationIDMap(Databases({"Sales"}), map).IsSuccess());
    EXPECT_EQ((AppIDMap{{"Sales", 10}, {"Hr", 10}, {"Clone", 12}}), map);
}

TEST_F(DumpApplicationIds, ALaterSubclientOverwritesAnEarlierOne) {
    Subclient(10, "first", 1, {"Sales"});
    Subclient(20, "second", 1, {"Sales"});
    map["Stale"] = 99;  // cleared first
    ASSERT_TRUE(job.CreateCurrentApplicationIDMap(Databases({"Sales"}), map).IsSuccess());
    EXPECT_EQ((AppIDMap{{"Sales", 20}}), map);
}

TEST_F(DumpApplicationIds, FailsWithoutDatabasesDefaultBackupSetOrMappedDatabase) {
    EXPECT_TRUE(job.CreateCurrentApplicationIDMap({}, map).IsError());
    Subclient(10, "empty", 1, {});
    CWzError error = job.CreateCurrentApplicationIDMap(Databases({"Sales"}), map);
    EXPECT_TRUE(error.IsError());
    EXPECT_NE(std::string::npos, error.GetMessage().find("ids is empty")) << error.GetMessage();
    BackupSet(kBackupSet, false);
    error = job.CreateCurrentApplicationIDMap(Databases({"Sales"}), map);
    EXPECT_NE(std::string::npos, error.GetMessage().find("getDefaultBackupSet failed for 2")) << error.GetMessage();
}

TEST_F(DumpApplicationIds, MountableIdsComeFromTheMapAndTheChains) {
    Subclient(10, "sales", 1, {"Sales"});
    Subclient(11, "hr", 1, {"Hr"});
    std::list<SqlRestoreDbInfo_t> dbs = Databases({"Sales", "Hr"});
    SqlAFilesPerBackup_t backup;
    backup.applicationId = 40;  // a subclient the database belonged to before
    dbs.front().restoreChain.push_back(backup);
    MountPath(10);
    MountPath(40);  // 11 has no mount path
    std::set<uint64_t> ids;
    ASSERT_TRUE(job.GetApplicationIDs(dbs, ids).IsSuccess());
    EXPECT_EQ((std::set<uint64_t>{10, 40}), ids);
}

TEST_F(DumpApplicationIds, WithoutAMountableIdNothingIsFound) {
    Subclient(10, "sales", 1, {"Sales"});
    std::set<uint64_t> ids = {5};
    EXPECT_TRUE(job.GetApplicationIDs(Databases({"Sales"}), ids).IsError());
    EXPECT_TRUE(ids.empty());
}

}  // namespace
