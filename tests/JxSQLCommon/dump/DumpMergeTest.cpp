// Merging a database's dumps into its chain from the central server.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "tests/JxSQLCommon/dump/BackupEntry.h"
#include "tests/support/TestRoot.h"

namespace {

class MergeJob : public CSQLDumpRestore {
public:
    DumpRestoreSettings& settings() { return m_settings; }
};

using dumptest::BackupEntry;

class DumpMerge : public jxtest::RootedTest {
protected:
    void AddDump(const std::string& first, const std::string& last, int64_t finish = 0) {
        LogFileInfo f;
        f.firstLSN = first;
        f.lastLSN = last;
        f.backupFile = "/mp/sales_log_backup_" + last + ".bak";
        f.finishTime = finish;
        std::string key;
        ASSERT_TRUE(LSNSKey(f, key).IsSuccess());
        job.settings().databases["Sales"].logFiles[key] = f;
    }
    // The chain after the merge, as "<type><last LSN>[*]" (* for a dump).
    std::vector<std::string> Merge(std::list<SqlAFilesPerBackup_t> chain) {
        SqlRestoreDbInfo_t db;
        db.sDbName = "Sales";
        db.newDbName = "Copy";
        EXPECT_TRUE(job.AddBackupInfoFromMountedShare(db, chain).IsSuccess());
        std::vector<std::string> out;
        for (const SqlAFilesPerBackup_t& e : chain) {
            out.push_back(std::string(1, static_cast<char>(e.backupType)) + e.sLastLsn +
                          (e.afileType == AFileType_RestoreFromMediaAgentDump ? "*" : ""));
        }
        return out;
    }
    MergeJob job;
};

TEST_F(DumpMerge, DumpsAfterTheLastFullOrDifferentialJoinTheChainInLsnOrder) {
    job.settings().databases["Sales"];
    AddDump("100", "150");   // older than the differential: too old
    AddDump("150", "200");   // ends where the differential ends: not added twice
    AddDump("200", "300");
    AddDump("300", "400");
    EXPECT_EQ((std::vector<std::string>{"D100", "I200", "L300", "L400*"}),
              Merge({BackupEntry('D', "50", "100"), BackupEntry('I', "100", "200"), BackupEntry('L', "200", "300")}));
}

TEST_F(DumpMerge, WhatTheDatabaseAlreadyHasIsDropped) {
    DbInfo& info = job.settings().databases["Sales"];
    info.LastLSN = "200";
    info.PaddedLastLSN = std::string(47, '0') + "200";
    AddDump("100", "200");
    AddDump("300", "400");
    // The differential equal to the last restore goes too (less or equal).
    EXPECT_EQ((std::vector<std::string>{"D250", "L300", "L400*"}),
              Merge({BackupEntry('I', "100", "200"), BackupEntry('D', "50", "250"), BackupEntry('L', "250", "300")}));
}

TEST_F(DumpMerge, WithoutAFullOrDifferentialNoDumpIsAdded) {
    job.settings().databases["Sales"];
    AddDump("300", "400");
    EXPECT_EQ((std::vector<std::string>{"L300"}), Merge({BackupEntry('L', "200", "300")}));
}

TEST_F(DumpMerge, ADatabaseWithoutSettingsKeepsItsChain) {
    EXPECT_EQ((std::vector<std::string>{"D100"}), Merge({BackupEntry('D', "50", "100")}));
}

TEST_F(DumpMerge, AnLsnTooLongToPadFailsTheMerge) {
    job.settings().databases["Sales"];
    std::list<SqlAFilesPerBackup_t> chain = {BackupEntry('D', "1", std::string(51, '9'))};
    SqlRestoreDbInfo_t db;
    db.sDbName = "Sales";
    EXPECT_TRUE(job.AddBackupInfoFromMountedShare(db, chain).IsError());
    EXPECT_EQ(1u, chain.size());
}

}  // namespace
