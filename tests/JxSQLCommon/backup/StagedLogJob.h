// Test support: log jobs over the log dumps a staging process leaves on
// disk. The instance's dumps are staged in the folder the settings name,
// under names of the staging process's pattern; the central server's stored
// sets and archive entries are read back per database.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <initializer_list>
#include <list>
#include <string>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLVDIBase/VdiLogStaging.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace jxtest {

class StagedLogJob : public BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        stage = root.path() + "/stage/HOST_INST";
        JXPlatformInfo().setNumber("MSSQLAgent", "backupFromFSForLog", 1);
        JXPlatformInfo().setString("MSSQLAgent", "SqlLogBackupStageFolder", root.path() + "/stage");
    }

    void Change(const std::string& database, uint32_t pages, uint64_t seed) {
        SqlSimChangeRequest request;
        request.database = database;
        request.pages = pages;
        request.seed = seed;
        ASSERT_FALSE(SqlSimChanges(instance).Change(request).IsError());
    }

    // Stages a log dump of `database` and renames it to number `n`.
    void Stage(const std::string& database, int n) {
        std::string dump;
        ASSERT_FALSE(VdiStageLogBackup("HOST/INST", database, stage, dump).IsError());
        const std::string stem = dump.substr(0, dump.size() - 4);
        const std::string target = stage + "/" + VdiFileSafeName(database) + "_Log_Backup_" + std::to_string(n);
        ASSERT_EQ(::rename(dump.c_str(), (target + ".bak").c_str()), 0);
        ASSERT_EQ(::rename((stem + ".xml").c_str(), (target + ".xml").c_str()), 0);
    }

    // For each number: a one-page change of `database`, then its dump staged
    // under that number.
    void ChangeAndStage(const std::string& database, std::initializer_list<int> numbers) {
        for (int n : numbers) {
            Change(database, 1, static_cast<uint64_t>(n));
            Stage(database, n);
        }
    }

    bool Staged(const std::string& name) { return access((stage + "/" + name).c_str(), F_OK) == 0; }

    std::vector<JxServeBackupSet> SetsOf(const std::string& database) {
        std::vector<JxServeBackupSet> out;
        for (const JxServeBackupSet& set : JxServeStoredBackupSets()) {
            if (set.databaseName == database) out.push_back(set);
        }
        return out;
    }

    std::string DataBytes(const std::string& database) {
        std::string bytes;
        for (const std::string& path : vditest::DataFiles(instance, database)) bytes += vditest::ReadAll(path);
        return bytes;
    }

    // Restores every stored set of `database` in order, the last with recovery.
    void RestoreChain(const std::string& database) { RestoreSets(database, JxServeStoredArchives(database)); }

    // Restores the sets given by their archive entries (archive file id,
    // offset) in order, the last with recovery.
    void RestoreSets(const std::string& database,
                     const std::vector<std::vector<std::pair<uint32_t, uint64_t>>>& archives) {
        for (size_t i = 0; i < archives.size(); ++i) {
            std::list<RestoreArchiveInfo> list;
            for (const auto& [file, offset] : archives[i]) {
                RestoreArchiveInfo a;
                a.jxCellId = 2;
                a.archiveFileId = file;
                a.offset = offset;
                list.push_back(a);
            }
            vditest::RestoreOptions options;
            options.recovery = i + 1 == archives.size();
            options.replace = true;
            const vditest::Outcome o = vditest::Restore(database, list, options);
            ASSERT_TRUE(o.ok) << i << ": " << o.text;
        }
    }

    std::string CompleteStatus(uint64_t jobId) {
        auto complete = Journal(jobId, "complete");
        return complete.empty() ? "none" : complete.back().Get("status");
    }

    std::string stage;
};

}  // namespace jxtest
