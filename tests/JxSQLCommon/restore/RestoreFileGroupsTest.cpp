// File and file-group restores over real backups: a damaged group or a
// single file comes back from a full backup and its logs while the other
// files keep their bytes; selections that cannot be restored fail before
// anything changes; the per-object statuses the job results show.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "JobResults/StoreResults.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/FileGroupEntry.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"

namespace {

using vditest::DatabaseState;

TEST(FileGroupEntryTest, PartsOfAnEntryName) {
    const char sep = kFileGroupSeparator;
    FileGroupEntry file = SplitFileGroupEntry(std::string("Sales") + sep + "FG2" + sep + "Sales3");
    EXPECT_EQ(file.database, "Sales");
    EXPECT_EQ(file.fileGroup, "FG2");
    EXPECT_EQ(file.name, "Sales3");
    EXPECT_TRUE(file.namesFile());

    FileGroupEntry group = SplitFileGroupEntry(std::string("Sales") + sep + "FG2");
    EXPECT_EQ(group.database, "Sales");
    EXPECT_EQ(group.fileGroup, "");
    EXPECT_EQ(group.name, "FG2");
    EXPECT_FALSE(group.namesFile());

    FileGroupEntry bare = SplitFileGroupEntry("Sales");
    EXPECT_EQ(bare.database, "Sales");
    EXPECT_EQ(bare.name, "");
    EXPECT_EQ(bare.separators, 0);

    // More parts: the group is the second, the name the last.
    FileGroupEntry many = SplitFileGroupEntry(std::string("a") + sep + "b" + sep + "c" + sep + "d");
    EXPECT_EQ(many.fileGroup, "b");
    EXPECT_EQ(many.name, "d");
}

class RestoreFileGroups : public RestoreEndToEnd {
protected:
    void SetUp() override {
        RestoreEndToEnd::SetUp();
        AddSecondFileGroup();
        task.optionFlags = kRstFileFileGroup | kRstOverwrite;
    }

    // A full backup and two logs, each known with the backup's groups.
    void FullAndTwoLogs() {
        Take('D', 100, 1000);
        Change(6, 1);
        Take('L', 200, 2000);
        Change(6, 2);
        Take('L', 300, 3000);
        for (uint64_t restoreId = 1; restoreId <= 3; ++restoreId) JxServeSetBackupFileGroups(restoreId, {"PRIMARY", "FG2"});
    }

    std::string PathOf(const std::string& logical) {
        const std::vector<std::string> files = vditest::DataFiles(sim, "Sales");
        for (const std::string& p : files) {
            if (p.find(logical == "Sales" ? "Sales.mdf" : logical) != std::string::npos) return p;
        }
        ADD_FAILURE() << "no file " << logical;
        return "";
    }
    static ino_t Inode(const std::string& path) {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_ino;
    }
    static void Damage(const std::string& path) {
        std::fstream f(path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(0);
        f << std::string(4096, 'X');
    }
    static std::string Entry(std::initializer_list<const char*> parts) {
        std::string text;
        for (const char* p : parts) text += (text.empty() ? "" : std::string(1, kFileGroupSeparator)) + p;
        return text;
    }
    std::vector<jobmanager::JournalEntry> Causes() {
        return jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(42).value(), "setPendingCause");
    }
    std::string StatusFile() {
        return jxtest::ReadWholeFile(root.path() + "/jobresults/42/" + StoreResults::kRestoreStatusFile);
    }
};

TEST_F(RestoreFileGroups, DamagedGroupComesBackFromFullAndLogsAndTheOtherGroupIsNotRewritten) {
    FullAndTwoLogs();
    const std::vector<std::string> source = Contents("Sales");
    const std::string group2 = PathOf("Sales3");
    const std::string primary = PathOf("Sales");
    Damage(group2);
    ASSERT_NE(Contents("Sales"), source);
    const ino_t primaryInode = Inode(primary);
    const ino_t group2Inode = Inode(group2);
    // Held open, the damaged file keeps its inode: a file written back
    // cannot be given the same number again.
    const int heldGroup2 = ::open(group2.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(heldGroup2, 0);

    task.databases = {Entry({"Sales", "FG2"})};
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(Contents("Sales"), source);
    EXPECT_EQ(Inode(primary), primaryInode) << "the primary group is not rewritten";
    EXPECT_NE(Inode(group2), group2Inode) << "the damaged group is written back";
    ::close(heldGroup2);

    // One database in the totals; the statuses name the database, the group and the file.
    EXPECT_EQ(jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(42).value(), "complete")
                  .back()
                  .Get("status"),
              "1");
    const std::string statuses = StatusFile();
    EXPECT_NE(statuses.find("DataBaseName :Sales\n"), std::string::npos) << statuses;
    EXPECT_NE(statuses.find("filegroupName :\n"), std::string::npos) << statuses;
    EXPECT_NE(statuses.find("file :\n"), std::string::npos) << statuses;
}

TEST_F(RestoreFileGroups, ASingleFileSelectionRestoresOnlyThatFile) {
    FullAndTwoLogs();
    const std::vector<std::string> source = Contents("Sales");
    const std::string second = PathOf("Sales2");
    const std::string group2 = PathOf("Sales3");
    Damage(second);
    Damage(group2);
    const std::string damagedGroup2 = vditest::ReadAll(group2);

    task.databases = {Entry({"Sales", "PRIMARY", "Sales2"})};
    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(status, 1);
    const std::vector<std::string> after = Contents("Sales");
    ASSERT_EQ(after.size(), source.size());
    EXPECT_EQ(vditest::ReadAll(second), source[1]);
    EXPECT_EQ(vditest::ReadAll(group2), damagedGroup2) << "only the selected file is restored";
    const std::string statuses = StatusFile();
    EXPECT_NE(statuses.find("filegroupName :PRIMARY\n"), std::string::npos) << statuses;
    EXPECT_NE(statuses.find("file :Sales2\n"), std::string::npos) << statuses;
}

TEST_F(RestoreFileGroups, ASelectionMatchingNothingFailsAndLeavesTheDatabaseAsItWas) {
    FullAndTwoLogs();
    const std::vector<std::string> before = Contents("Sales");
    task.databases = {Entry({"Sales", "NoSuchGroup"})};
    int status = 0;
    EXPECT_FALSE(Run(42, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(Contents("Sales"), before);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    ASSERT_FALSE(Causes().empty());
    EXPECT_NE(Causes().back().List("args").back().find("'NoSuchGroup' is not part of the backup set"),
              std::string::npos);
}

TEST_F(RestoreFileGroups, LogTailNotBackedUpStopsBeforeAnythingIsRestored) {
    FullAndTwoLogs();
    JxServeSetLogTailNotBackedUp(kInstanceId, "Sales", true);
    const std::vector<std::string> before = Contents("Sales");
    task.databases = {Entry({"Sales", "FG2"})};
    int status = 0;
    EXPECT_FALSE(Run(42, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(Contents("Sales"), before);
    ASSERT_EQ(Causes().size(), 1u);
    EXPECT_EQ(Causes()[0].Get("cause"), jobmanager::JournalId(kCauseLogTailNotBackedUp));
    EXPECT_EQ(Causes()[0].List("args"),
              std::vector<std::string>{
                  "Backup of the current transaction log is required before running a File/File Group restore."});
}

TEST_F(RestoreFileGroups, EntriesOfTwoDatabasesOrWithoutAFileAreRefused) {
    FullAndTwoLogs();
    const std::vector<std::string> before = Contents("Sales");
    for (const std::vector<std::string>& entries :
         {std::vector<std::string>{Entry({"Sales", "FG2"}), Entry({"Other", "FG2"})},
          std::vector<std::string>{Entry({"Sales", "FG2"}), "Sales"}}) {
        task.databases = entries;
        int status = 0;
        EXPECT_FALSE(Run(42, &status));
        EXPECT_EQ(status, 2);
        EXPECT_EQ(Contents("Sales"), before);
        ASSERT_FALSE(Causes().empty());
        EXPECT_EQ(Causes().back().Get("cause"), jobmanager::JournalId(kCauseRestoreFailed));
    }
}

}  // namespace

namespace {

TEST_F(RestoreFileGroups, WithoutTheLogsTheRestoredGroupIsNotLevelAndTheDatabaseStaysRestoring) {
    FullAndTwoLogs();
    Damage(PathOf("Sales3"));
    // Log backups (type 76) are filtered out: the group stays at the full.
    ASSERT_NE(JXPlatformInfo().setNumber("MSSQLAgent", "nSQLRestoreFilter", 'L'), 0);
    task.databases = {Entry({"Sales", "FG2"})};
    int status = 0;
    EXPECT_FALSE(Run(42, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);
    ASSERT_FALSE(Causes().empty());
    EXPECT_NE(Causes().back().List("args").back().find("not yet level"), std::string::npos);
    EXPECT_NE(StatusFile().find("DataBaseName :Sales"), std::string::npos);
}

}  // namespace

namespace {

// The central server's list for a file restore, with a full taken by
// snapshot between the first and the second log, as a list of every backup
// up to the restore's time holds one after a subclient moved to snapshots.
struct SnapshotSetInTheList : CSQLRestoreBase {
    bool getAFilesForFFGRestore(std::list<SqlRestoreDbInfo_t>& dbs, std::list<std::string>& files,
                                std::list<SqlFFGRestoreInfo_t>& infos) override {
        if (!CSQLRestoreBase::getAFilesForFFGRestore(dbs, files, infos) || infos.size() != 3) return false;
        SqlFFGRestoreInfo_t snapshot = infos.front();
        snapshot.jobId = 250;
        snapshot.backupMethod = 2;
        snapshot.archiveFiles = {{2, 501, 0, "/snapshots/volume1"}};
        infos.insert(std::next(infos.begin(), 2), snapshot);
        return true;
    }
};

// No backup of such a list is restored: the database keeps its bytes and
// stays ONLINE rather than being left RESTORING at the snapshot, and it is
// counted as failed once.
TEST_F(RestoreFileGroups, AListHoldingASnapshotSetFailsTheDatabaseBeforeAnythingIsRestored) {
    FullAndTwoLogs();
    const std::vector<std::string> before = Contents("Sales");
    task.databases = {Entry({"Sales", "FG2"})};
    SnapshotSetInTheList job;
    int status = 0;
    EXPECT_FALSE(Run(job, 42, &status));
    EXPECT_EQ(status, 2);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_TRUE(Contents("Sales") == before);
    EXPECT_NE(StatusFile().find("3\tDataBaseName :Sales\n"), std::string::npos) << StatusFile();
    uint64_t failed = 0;
    for (const auto& f :
         jobmanager::JobJournalReader::WithOp(jobmanager::JobJournalReader::Read(42).value(), "setNumFailures2Add")) {
        failed += std::stoull(f.Get("value"));
    }
    EXPECT_EQ(failed, 1u);
    EXPECT_NE(
        jxtest::ReadWholeFile(EvDebug::LogFilePath()).find("Restore from Backup method [2] is not supported on Unix."),
        std::string::npos);
}

}  // namespace
