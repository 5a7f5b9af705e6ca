// A restore job whose central-server and virtual-device steps are scripted
// by the test, over a simulated instance "node1/INST" and a registered job
// 42, so that the job's own decisions (order, skips, recovery, status) can
// be checked one at a time.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JobResults/StoreResults.h"
#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/support/TestRoot.h"

// One backup of a scripted chain.
inline SqlAFilesPerBackup_t Backup(char type, uint64_t jobId, uint64_t size = 100) {
    SqlAFilesPerBackup_t b;
    b.backupType = static_cast<uint32_t>(type);
    b.jobId = jobId;
    b.backupSize = size;
    return b;
}

inline SqlRestoreDbInfo_t Database(const std::string& name, uint64_t id = 0) {
    SqlRestoreDbInfo_t db;
    db.sDbName = name;
    db.databaseId = id;
    return db;
}

struct ScriptedRestoreJob : CSQLRestoreBase {
    using CSQLRestoreBase::m_appendRestartInQuery;
    using CSQLRestoreBase::m_applessRestore;
    using CSQLRestoreBase::m_bChecksum;
    using CSQLRestoreBase::m_destinationAws;
    using CSQLRestoreBase::m_dumpLocation;
    using CSQLRestoreBase::m_failedDbCount;
    using CSQLRestoreBase::m_multiStreamRestore;
    using CSQLRestoreBase::m_nzdstHandling;
    using CSQLRestoreBase::m_pJobCtrlClnt;
    using CSQLRestoreBase::m_pJobResults;
    using CSQLRestoreBase::m_restoreDbList;
    using CSQLRestoreBase::m_restoredDbCount;
    using CSQLRestoreBase::m_restoreOptions;
    using CSQLRestoreBase::m_restoreToDisk;
    using CSQLRestoreBase::m_restoreToDiskAttach;
    using CSQLRestoreBase::m_singleUserMode;
    using CSQLRestoreBase::m_singleUserServerPid;
    using CSQLRestoreBase::m_skipBackupTypes;
    using CSQLRestoreBase::m_sqlMajorVersion;
    using CSQLRestoreBase::m_sServername;
    using CSQLRestoreBase::m_stopJob;
    using CSQLRestoreBase::m_stopSqlAgent;
    using CSQLRestoreBase::m_stopSqlServer;
    using CSQLRestoreBase::m_totalBytesToRestore;
    using CSQLRestoreBase::m_verifyOnly;

    std::string ChooseStageFolderForTest() { return ChooseStageFolder(); }

    // ---- What the test scripts ----
    bool optionsOk = true;
    uint64_t optionFlags = 0x2;  // OVERWRITE: the test databases exist
    std::vector<SqlRestoreDbInfo_t> databases;                       // the options' list
    std::map<std::string, std::list<SqlAFilesPerBackup_t>> chains;    // by database name; absent: request fails
    std::set<std::string> failingBackups;                            // "<db>:<type>:<job id>"
    bool realRecovery = false;                                       // else recoveries succeed unless listed
    std::set<std::string> failingRecoveries;
    std::function<void(const std::string&)> onBackup;                // runs before each backup restore

    // ---- What the job did ----
    std::vector<std::string> restored;    // "<db>:<type>:<job id>", in order
    std::vector<std::string> recovered;   // database names
    std::vector<uint64_t> nzdstSeenByChainRequests;
    // "first <key>" and "last <key>" for the backups restored as the first
    // (PARTIAL) and the last (STANDBY) of their chain.
    std::vector<std::string> firstAndLast;
    std::list<SqlFFGRestoreInfo_t> ffgBackups;  // what a file or file-group restore is given

    bool getRestoreOptions() override {
        if (!optionsOk) return false;
        m_restoreOptions.optionFlags = optionFlags;
        m_sServername = "node1/INST";
        m_sqlMajorVersion = 15;
        m_restoreDbList.assign(databases.begin(), databases.end());
        return true;
    }
    bool getAFilesToRestore(bool, SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) override {
        nzdstSeenByChainRequests.push_back(m_nzdstHandling);
        auto it = chains.find(db.sDbName);
        if (it == chains.end()) return false;
        chain = it->second;
        return true;
    }
    bool RestoreOne(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup) {
        const std::string key =
            TargetName(db) + ":" + static_cast<char>(backup.backupType) + ":" + std::to_string(backup.jobId);
        if (onBackup) onBackup(key);
        if (m_isFirstBackupOfChain) firstAndLast.push_back("first " + key);
        if (m_isLastBackupOfChain) firstAndLast.push_back("last " + key);
        if (failingBackups.count(key) != 0) return false;
        restored.push_back(key);
        return true;
    }
    bool getAFilesForFFGRestore(std::list<SqlRestoreDbInfo_t>&, std::list<std::string>&,
                                std::list<SqlFFGRestoreInfo_t>& infoList) override {
        infoList = ffgBackups;
        return true;
    }
    bool restoreVDIBackup(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup, const std::list<std::string>&,
                          const std::list<std::string>&) override {
        initializeForPreDBRestore(db, backup);
        const bool ok = RestoreOne(db, backup);
        initializeForPostDBRestore(db, backup);
        return ok;
    }
    bool restoreVDIBackupToDisk(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup) override {
        return RestoreOne(db, backup);
    }
    bool doDbRecoverOnly(SqlRestoreDbInfo_t& db, bool omitFileGroup, bool forceRecovery, bool ffg) override {
        if (realRecovery) return CSQLRestoreBase::doDbRecoverOnly(db, omitFileGroup, forceRecovery, ffg);
        if (failingRecoveries.count(TargetName(db)) != 0) return false;
        recovered.push_back(TargetName(db));
        return true;
    }
};

class RestoreJobTest : public jxtest::RootedTest {
protected:
    static constexpr uint64_t kJob = 42;

    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "node1/INST";
        ASSERT_TRUE(instance.Create(server).IsSuccess());
        for (const char* name : {"sales", "hr", "crm"}) {
            SqlSimDatabaseSpec db;
            db.name = name;
            ASSERT_TRUE(instance.AddDatabase(db).IsSuccess());
        }
    }

    // Registers job 42 the way the restore program does.
    bool Initialize() {
        const char* args[] = {"jxsqlrestore", "-j", "42", "-token", "42:1:1", "-rt", "77"};
        EXPECT_TRUE(parser.parse(7, args).IsSuccess());
        return job.initializeRestore(parser);
    }
    bool Start() { return StartJob(job, kJob); }
    // Runs a whole job under its own job id.
    bool StartJob(CSQLRestoreBase& restore, uint64_t jobId) {
        const std::string id = std::to_string(jobId);
        const std::string token = id + ":1:1";
        const char* args[] = {"jxsqlrestore", "-j", id.c_str(), "-token", token.c_str(), "-rt", "77"};
        RestoreOptionsParser jobParser;
        EXPECT_TRUE(jobParser.parse(7, args).IsSuccess());
        return restore.startRestore(jobParser);
    }

    std::vector<jobmanager::JournalEntry> Journal(const std::string& op, uint64_t jobId = kJob) {
        auto all = jobmanager::JobJournalReader::Read(jobId).value_or(std::vector<jobmanager::JournalEntry>{});
        return op.empty() ? all : jobmanager::JobJournalReader::WithOp(all, op);
    }
    std::string CompletedStatus(uint64_t jobId = kJob) {
        auto completes = Journal("complete", jobId);
        return completes.size() == 1 ? completes[0].Get("status") : "complete x" + std::to_string(completes.size());
    }
    std::vector<std::string> Causes() {
        std::vector<std::string> causes;
        for (const auto& e : Journal("setPendingCause")) causes.push_back(e.Get("cause"));
        return causes;
    }
    // The per-object status lines of the job results, as "<status> <name>".
    std::vector<std::string> Statuses(uint64_t jobId = kJob) {
        std::vector<std::string> lines;
        std::string content = jxtest::ReadWholeFile(root.path() + "/jobresults/" + std::to_string(jobId) + "/" +
                                                    StoreResults::kRestoreStatusFile);
        size_t start = 0;
        while (start < content.size()) {
            size_t end = content.find('\n', start);
            std::string line = content.substr(start, end - start);
            size_t tab = line.find('\t');
            if (tab != std::string::npos) line[tab] = ' ';
            lines.push_back(line);
            start = end == std::string::npos ? content.size() : end + 1;
        }
        return lines;
    }

    SqlSimInstance instance;
    RestoreOptionsParser parser;
    ScriptedRestoreJob job;
};
