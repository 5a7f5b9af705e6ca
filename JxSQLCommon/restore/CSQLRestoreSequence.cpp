// CSQLRestoreBase: the restore sequence. Options, then every database's
// backup chain, then the order of the databases, then exactly one of the
// clone, revert and per-database paths.
#include <cinttypes>

#include "JxSQLCommon/jobbase/SQLCloneSettings.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "WzUtils/CStopWatch.h"

bool CSQLRestoreBase::restore70() {
    // Every run counts its own chains (live sync runs the sequence again).
    m_totalBytesToRestore = 0;
    CStopWatch optionsWatch;
    if (!getRestoreOptions()) {
        EV_ERROR(m_logger, "Failed to get restore options.");
        return false;
    }
    modifyRestoreOptions();
    optionsWatch.Stop();
    EV_DEBUG(m_logger, 1, "Time taken to get restore options from CS = %f.", optionsWatch.Time());

    if (m_destinationAws) return restoreOnpremToAws();

    if (m_restoreDbList.empty()) {
        EV_ERROR(m_logger, "Restore Database List is empty!!!");
        return false;
    }
    EV_DEBUG(m_logger, 1, "Number of databases to restore [%zu].", m_restoreDbList.size());

    // The chain requests use the daylight-saving switch: read it first.
    ReadNzdstHandling();
    const uint64_t flags = m_restoreOptions.optionFlags;
    if ((flags & kRstRecoveryOnly) == 0 && (flags & kRstFileFileGroup) == 0) {
        CStopWatch chainWatch;
        GetAfilesForAllDatabases();
        chainWatch.Stop();
        EV_DEBUG(m_logger, 1, "Time taken to get Afiles infomation = %f", chainWatch.Time());
    }

    m_restoreDbList.sort(SortDbInfoBackupJob);  // std::list::sort is stable
    RectifyDBOrderForRestore(m_restoreDbList);

    // The count after ordering: a tempdb left out is not restored.
    const int64_t count = static_cast<int64_t>(m_restoreDbList.size());
    if (m_pRstJobClnt) {
        (void)m_pRstJobClnt->setNoDBsToRestore(count);  // progress reports only; the job goes on
        (void)m_pRstJobClnt->setNoDBsRestoredSoFar(0);
    }
    EV_DEBUG(m_logger, 3, "Total Bytes to Restore = [%" PRIu64 "].", m_totalBytesToRestore);
    if (m_pRstJobClnt) {
        m_pRstJobClnt->setTotBytes2Xfer(static_cast<int64_t>(m_totalBytesToRestore));
        (void)m_pRstJobClnt->setUnCompBytesSoFar(0);
    }

    if (m_cloneEnvironment) {
        CloneViaIscsiEnabled viaIscsi(false);
        return viaIscsi.isEnabled() ? CreateCloneEnvironment(m_restoreDbList, nullptr)
                                    : createTestEnvironment(m_restoreDbList, nullptr);
    }
    if (m_revertRestore) {
        if (!validateIfRevertPossible()) {
            EV_ERROR(m_logger, "validateIfRevertPossible failed");
            return false;
        }
        if (revertDBS(m_restoreDbList)) return true;
        EV_ERROR(m_logger, "Failed to revert the databases. Unable to continue further.");
        return false;
    }
    return restoreDBS(m_restoreDbList);
}

void CSQLRestoreBase::modifyRestoreOptions() {
    uint64_t& flags = m_restoreOptions.optionFlags;
    if (m_liveSyncRestore) {
        flags |= kRstOverwrite;
        EV_DEBUG(m_logger, 1, "Set OVERWRITE option for restore options when Live Sync restore is enabled");
        flags |= kRstDropDbConnections;
        EV_DEBUG(m_logger, 1, "Set DROPDBCONNECTIONS option for restore options when Live Sync restore is enabled");
    } else if ((flags & kRstLogShippingOnly) != 0) {
        flags |= kRstOverwrite;
        EV_DEBUG(m_logger, 1, "Set OVERWRITE option for restore options when LOGSHIPPING_ONLY option is enabled");
    }
}

void CSQLRestoreBase::GetAfilesForAllDatabases() {
    for (SqlRestoreDbInfo_t& db : m_restoreDbList) {
        std::list<SqlAFilesPerBackup_t> chain;
        if (m_liveSyncRestore) {
            if (!getAFilesToRestoreForLiveSync(db, chain)) {
                EV_WARN(m_logger, "Failed to get AFile information for database [%s].", db.sDbName.c_str());
                continue;
            }
        } else if (!getAFilesToRestore(false, db, chain)) {
            EV_WARN(m_logger, "Failed to get afile information for database [%s].", db.sDbName.c_str());
            continue;
        }
        db.restoreChain.splice(db.restoreChain.end(), chain);
        for (const SqlAFilesPerBackup_t& backup : db.restoreChain) {
            if (backup.backupType == kBackupTypeFull) db.sortKey = static_cast<int64_t>(backup.jobId);
            m_totalBytesToRestore += backup.backupSize;
        }
    }
    CWzError err = AddBackupInfoFromMountedShare(m_restoreDbList);
    if (err.IsError()) {
        m_logger.Error("virtual void CSQLRestoreBase::GetAfilesForAllDatabases()",
                       "AddBackupInfoFromMountedShare failed with %s", err.AsString().c_str());
    }
}

bool CSQLRestoreBase::SortDbInfoBackupJob(const SqlRestoreDbInfo_t& a, const SqlRestoreDbInfo_t& b) {
    return static_cast<uint64_t>(a.sortKey) < static_cast<uint64_t>(b.sortKey);
}

bool CSQLRestoreBase::isSystemDb_predicate(const SqlRestoreDbInfo_t& db) {
    return db.databaseId >= kMasterDbId && db.databaseId <= kMsdbDbId;
}

void CSQLRestoreBase::RectifyDBOrderForRestore(std::list<SqlRestoreDbInfo_t>& dbs) {
    const SqlRestoreDbInfo_t* master = nullptr;
    const SqlRestoreDbInfo_t* msdb = nullptr;
    const SqlRestoreDbInfo_t* model = nullptr;
    for (const SqlRestoreDbInfo_t& db : dbs) {
        if (db.databaseId == kMasterDbId) master = &db;
        if (db.databaseId == kMsdbDbId) msdb = &db;
        if (db.databaseId == kModelDbId) model = &db;
    }
    if (master == nullptr && msdb == nullptr && model == nullptr) return;
    std::list<SqlRestoreDbInfo_t> front;
    for (const SqlRestoreDbInfo_t* db : {master, msdb, model}) {
        if (db != nullptr) front.push_back(*db);
    }
    dbs.remove_if(isSystemDb_predicate);
    dbs.splice(dbs.begin(), front);
}

bool CSQLRestoreBase::GetBackupInformationFromRequest(SqlRestoreDbInfo_t& db) {
    m_dataTransferHandler.setDbName(TargetName(db));
    db.restoreChain.clear();
    if (!getAFilesToRestore(false, db, db.restoreChain) || db.restoreChain.empty()) {
        EV_ERROR(m_logger, "Failed to get AFiles for database [%s].", db.sDbName.c_str());
        return false;
    }
    return true;
}

bool CSQLRestoreBase::IsRestoreToDiskLogShipping() const {
    return m_restoreToDisk && (m_restoreOptions.optionFlags & kRstLogShippingOnly) != 0;
}
