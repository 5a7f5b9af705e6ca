// Dump entries of a restore to disk are copied to the dump location.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

class DiskJob : public CSQLDumpRestore {
public:
    DiskJob(const std::string& location, bool attach) {
        bRestoreFromDump = true;
        m_restoreToDisk = true;
        m_dumpLocation = location;
        m_restoreToDiskAttach = attach;
    }
};

class DumpToDisk : public jxtest::RootedTest {
protected:
    SqlAFilesPerBackup_t DumpEntry(const std::string& bak) {
        SqlAFilesPerBackup_t e;
        e.backupType = 'L';
        e.afileType = AFileType_RestoreFromMediaAgentDump;
        e.sFullPathLogFile = bak;
        return e;
    }
    SqlRestoreDbInfo_t db;
};

TEST_F(DumpToDisk, DumpsAreCopiedAlsoWhenTheCopyIsToBeAttached) {
    root.WriteFile("mp/sales_log_backup_1.bak", "one");
    root.WriteFile("mp/sales_log_backup_2.bak.jxf", "two");  // renamed by the sweep
    root.WriteFile("out/.keep", "");
    for (bool attach : {false, true}) {
        DiskJob job(root.path() + "/out", attach);
        SqlAFilesPerBackup_t first = DumpEntry(root.path() + "/mp/sales_log_backup_1.bak");
        SqlAFilesPerBackup_t second = DumpEntry(root.path() + "/mp/sales_log_backup_2.bak");
        EXPECT_TRUE(job.restoreVDIBackupToDisk(db, first));
        EXPECT_TRUE(job.restoreVDIBackupToDisk(db, second));
        EXPECT_EQ("one", root.ReadFile("out/sales_log_backup_1.bak"));
        EXPECT_EQ("two", root.ReadFile("out/sales_log_backup_2.bak"));
        SqlAFilesPerBackup_t missing = DumpEntry(root.path() + "/mp/sales_log_backup_3.bak");
        EXPECT_FALSE(job.restoreVDIBackupToDisk(db, missing));
    }
}

TEST_F(DumpToDisk, ACopyThatCannotBeSyncedFailsAndLeavesNoFileBehind) {
    root.WriteFile("mp/sales_log_backup_1.bak", "one");
    root.WriteFile("out/.keep", "");
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailCall(jxtest::FsCall::kFsync, 1, EIO, true);
    DiskJob job(root.path() + "/out", false);
    SqlAFilesPerBackup_t dump = DumpEntry(root.path() + "/mp/sales_log_backup_1.bak");
    EXPECT_FALSE(job.restoreVDIBackupToDisk(db, dump));
    EXPECT_GE(faulty.Calls(jxtest::FsCall::kFsync), 1) << "the fault fired";
    EXPECT_FALSE(std::filesystem::exists(root.File("out/sales_log_backup_1.bak")));
    EXPECT_FALSE(std::filesystem::exists(root.File("out/sales_log_backup_1.bak.partial")));
    EXPECT_EQ(root.ReadFile("mp/sales_log_backup_1.bak"), "one") << "the dump itself stays";
}

}  // namespace
