// The older backup-set record of a VDI backup, and the records of VSS-style
// backups: what reaches the central server, the archive file and offset of
// every file, and the files such a backup reads from a snapshot.
#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <memory>
#include <sqlite3.h>
#include <string>
#include <utility>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSqlDataReaderWriter/SqlVSSDataWriter.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "WzUtils/FXString.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

using Archives = std::vector<std::vector<std::pair<uint32_t, uint64_t>>>;

// A job that records its VDI backups with the older record.
struct OlderRecordJob : CSQLBackup {
    bool updateBackupSetInfo_10(CJxSQLVDIBase* vdi, int* errorCode, JobManager::SQLStatusTab*) override {
        return updateBackupSetInfo(vdi, errorCode);
    }
};

struct VssJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_currentDatabaseId;
    using CSQLBackup::m_vssStreamWriters;

    // Stream `stream` wrote `files` (path, offset) into archive file `id`.
    void Wrote(int stream, uint32_t id, const std::vector<std::pair<std::string, uint64_t>>& files) {
        auto writer = std::make_shared<SqlVSSDataWriter>(stream, ArchiveFileId_t{2, 9, id}, 0, "");
        for (const auto& [file, offset] : files) writer->addFileOffset(file, offset);
        m_vssStreamWriters[stream] = writer;
    }
};

// The stored columns of a database's backup sets, oldest first.
struct StoredSet {
    int64_t startDate, finishDate, databaseId, copyOnly, groupId, fileCount;
    std::string checkpointLsn, databaseBackupLsn;
};

std::vector<StoredSet> StoredSets(const std::string& database) {
    std::vector<StoredSet> out;
    sqlite3* db = nullptr;
    EXPECT_EQ(sqlite3_open_v2(wz::PlatformPath("jxserve/jxserve.db").c_str(), &db, SQLITE_OPEN_READONLY, nullptr),
              SQLITE_OK);
    sqlite3_stmt* q = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT start_date, finish_date, database_id, copy_only, archive_group_id, file_count, "
                       "checkpoint_lsn, database_backup_lsn FROM backup_sets WHERE database_name = ? ORDER BY id",
                       -1, &q, nullptr);
    sqlite3_bind_text(q, 1, database.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(q) == SQLITE_ROW) {
        StoredSet s{sqlite3_column_int64(q, 0),
                    sqlite3_column_int64(q, 1),
                    sqlite3_column_int64(q, 2),
                    sqlite3_column_int64(q, 3),
                    sqlite3_column_int64(q, 4),
                    sqlite3_column_int64(q, 5),
                    reinterpret_cast<const char*>(sqlite3_column_text(q, 6)),
                    reinterpret_cast<const char*>(sqlite3_column_text(q, 7))};
        out.push_back(s);
    }
    sqlite3_finalize(q);
    sqlite3_close(db);
    return out;
}

JxSQLBackupFileInfo File(const std::string& physical, const std::string& logical, uint32_t type) {
    JxSQLBackupFileInfo file;
    file.physicalName = FXString::ToWstring(physical);
    file.logicalName = FXString::ToWstring(logical);
    file.fileGroupName = L"PRIMARY";
    file.fileType = type;
    file.fileSize = 8192;
    return file;
}

JxSQLBackupSetInfo SetInfo(const std::string& database) {
    JxSQLBackupSetInfo info;
    info.databaseName = database;
    info.firstLSN = "100";
    info.lastLSN = "200";
    info.checkpointLSN = "150";
    info.databaseBackupLSN = "90";
    info.backupType = "D";
    info.startDate = "1700000000";
    info.finishDate = " 1700000100";
    info.value3 = "7";
    info.copyOnly = 1;
    return info;
}

// Backup metadata of a VSS-style backup of `database` with the given files.
std::string Metadata(const std::string& database, const std::vector<std::string>& files) {
    SQLPmn::SQLDBBackupInfo info;
    info.setstring(SQLPmn::SQLDBBackupInfo::kDatabaseName, database);
    info.setstring(SQLPmn::SQLDBBackupInfo::kBackupType, "D");
    info.setstring(SQLPmn::SQLDBBackupInfo::kFirstLsn, "100");
    info.setstring(SQLPmn::SQLDBBackupInfo::kLastLsn, "200");
    info.setstring(SQLPmn::SQLDBBackupInfo::kCheckpointLsn, "150");
    info.setstring(SQLPmn::SQLDBBackupInfo::kDatabaseBackupLsn, "90");
    SQLPmn::SQLDBBackupMetadata metadata;
    metadata.setlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, std::vector<SQLPmn::SQLDBBackupInfo>{info});
    std::vector<SQLPmn::SQLFileBackupInfo> list;
    for (const std::string& path : files) {
        SQLPmn::SQLFileBackupInfo file;
        file.setstring(SQLPmn::SQLFileBackupInfo::kPhysicalName, path);
        file.setstring(SQLPmn::SQLFileBackupInfo::kLogicalName, "f");
        list.push_back(file);
    }
    metadata.setlistobject(SQLPmn::SQLDBBackupMetadata::kFiles, list);
    std::string xml;
    EXPECT_EQ(metadata.serialize(xml), kMsgOk);
    return xml;
}

class VssBackupSetTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        job.m_currentDatabaseId = 5;
    }

    VssJob job{71};
};

TEST_F(VssBackupSetTest, AFullJobRecordedWithTheOlderRecordRestoresFromWhatItNames) {
    MakeDatabases({"Sales", "HR"});
    const std::string before = vditest::ReadAll(vditest::DataFiles(instance, "Sales").front());
    OlderRecordJob older;
    ASSERT_TRUE(RunPhaseOf(older, 42, "-D", 1, {}));

    const auto sets = JxServeStoredBackupSets();
    ASSERT_EQ(sets.size(), 2u);
    for (const auto& set : sets) {
        EXPECT_EQ(set.code, kSqlBackupSetReq);
        EXPECT_EQ(set.backupType, "D");
        EXPECT_EQ(set.jobId, 42u);
        EXPECT_EQ(set.fileCount, 2u);
        EXPECT_EQ(set.archiveCount, 2u) << "one archive entry per stream";
    }
    const StoredSet sales = StoredSets("Sales").at(0);
    EXPECT_GT(sales.startDate, 0);
    EXPECT_GE(sales.finishDate, sales.startDate);
    EXPECT_FALSE(sales.checkpointLsn.empty());
    EXPECT_GT(sales.databaseId, 0);

    // The archive files and offsets it names give the database back.
    std::list<RestoreArchiveInfo> archives;
    const Archives stored = JxServeStoredArchives("Sales");
    ASSERT_EQ(stored.size(), 1u);
    for (const auto& [file, offset] : stored[0]) {
        RestoreArchiveInfo a;
        a.jxCellId = 2;
        a.archiveFileId = file;
        a.offset = offset;
        archives.push_back(a);
    }
    SqlSimChangeRequest change;
    change.database = "Sales";
    change.pages = 3;
    change.seed = 7;
    ASSERT_FALSE(SqlSimChanges(instance).Change(change).IsError());
    ASSERT_NE(vditest::ReadAll(vditest::DataFiles(instance, "Sales").front()), before);
    vditest::RestoreOptions options;
    options.recovery = true;
    options.replace = true;
    const vditest::Outcome restored = vditest::Restore("Sales", archives, options);
    EXPECT_TRUE(restored.ok) << restored.text;
    EXPECT_EQ(vditest::ReadAll(vditest::DataFiles(instance, "Sales").front()), before);
}

TEST_F(VssBackupSetTest, TheOlderRecordNeedsAFinishedBackup) {
    int code = -1;
    EXPECT_FALSE(job.updateBackupSetInfo(nullptr, &code));
    CJxSQLVDIBase idle;  // no backup ran: no name, no LSNs
    EXPECT_FALSE(job.updateBackupSetInfo(&idle, &code));
    EXPECT_EQ(code, 0);
    EXPECT_TRUE(JxServeStoredBackupSets().empty());
}

TEST_F(VssBackupSetTest, AVssRecordNamesEveryFileWithItsArchiveFileAndOffset) {
    job.Wrote(1, 1001, {{"/data/Sales.mdf", 0}, {"/data/Sales_log.ldf", 8192}});
    job.Wrote(2, 1002, {{"/data/fs/a", 0}});
    int code = -1;
    ASSERT_TRUE(job.updateVSSBackupSetInfo(
        SetInfo("Sales"), {File("/data/Sales.mdf", "data", 0), File("/data/Sales_log.ldf", "log", 1)}, &code));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(JxServeStoredArchives("Sales"), (Archives{{{1001u, 0u}, {1001u, 8192u}, {1002u, 0u}}}));
    const StoredSet set = StoredSets("Sales").at(0);
    EXPECT_EQ(set.startDate, 1700000000);
    EXPECT_EQ(set.finishDate, 1700000100);
    EXPECT_EQ(set.databaseId, 5);
    EXPECT_EQ(set.copyOnly, 1);
    EXPECT_EQ(set.groupId, 9);
    EXPECT_EQ(set.fileCount, 2);
    EXPECT_EQ(set.checkpointLsn, "150");
    EXPECT_EQ(set.databaseBackupLsn, "90");
}

TEST_F(VssBackupSetTest, AVssRecordThatCouldNotBeRestoredIsNotSent) {
    int code = 0;
    // No stream wrote anything.
    EXPECT_FALSE(job.updateVSSBackupSetInfo(SetInfo("Sales"), {File("/data/Sales.mdf", "data", 0)}, &code));
    job.Wrote(1, 1001, {{"/data/Sales.mdf", 0}});
    JxSQLBackupSetInfo noCheckpoint = SetInfo("Sales");
    noCheckpoint.checkpointLSN.clear();
    EXPECT_FALSE(job.updateVSSBackupSetInfo(noCheckpoint, {}, &code));
    JxSQLBackupSetInfo badDate = SetInfo("Sales");
    badDate.startDate = "99999999999";  // does not fit the record
    EXPECT_FALSE(job.updateVSSBackupSetInfo(badDate, {}, &code));
    EXPECT_TRUE(JxServeStoredBackupSets().empty());
}

TEST_F(VssBackupSetTest, AVssBackupSetGivesFileStreamFilesTheirOwnEntries) {
    const std::string mdf = root.File("data/Sales.mdf");
    const std::string fs = root.File("data/fs");
    root.WriteFile("data/Sales.mdf", "x");
    root.WriteFile("data/fs/a", "a");
    root.WriteFile("data/fs/sub/b", "b");
    root.WriteFile("data/fs2/c", "c");  // another folder whose name begins alike
    job.Wrote(1, 1001, {{mdf, 0}, {root.File("data/fs2/c"), 10}});
    job.Wrote(2, 1002, {{fs + "/a", 0}, {fs + "/sub/b", 4096}});
    int code = -1;
    ASSERT_TRUE(job.sendBackupSetInfoToCS(Metadata("Sales", {mdf, fs}), 1, "", &code, nullptr, true));
    EXPECT_EQ(JxServeStoredArchives("Sales"), (Archives{{{1001u, 0u}, {1002u, 0u}, {1002u, 4096u}}}));
    const auto sets = JxServeStoredBackupSets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].fileCount, 3u) << "the two files and the placeholder of a VSS record";
}

TEST_F(VssBackupSetTest, AVssBackupSetWithAFileNoStreamHoldsIsNotSent) {
    root.WriteFile("data/Sales.mdf", "x");
    root.WriteFile("data/Sales_log.ldf", "x");
    job.Wrote(1, 1001, {{root.File("data/Sales.mdf"), 0}});
    int code = 0;
    EXPECT_FALSE(
        job.sendBackupSetInfoToCS(Metadata("Sales", {root.File("data/Sales.mdf"), root.File("data/Sales_log.ldf")}), 5,
                                  "", &code, nullptr, true));
    job.m_vssStreamWriters.clear();
    EXPECT_FALSE(
        job.sendBackupSetInfoToCS(Metadata("Sales", {root.File("data/Sales.mdf")}), 1, "", &code, nullptr, true));
    EXPECT_TRUE(JxServeStoredBackupSets().empty());
}

TEST_F(VssBackupSetTest, TheFilesOfAVssBackupPairWithTheSnapshotAndListFileStreamFolders) {
    root.WriteFile("snap/Sales.mdf", "x");
    root.WriteFile("snap/fs/a", "a");
    root.WriteFile("snap/fs/sub/b", "b");
    ASSERT_EQ(wz::MakeDirectoryTree(root.File("snap/fs/empty")), 0);
    std::list<SqlDatabaseVssFileInfo_t> files;
    unsigned int count = 0;
    ASSERT_TRUE(job.GetFilesForVssBackup({"/data/Sales.mdf", "/data/fs"},
                                         {root.File("snap/Sales.mdf"), root.File("snap/fs")}, files, count));
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files.front().originalFile, "/data/Sales.mdf");
    EXPECT_EQ(files.front().snapFile, root.File("snap/Sales.mdf"));
    EXPECT_TRUE(files.front().fileStreamFiles.empty());
    std::vector<std::string> stream(files.back().fileStreamFiles.begin(), files.back().fileStreamFiles.end());
    std::sort(stream.begin(), stream.end());
    EXPECT_EQ(stream, (std::vector<std::string>{root.File("snap/fs/a"), root.File("snap/fs/sub/b")}));
    EXPECT_EQ(count, 3u) << "one data file and two FILESTREAM files";

    EXPECT_FALSE(
        job.GetFilesForVssBackup({"/data/Sales.mdf", "/data/fs"}, {root.File("snap/Sales.mdf")}, files, count));
    EXPECT_TRUE(files.empty());
    EXPECT_EQ(count, 0u);
    EXPECT_FALSE(job.GetFilesForVssBackup({"/data/Sales.mdf"}, {""}, files, count));
}

}  // namespace
