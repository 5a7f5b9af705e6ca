// CSQLRestoreBase: the revert restore. The databases of the job go back to
// the full snapshot job (then the differential one) that their chains
// share, through the snapshot copy-restore handler; afterwards each
// database's remaining backups (the logs) are restored from its chain.
//
// Only what a revert really brought back is skipped later: a backup is
// passed over when its job was reverted for that very database. When a
// revert fails, the chains are restored from their backups, and each
// database is counted once, by the outcome of that restore. SQL Server,
// stopped for system databases, is started again on every way out.
#include <cinttypes>
#include <map>
#include <set>

#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "WzUtils/CStopWatch.h"

namespace {

// Calls `action` when the scope ends, however it ends.
template <typename Action>
class AtExit {
public:
    explicit AtExit(Action action) : m_action(action) {}
    ~AtExit() { m_action(); }
    AtExit(const AtExit&) = delete;
    AtExit& operator=(const AtExit&) = delete;

private:
    Action m_action;
};

}  // namespace

bool CSQLRestoreBase::revertDBS(std::list<SqlRestoreDbInfo_t>& dbList) {
    // SQL Server, when the revert stops it, runs again whatever happens next.
    AtExit restart([this] { RestartSqlServerAfterRevert(); });
    try {
        m_fullRestoredByRevert = false;
        m_diffRestoredByRevert = false;
        m_revertedDatabases.clear();
        const bool systemDbs = checkIfSystemDbsArePresent();

        // First pass: every database's chain and the snapshot jobs in it.
        std::list<std::string> names;
        std::map<std::string, std::list<SqlAFilesPerBackup_t>> chains;
        std::set<uint64_t> fullJobs;
        std::set<uint64_t> diffJobs;
        SqlSnapJobDetails_t full;
        SqlSnapJobDetails_t diff;
        for (SqlRestoreDbInfo_t& db : dbList) {
            const std::string name = TargetName(db);
            std::list<SqlAFilesPerBackup_t> chain;
            if (!db.restoreChain.empty()) {
                chain = db.restoreChain;
            } else if (!getAFilesToRestore(false, db, chain)) {
                // Counted here once; without a chain it is neither reverted
                // nor restored later.
                EV_ERROR(m_logger, "Failed to get the backups of database [%s]; it is not restored.", name.c_str());
                RecordFailedDatabase(name);
                continue;
            }
            names.push_back(name);
            chains[name] = chain;
            SqlSnapJobDetails_t dbFull;
            SqlSnapJobDetails_t dbDiff;
            if (!GetSnapJobDetailsFromBackupList(kBackupTypeFull, dbFull, chain)) {
                EV_ERROR(m_logger, "Failed to get snap FULL job details from backup list.");
                return false;
            }
            if (!GetSnapJobDetailsFromBackupList(kBackupTypeDifferential, dbDiff, chain)) {
                EV_ERROR(m_logger, "Failed to get snap DIFF job details from backup list.");
                return false;
            }
            if (dbFull.jobId != 0) {
                fullJobs.insert(dbFull.jobId);
                full = dbFull;
            }
            if (dbDiff.jobId != 0) {
                diffJobs.insert(dbDiff.jobId);
                diff = dbDiff;
            }
        }
        if (fullJobs.size() > 1) {
            if (m_pRstJobClnt) (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNotOneFullSnapJob);
            EV_ERROR(m_logger, "All databases are not in the same full snap backup job. Unable to perform revert.");
            return false;
        }
        if (diffJobs.size() > 1) {
            EV_ERROR(m_logger,
                     "All databases are not in the same differential snap backup job. Unable to perform revert.");
            return false;
        }

        if (systemDbs) {
            m_stopSqlServer = true;
            if (!prepareForRestore()) {
                // System databases are never reverted under a running
                // server: nothing is reverted or restored, and the service,
                // which did not stop, is left as it is (the failed stop
                // cleared the flag, so nothing starts it either).
                FailRevertServiceNotStopped(names);
                return false;
            }
        }

        bool fellBack = false;
        if (full.jobId != 0) {
            EV_INFO(m_logger, "Going to revert full snapshot(%" PRIu64 ", %" PRIu64 ", %" PRIu64 ").", full.jobId,
                    full.jxCellId, full.appId);
            const int version = GetClientIndexingVersion(m_restoreOptions.sourceClientId, full.jobEndTime);
            if (version == 1) {
                m_fullRestoredByRevert = revertJob(full.jobId, full.jxCellId, full.appId, names);
                if (!m_fullRestoredByRevert) {
                    EV_ERROR(m_logger, "Failed to revert the full snapshot.");
                    return false;
                }
            } else if (version == 2) {
                m_fullRestoredByRevert = RevertJobV2(full.jobId, full.jxCellId, full.appId, names);
                if (!m_fullRestoredByRevert) {
                    fellBack = true;
                    EV_ERROR(m_logger, "Failed to revert the full snapshot from snap copy. Will continue restore from SNAP.");
                }
            } else {
                EV_ERROR(m_logger, "Unknown indexing version and cannot proceed.");
                return false;
            }
        }
        if (diff.jobId != 0) {
            EV_INFO(m_logger, "Going to revert diff snapshot (%" PRIu64 ", %" PRIu64 ", %" PRIu64 ").", diff.jobId,
                    diff.jxCellId, diff.appId);
            const int version = GetClientIndexingVersion(m_restoreOptions.sourceClientId, diff.jobEndTime);
            if (version == 1) {
                m_diffRestoredByRevert = revertJob(diff.jobId, diff.jxCellId, diff.appId, names);
                if (!m_diffRestoredByRevert) {
                    EV_ERROR(m_logger, "Failed to revert the diff snapshot.");
                    return false;
                }
            } else if (fellBack) {
                // Nothing of the differential was brought back: it is not
                // marked, and its chain decides what can be restored.
                EV_WARN(m_logger,
                        "Revert of FULL job has failed. Will skip revert of diff job and will continue with snap "
                        "restore.");
            } else if (version == 2) {
                m_diffRestoredByRevert = RevertJobV2(diff.jobId, diff.jxCellId, diff.appId, names);
                if (!m_diffRestoredByRevert) {
                    fellBack = true;
                    EV_ERROR(m_logger, "Failed to revert the diff snapshot from snap copy. Will continue restore from SNAP.");
                }
            } else {
                EV_ERROR(m_logger, "Unknown indexing version and cannot proceed.");
                return false;
            }
        }
        // The chains are restored through the running server, after a
        // fall-back too.
        RestartSqlServerAfterRevert();

        SetUpTransferHandler();

        // Second pass: what the revert did not bring back, from the chains.
        for (SqlRestoreDbInfo_t& db : dbList) {
            const std::string name = TargetName(db);
            if (TransferLeftRunning()) {
                // Nothing more is restored while a transfer that was let go may run.
                RecordSkippedDatabase(name);
                continue;
            }
            EV_INFO(m_logger, "Restoring traditional backups for database [%s]", name.c_str());
            auto found = chains.find(name);
            if (found == chains.end()) {
                EV_DEBUG(m_logger, 2, "Failed to find AFileList");
                continue;
            }
            EV_DEBUG(m_logger, 2, "Restoring traditional backups");
            bool reverted = false;
            for (const auto& [jobId, databases] : m_revertedDatabases) reverted |= databases.count(name) != 0;
            // A reverted database was overwritten by the revert already; its
            // logs go onto it.
            const uint64_t flags = m_restoreOptions.optionFlags;
            if (reverted) m_restoreOptions.optionFlags |= kRstOverwrite;
            CStopWatch watch;
            const bool restored = restoreDB(db, found->second);
            m_restoreOptions.optionFlags = flags;
            if (!restored) {
                RecordFailedDatabase(name);
                continue;
            }
            watch.Stop();
            EV_DEBUG(m_logger, 2, "Time taken to restore Db %s = %f", name.c_str(), watch.Time());
            ++m_restoredDbCount;
            SetRestoreStatus(name, RESTORE_STATUS_RESTORED);
            if (m_pRstJobClnt) {
                (void)m_pRstJobClnt->setNoDBsRestoredSoFar(static_cast<int64_t>(m_restoredDbCount));
                (void)m_pRstJobClnt->updateInfo(false, nullptr);  // progress only
            }
        }
        FinishRestoreLoop();
        m_dataTransferHandler.setRstJobControllerObject(nullptr);
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception during revert operation.");
        return false;
    }
}

void CSQLRestoreBase::FailRevertServiceNotStopped(const std::list<std::string>& names) {
    EV_ERROR(m_logger, "SQL Server [%s] could not be stopped to revert its system databases; nothing is reverted.",
             m_sServername.c_str());
    for (const std::string& name : names) RecordFailedDatabase(name);
    if (m_pRstJobClnt) {
        const std::string text = "SQL Server instance [" + m_sServername +
                                 "] could not be stopped to revert its system databases. Nothing was reverted.";
        *m_pRstJobClnt << text.c_str();
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreFailed);
    }
}

bool CSQLRestoreBase::revertJob(uint64_t jobId, uint64_t cellId, uint64_t appId, std::list<std::string>& dbNames) {
    std::string sourceName;
    std::string destinationName;
    if (!getMangledClientName(sourceName, m_restoreOptions.sourceClientId) ||
        !getMangledClientName(destinationName, m_restoreOptions.destinationClientId)) {
        return false;
    }
    // The indexing version only changes where the job's index lives; the
    // revert of the database files is the same.
    return RevertThroughHandler(jobId, cellId, appId, dbNames);
}

bool CSQLRestoreBase::RevertJobV2(uint64_t jobId, uint64_t cellId, uint64_t appId, std::list<std::string>& dbNames) {
    return RevertThroughHandler(jobId, cellId, appId, dbNames);
}

bool CSQLRestoreBase::RevertThroughHandler(uint64_t jobId, uint64_t cellId, uint64_t appId,
                                           std::list<std::string>& dbNames) {
    // A failure here counts no database: the restore of the chains that
    // follows counts each one by its outcome.
    SnapCopyRestoreHandler& handler = m_snapCopyRestoreHandler;
    handler.setCallback(this);
    if (!handler.Initialize(cellId, jobId, m_jobId, m_restoreOptions, nullptr, m_sqlUser, m_sqlPassword, true,
                            dbNames)) {
        EV_ERROR(m_logger, "Failed to initialize for SNAP revert. %s", handler.getLastError().c_str());
        return false;
    }
    handler.setJobControl(m_pJobCtrlClnt);
    if (handler.isBackupCopyRestore()) {
        EV_ERROR(m_logger, "Revert cannot be performed from backup copy AFiles. Will continue with snap restore.");
        return false;
    }
    if (!handler.restoreSnapData(m_jobResultsDirectory)) {
        EV_ERROR(m_logger, "Failed to revert snapshot job [%" PRIu64 "] of application [%" PRIu64 "]: %s", jobId,
                 appId, handler.getLastError().c_str());
        return false;
    }
    std::set<std::string, InsensitiveCompare>& reverted = m_revertedDatabases[jobId];
    for (const std::string& name : handler.getRestoredDatabases()) reverted.insert(name);
    for (const std::string& name : dbNames) {
        if (reverted.count(name) == 0) {
            EV_WARN(m_logger, "Database [%s] is not in snapshot job [%" PRIu64 "]; its backups are restored instead.",
                    name.c_str(), jobId);
        } else {
            EV_INFO(m_logger, "Database [%s] was reverted to snapshot job [%" PRIu64 "].", name.c_str(), jobId);
        }
    }
    return true;
}

bool CSQLRestoreBase::RestoredByRevert(const std::string& target, const SqlAFilesPerBackup_t& backup) const {
    auto found = m_revertedDatabases.find(backup.jobId);
    return found != m_revertedDatabases.end() && found->second.count(target) != 0;
}

void CSQLRestoreBase::RestartSqlServerAfterRevert() {
    if (!m_stopSqlServer) return;
    if (!startSqlServer()) EV_ERROR(m_logger, "Failed to start SQL Server again after the revert.");
    m_stopSqlServer = false;  // one attempt: the failure is logged
}
