// The move of a restored database to another instance: detach, copy when
// needed, attach there; a database that cannot arrive is attached back where
// it was restored. Also the copy of its files and the clean-up afterwards.
#include <filesystem>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSession/jxsTargets.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/restore/RestoreJobFixture.h"

namespace fs = std::filesystem;

namespace {

constexpr uint64_t kSourceClient = 1;
constexpr uint64_t kOtherClient = 2;
constexpr uint64_t kRestoredTo = 7;    // node1/INST, where the job restores
constexpr uint64_t kBackupSource = 8;  // node1/SRC, where the backup came from
constexpr uint64_t kDestination = 9;   // node1/OTHER

struct MoveJob : ScriptedRestoreJob {
    using CSQLRestoreBase::m_snapCopyToDestination;
    using CSQLRestoreBase::m_snapFileMap;
    using CSQLRestoreBase::m_snapStagedOnSource;
};

class OutOfPlaceRestore : public RestoreJobTest {
protected:
    void SetUp() override {
        RestoreJobTest::SetUp();
        for (const char* name : {"node1/SRC", "node1/OTHER"}) {
            SqlSimServerSpec server;
            server.name = name;
            SqlSimInstance other;
            ASSERT_TRUE(other.Create(server).IsSuccess());
        }
        SqlSimInstance source;
        ASSERT_TRUE(source.Open("node1/SRC").IsSuccess());
        SqlSimDatabaseSpec sales;
        sales.name = "sales";
        ASSERT_TRUE(source.AddDatabase(sales).IsSuccess());
        ASSERT_TRUE(AppModel::Set("instance/7", "name", "node1/INST"));
        ASSERT_TRUE(AppModel::Set("instance/8", "name", "node1/SRC"));
        ASSERT_TRUE(AppModel::Set("instance/9", "name", "node1/OTHER"));
        ASSERT_TRUE(AppModel::Set("client/1", "name", "client1"));
        ASSERT_TRUE(AppModel::Set("client/1", "hostName", "host1"));
        ASSERT_TRUE(jxsRegisterTarget("host1", 1));
        ASSERT_TRUE(AppModel::Set("client/2", "name", "client2"));
        ASSERT_TRUE(AppModel::Set("client/2", "hostName", "host2"));
        ASSERT_TRUE(jxsRegisterTarget("host2", 1));  // file copies resolve a client, never connect

        const char* args[] = {"jxsqlrestore", "-j", "42", "-token", "42:1:1", "-rt", "77"};
        ASSERT_TRUE(parser.parse(7, args).IsSuccess());
        ASSERT_TRUE(move.initializeRestore(parser));
        ASSERT_TRUE(move.getRestoreOptions());
        SqlRestoreTaskOptions_t& options = move.m_restoreOptions;
        options.sourceClientId = kSourceClient;
        options.destinationClientId = kSourceClient;
        options.sourceInstanceId = kBackupSource;
        options.destinationInstanceId = kRestoredTo;
        options.snapDestination.instanceId = kDestination;
        options.snapDestination.clientId = kSourceClient;
    }

    static std::vector<std::string> Files(const std::string& instance, const std::string& db) {
        CsqlDMO dmo;
        std::vector<std::string> paths;
        std::string error;
        if (!dmo.getDatabaseFilePaths(instance, db, paths, error)) paths.clear();
        return paths;
    }
    // The per-database loop over one database; its outcome is read from
    // the statuses and counters.
    void RunLoop(const std::string& name) {
        std::list<SqlRestoreDbInfo_t> dbs{Database(name, 5)};
        move.chains[name] = {Backup('D', 1)};
        (void)move.restoreDBS(dbs);
    }
    std::vector<std::string> SalesFilesBefore() {
        std::vector<std::string> files = Files("node1/INST", "sales");
        EXPECT_EQ(files.size(), 2u);
        return files;
    }
    void ExpectFailedOnceAndLeftWhereRestored(const std::vector<std::string>& files) {
        EXPECT_EQ(Files("node1/INST", "sales"), files);
        EXPECT_EQ(Statuses(), (std::vector<std::string>{"3 sales"}));
        EXPECT_EQ(Causes(), (std::vector<std::string>{jobmanager::JournalId(kCauseFreeText)}));
        EXPECT_EQ(move.m_failedDbCount, 1u);
        EXPECT_EQ(Journal("setNumFailures2Add").size(), 1u) << "a failed move is counted once";
    }

    MoveJob move;
};

TEST_F(OutOfPlaceRestore, DatabaseMovesFromTheInstanceRestoredToAndTheBackupSourceIsLeftAlone) {
    const std::vector<std::string> files = SalesFilesBefore();
    RunLoop("sales");
    EXPECT_TRUE(Files("node1/INST", "sales").empty());
    EXPECT_EQ(Files("node1/OTHER", "sales"), files);
    EXPECT_EQ(Files("node1/SRC", "sales").size(), 2u);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"5 sales"}));
    EXPECT_TRUE(Causes().empty());
}

TEST_F(OutOfPlaceRestore, FailedAttachPutsTheDatabaseBack) {
    SqlSimInstance other;
    ASSERT_TRUE(other.Open("node1/OTHER").IsSuccess());
    SqlSimDatabaseSpec taken;
    taken.name = "sales";
    ASSERT_TRUE(other.AddDatabase(taken).IsSuccess());
    const std::vector<std::string> files = SalesFilesBefore();

    RunLoop("sales");
    ExpectFailedOnceAndLeftWhereRestored(files);
    const auto args = Journal("setPendingCause").back().List("args");
    ASSERT_FALSE(args.empty());
    EXPECT_NE(args.back().find("Failed to attach DB to destination instance [node1/OTHER]"), std::string::npos);
}

TEST_F(OutOfPlaceRestore, AnotherClientWithoutACopyIsRefusedBeforeDetaching) {
    move.m_restoreOptions.snapDestination.clientId = kOtherClient;
    const std::vector<std::string> files = SalesFilesBefore();
    RunLoop("sales");
    ExpectFailedOnceAndLeftWhereRestored(files);
    EXPECT_TRUE(Files("node1/OTHER", "sales").empty());
}

TEST_F(OutOfPlaceRestore, FailedCopyPutsTheDatabaseBack) {
    // The move state is filled while the database is restored (the restore
    // clears it first).
    move.onBackup = [&](const std::string&) {
        move.m_snapCopyToDestination = true;
        move.m_snapFileMap.destinationFolders["sales.mdf"] = root.path() + "/dest";
    };
    const std::vector<std::string> files = SalesFilesBefore();
    RunLoop("sales");  // the source map does not name the file
    ExpectFailedOnceAndLeftWhereRestored(files);
    const auto args = Journal("setPendingCause").back().List("args");
    ASSERT_FALSE(args.empty());
    EXPECT_NE(args.back().find("sales.mdf"), std::string::npos) << args.back();
    EXPECT_FALSE(fs::exists(root.path() + "/dest/sales.mdf"));
}

class DatabaseFileCopy : public OutOfPlaceRestore {
protected:
    void SetUp() override {
        OutOfPlaceRestore::SetUp();
        move.m_restoreOptions.snapDestination.clientId = kOtherClient;
        root.WriteFile("stage/db/data.mdf", "data");
        root.WriteFile("stage/db/fs1/top.bin", "top");
        root.WriteFile("stage/db/fs1/sub/f.ndf", "deep");
        move.m_snapFileMap.sourceFolders["data.mdf"] = root.path() + "/stage/db";
        move.m_snapFileMap.sourceFolders["fs1"] = root.path() + "/stage/db";
        move.m_snapFileMap.destinationFolders["data.mdf"] = root.path() + "/dest/data";
        move.m_snapFileMap.destinationFolders["fs1"] = root.path() + "/dest/fs";
    }
    bool Copy() { return move.CopyDatabaseFilesToDestination(Database("db"), error); }

    std::string error;
};

TEST_F(DatabaseFileCopy, FilesAndFoldersArriveUnderTheirDestinationFolders) {
    ASSERT_TRUE(Copy()) << error;
    EXPECT_EQ(root.ReadFile("dest/data/data.mdf"), "data");
    EXPECT_EQ(root.ReadFile("dest/fs/fs1/top.bin"), "top");
    EXPECT_EQ(root.ReadFile("dest/fs/fs1/sub/f.ndf"), "deep");
}

TEST_F(DatabaseFileCopy, AFileMissingFromTheSourceMapFailsBeforeAnythingIsCopied) {
    move.m_snapFileMap.destinationFolders["log.ldf"] = root.path() + "/dest/log";
    EXPECT_FALSE(Copy());
    EXPECT_NE(error.find("log.ldf"), std::string::npos) << error;
    EXPECT_FALSE(fs::exists(root.path() + "/dest"));
}

TEST_F(DatabaseFileCopy, NamesLongerThanTheCopyRecordFailBeforeAnythingIsCopied) {
    move.m_snapFileMap.destinationFolders["fs1"] = root.path() + "/dest/" + std::string(1100, 'x');
    EXPECT_FALSE(Copy());
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(fs::exists(root.path() + "/dest"));
}

TEST_F(OutOfPlaceRestore, CopiedFilesAreAttachedOnTheDestination) {
    const std::vector<std::string> files = SalesFilesBefore();
    SqlRestoreDbInfo_t db = Database("sales", 5);
    for (const std::string& file : files) db.newFiles.push_back(root.path() + "/dest/" + fs::path(file).filename().string());
    move.onBackup = [&](const std::string&) {
        move.m_snapCopyToDestination = true;
        for (const std::string& file : files) {
            const fs::path path(file);
            move.m_snapFileMap.sourceFolders[path.filename().string()] = path.parent_path().string();
            move.m_snapFileMap.destinationFolders[path.filename().string()] = root.path() + "/dest";
        }
    };
    std::list<SqlRestoreDbInfo_t> dbs{db};
    move.chains["sales"] = {Backup('D', 1)};
    (void)move.restoreDBS(dbs);
    EXPECT_EQ(Statuses(), (std::vector<std::string>{"5 sales"}));
    EXPECT_EQ(Files("node1/OTHER", "sales"), std::vector<std::string>(db.newFiles.begin(), db.newFiles.end()));
    EXPECT_TRUE(Files("node1/INST", "sales").empty());
}

TEST_F(OutOfPlaceRestore, CleanupRemovesOnlyTheDatabasesStageFolderUnlessKept) {
    move.m_restoreOptions.snapDestination.stageFolder = root.path() + "/stage";
    root.WriteFile("stage/sales/sales.mdf", "x");
    root.WriteFile("stage/hr/hr.mdf", "y");
    move.m_snapCopyToDestination = true;
    move.m_snapFileMap.sourceFolders["a"] = "/b";

    JXPlatformInfo().setNumber("MSSQLAgent", "bKeepSnapRestoreStaged", 1);
    EXPECT_TRUE(move.CleanupSnapBackupRestoreOnSource("sales", false));
    EXPECT_TRUE(fs::exists(root.path() + "/stage/sales/sales.mdf"));
    EXPECT_FALSE(move.m_snapCopyToDestination);
    EXPECT_TRUE(move.m_snapFileMap.sourceFolders.empty());

    JXPlatformInfo().setNumber("MSSQLAgent", "bKeepSnapRestoreStaged", 0);
    move.m_snapCopyToDestination = true;
    EXPECT_TRUE(move.CleanupSnapBackupRestoreOnSource("sales", false));
    EXPECT_FALSE(fs::exists(root.path() + "/stage/sales"));
    EXPECT_TRUE(fs::exists(root.path() + "/stage/hr/hr.mdf"));

    // A name that would lead out of the stage folder, or no stage folder at
    // all, removes nothing.
    for (const char* name : {"..", "hr/..", "."}) {
        move.m_snapCopyToDestination = true;
        EXPECT_FALSE(move.CleanupSnapBackupRestoreOnSource(name, false)) << name;
    }
    move.m_restoreOptions.snapDestination.stageFolder.clear();
    move.m_snapCopyToDestination = true;
    EXPECT_FALSE(move.CleanupSnapBackupRestoreOnSource("hr", false));
    EXPECT_TRUE(fs::exists(root.path() + "/stage/hr/hr.mdf"));
}

TEST_F(OutOfPlaceRestore, CleanupDropsOnlyADatabaseLeftRestoringWhereTheRestoreWent) {
    const std::vector<std::string> files = SalesFilesBefore();
    ASSERT_TRUE(instance.SetDatabaseState("sales", SQLDB_STATE_RESTORING).IsSuccess());
    EXPECT_TRUE(move.CleanupSnapBackupRestoreOnSource("hr", true));   // online: stays
    EXPECT_TRUE(move.CleanupSnapBackupRestoreOnSource("sales", true));
    EXPECT_TRUE(Files("node1/INST", "sales").empty());
    for (const std::string& file : files) EXPECT_FALSE(fs::exists(file)) << file;
    EXPECT_EQ(Files("node1/INST", "hr").size(), 2u);
    EXPECT_EQ(Files("node1/SRC", "sales").size(), 2u);

    CsqlDMO dmo;
    EXPECT_FALSE(dmo.DeleteDatabase("node1/INST", "master"));
    EXPECT_FALSE(dmo.DeleteDatabase("node1/INST", "nosuch"));
}

using FileStreamItemTest = jxtest::RootedTest;

TEST_F(FileStreamItemTest, KnownDatabaseFileExtensionsAreNotFileStreamItems) {
    MoveJob job;
    for (const char* name : {"data.MDF", "x.xml", "a.b.ndf", "log.Ldf"}) EXPECT_FALSE(job.isDatabaseFileStream(name));
    for (const char* name : {"filestream_1", "a.bin", "mdf"}) EXPECT_TRUE(job.isDatabaseFileStream(name));
}

}  // namespace
