// Test support: a whole backup job as the backup program runs it, against
// the simulated instance "HOST/INST" and the central-server stand-in, with
// subclient 1234 of backup domain 2 holding the given databases.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StatusTabStore.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/JxProcess.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"
#include "tests/support/FaultyFileSystem.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace jxtest {

// The media's archive files, as a FaultyFileSystem target: a failed fsync
// of one fails the pipeline's commit.
inline std::string ArchiveFiles() { return DiskLibrary::Directory() + "/afiles/*"; }

// A backup job whose disk is full while the central server's conversion
// rules decide on a database (and so while the converted list takes it).
struct FullDiskWhileConverting : CSQLBackup {
    bool isDatabaseNeedConversion(CsqlDMO& dmo, std::wstring name, std::string& message,
                                  JXSQLExeBackupType& level) override {
        wz::ScopedFileSystem scoped(disk);
        disk.FailWritesAfter(0, ENOSPC);
        const bool converted = CSQLBackup::isDatabaseNeedConversion(dmo, name, message, level);
        disk.Heal();
        return converted;
    }
    FaultyFileSystem disk;
};

// Runs one phase ("-D", "-I" or "-L") of job `jobId` of subclient
// `subclientId` of backup domain 2 through `job` as attempt `attempt`, as the
// backup program does.
inline bool RunBackupPhase(CSQLBackup& job, uint64_t jobId, const std::string& phase, int attempt = 1,
                           std::vector<std::string> extra = {}, uint64_t subclientId = 1234) {
    const std::string id = std::to_string(jobId);
    const std::string token = id + ":1:" + std::to_string(attempt);
    std::vector<std::string> words = {
        "jxsqlbackup", "-j", id, "-token", token, "-cell", "2", "-a", std::to_string(subclientId), phase};
    words.insert(words.end(), extra.begin(), extra.end());
    std::vector<char*> args;
    for (std::string& w : words) args.push_back(w.data());
    BackupOptionsParser parser;
    EXPECT_TRUE(parser.parse(static_cast<int>(args.size()), args.data()).IsSuccess());
    return job.startBackup(&parser, static_cast<int>(args.size()), args.data());
}

// The backup level the job manager names with phase "-D" (1), "-L" (2) or
// "-I" (4), as the arguments it adds to the phase.
inline std::vector<std::string> LevelOf(const std::string& phase) {
    return {"-type", phase == "-D" ? "1" : phase == "-L" ? "2" : "4"};
}

// The last status-tab row of each database of job `jobId` of backup domain 2.
inline std::map<std::string, JobManager::SQLStatusTab> StatusTabRows(uint64_t jobId) {
    std::map<std::string, JobManager::SQLStatusTab> rows;
    for (const std::string& xml : statustab::Records(jobId, 2)) {
        JobManager::SQLStatusTab tab;
        EXPECT_EQ(tab.unserialize(xml), kMsgOk);
        rows[tab.getstring(JobManager::SQLStatusTab::kDatabaseName)] = tab;
    }
    return rows;
}

// The job manager's journal of job `jobId`: its lines of operation `op`, or
// all of them when `op` is empty.
inline std::vector<jobmanager::JournalEntry> JobJournal(uint64_t jobId, const std::string& op = "") {
    auto all = jobmanager::JobJournalReader::Read(jobId).value_or(std::vector<jobmanager::JournalEntry>{});
    if (op.empty()) return all;
    return jobmanager::JobJournalReader::WithOp(all, op);
}

// The type letters of the backup sets of `database` that the central
// server stored of job `jobId`, in the order stored.
inline std::string StoredSetTypes(uint64_t jobId, const std::string& database) {
    std::string types;
    for (const JxServeBackupSet& set : JxServeStoredBackupSets()) {
        if (set.jobId == jobId && set.databaseName == database) types += set.backupType;
    }
    return types;
}

// Whether job `jobId` raised event (or pending cause) `id`.
inline bool JobAnnounced(uint64_t jobId, int id) {
    for (const auto& e : JobJournal(jobId, "event")) {
        if (e.Get("id") == jobmanager::JournalId(id)) return true;
    }
    return false;
}

class BackupJobRun : public CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        AppModel::Set("subclient/1234", "instanceId", "7");
        AppModel::Set("subclient/1234", "name", "daily");
        AppModel::Set("subclient/1234", "dataBkpStreams", "2");
        AppModel::Set("instance/7", "name", "HOST/INST");
        AppModel::Set("instance/7", "serverType", "DataBase Engine");
        AppModel::Set("instance/7", "sqlVersion", "15.0.2000.5");
        root.WriteFile("bin/systemctl", "#!/bin/sh\necho 'Active: active (running)'\nexit 0\n");
        const std::string systemctl = root.File("bin/systemctl");
        ::chmod(systemctl.c_str(), 0755);
        ASSERT_TRUE(JxProcess::SetProgramPath("systemctl", systemctl));
    }

    // The instance with `databases`, all of them in the subclient's content;
    // the instance is named `serverName` (a default instance bears its
    // host's name).
    void MakeDatabases(const std::vector<std::string>& databases, const std::string& serverName = "HOST/INST") {
        AppModel::Set("instance/7", "name", serverName);
        MakeInstance(instance, databases, serverName);
        int n = 0;
        for (const std::string& name : databases) {
            AppModel::Set("subclient/1234", "property118_" + std::to_string(++n), name);
        }
    }

    // Runs one phase ("-D", "-I" or "-L") of job `jobId` as attempt `attempt`.
    bool RunPhase(uint64_t jobId, const std::string& phase, int attempt = 1, std::vector<std::string> extra = {}) {
        CSQLBackup job;
        return RunPhaseOf(job, jobId, phase, attempt, std::move(extra));
    }
    bool RunPhaseOf(CSQLBackup& job, uint64_t jobId, const std::string& phase, int attempt,
                    std::vector<std::string> extra) {
        return RunBackupPhase(job, jobId, phase, attempt, std::move(extra));
    }

    std::vector<jobmanager::JournalEntry> Journal(uint64_t jobId, const std::string& op = "") {
        return JobJournal(jobId, op);
    }

    std::map<std::string, JobManager::SQLStatusTab> StatusRows(uint64_t jobId) { return StatusTabRows(jobId); }

    SqlSimInstance instance;
};

// A job the job manager stops once `stopAfter` databases are backed up.
struct StoppedJob : CSQLBackup {
    explicit StoppedJob(int stopAfter) : remaining(stopAfter) {}
    bool doVDIBackup(const wchar_t* name, unsigned long offset, JobManager::SQLStatusTab* record,
                     std::list<std::wstring> fileGroups, std::list<std::wstring> files) override {
        const bool ok = CSQLBackup::doVDIBackup(name, offset, record, fileGroups, files);
        if (ok && --remaining == 0) {
            EXPECT_TRUE(JXJobCtrlClient::requestStop(m_jobId));
        }
        return ok;
    }
    int remaining;
};

}  // namespace jxtest
