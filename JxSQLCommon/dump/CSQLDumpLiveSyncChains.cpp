// CSQLDumpLiveSync: each run's chains. The central server's chain and the
// dumps on disk are merged as for a dump restore; the merged list is then cut
// to what continues the standby's last restore, and databases with nothing to
// apply are left out of the run.
#include <iterator>
#include <list>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "JxSQLCommon/dump/CSQLDumpLiveSync.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlStringUtils.h"

namespace {

constexpr char kEntrySeparator = '\x12';

std::string SourceName(const SqlRestoreDbInfo_t& db) { return db.sDbName.substr(0, db.sDbName.find(kEntrySeparator)); }

}  // namespace

bool CSQLDumpLiveSync::getAFilesToRestoreForLiveSync(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) {
    if (!FetchAFilesForLiveSync(db, chain)) return false;
    if (chain.empty()) {
        // After the first run the standby has everything the central server
        // knows; its dumps may still carry it further.
        EV_INFO(m_logger, "The central server has no newer backup for database [%s]; looking for dumps.",
                db.sDbName.c_str());
        m_emptyCentralChain.insert(SourceName(db));
    }
    return true;
}

CWzError CSQLDumpLiveSync::AddBackupInfoFromMountedShare(std::list<SqlRestoreDbInfo_t>& dbs) {
    CWzError error = CSQLDumpRestore::AddBackupInfoFromMountedShare(dbs);
    for (const SqlRestoreDbInfo_t& db : dbs) {
        const std::string source = SourceName(db);
        if (m_emptyCentralChain.count(source) == 0 || m_mergedThisRun.count(source) != 0) continue;
        EV_WARN(m_logger, "There is no archive file to restore for database [%s].", db.sDbName.c_str());
        if (m_pRstJobClnt) {
            *m_pRstJobClnt << db.sDbName.c_str();
            (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoArchiveFiles);  // the database fails later
        }
    }
    return error;
}

bool CSQLDumpLiveSync::getAFilesToRestore(bool unused, SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) {
    if (m_mergedThisRun.count(SourceName(db)) != 0) {
        EV_DEBUG(m_logger, 1, "The chain of database [%s] was merged with its dumps in this run; not fetched again.",
                 db.sDbName.c_str());
        return true;
    }
    return CSQLDumpRestore::getAFilesToRestore(unused, db, chain);
}

CWzError CSQLDumpLiveSync::AddAFilesFromMountedShare(const DB_LSNS::const_iterator& dbEntry, std::string& lastLSN,
                                                     std::map<std::string, SqlAFilesPerBackup_t>& items) {
    if (!lastLSN.empty() || dbEntry->second.LastLSN.empty()) {
        return CSQLDumpRestore::AddAFilesFromMountedShare(dbEntry, lastLSN, items);
    }
    // No full or differential in the merge: the dumps after the standby's
    // last restore are wanted.
    std::string bound = dbEntry->second.LastLSN;
    EV_DEBUG(m_logger, 1, "Using the standby's last LSN [%s] as the lower bound for dumps of db [%s]", bound.c_str(),
             dbEntry->first.c_str());
    return CSQLDumpRestore::AddAFilesFromMountedShare(dbEntry, bound, items);
}

CWzError CSQLDumpLiveSync::BuildArchiveList(const std::string& dbName,
                                            std::map<std::string, SqlAFilesPerBackup_t>& items,
                                            std::list<SqlAFilesPerBackup_t>& chain) {
    auto found = m_settings.databases.find(dbName);
    if (found == m_settings.databases.end()) {
        // Not one of this run's databases: its chain stays as it is.
        EV_DEBUG(m_logger, 1, "db %s not found", dbName.c_str());
        return CWzError::Success();
    }
    m_mergedThisRun.insert(dbName);
    DbInfo& entry = found->second;
    bool brokenChain = false;

    if (entry.FirstLSN.empty() || entry.LastLSN.empty()) {
        bool full = false;
        for (const auto& [key, backup] : items) full = full || backup.backupType == kBackupTypeFull;
        if (!full) {
            EV_INFO(m_logger,
                    "No live sync has been done yet and no FULL backup is found in the hybrid list for db [%s]. "
                    "Skipping restore in this run",
                    dbName.c_str());
            entry.selected = false;
            m_skipReasons[dbName] = "No live sync has been done yet and no full backup is available";
        }
    }

    if (!items.empty() && entry.selected) {
        std::string refFirst;
        std::string refLast;
        bool paddingFailed = false;
        if (!entry.FirstLSN.empty() && !entry.LastLSN.empty() && entry.lastRestoreText == "L") {
            CWzError error = PaddLSN(entry.FirstLSN, refFirst, kPaddedLSNWidth);
            if (error.IsSuccess()) error = PaddLSN(entry.LastLSN, refLast, kPaddedLSNWidth);
            if (error.IsError()) {
                EV_ERROR(m_logger, "PaddLSN failed %s", (refFirst.empty() ? entry.FirstLSN : entry.LastLSN).c_str());
                entry.selected = false;
                paddingFailed = true;
                m_skipReasons[dbName] = "The LSNs of the last restore [" + entry.FirstLSN + ", " + entry.LastLSN +
                                        "] cannot be compared with the dumps";
            }
        }
        for (auto it = items.begin(); !paddingFailed && it != items.end(); ++it) {
            const SqlAFilesPerBackup_t& backup = it->second;
            if (backup.backupType != kBackupTypeLog) continue;
            std::string first;
            std::string last;
            bool padded = true;
            CWzError error = PaddLSN(backup.sFirstLsn, first, kPaddedLSNWidth);
            if (error.IsError()) {
                EV_ERROR(m_logger, "PaddLSN failed %s", backup.sFirstLsn.c_str());
                padded = false;
            } else if ((error = PaddLSN(backup.sLastLsn, last, kPaddedLSNWidth)).IsError()) {
                EV_ERROR(m_logger, "PaddLSN failed %s", backup.sLastLsn.c_str());
                padded = false;
            }
            if (refFirst.empty() || refLast.empty()) {
                refFirst = first;
                refLast = last;
                continue;
            }
            if (padded && (first == refLast || first == refFirst) && last >= refLast) {
                refFirst = first;
                refLast = last;
                continue;
            }
            EV_INFO(m_logger,
                    "LSN chain is broken for db [%s]. Current LSNs: [First: %s, Last: %s], Latest  LSNs: [First: %s, "
                    "Last: %s]. Skipping restore in this run",
                    dbName.c_str(), entry.FirstLSN.c_str(), entry.LastLSN.c_str(), backup.sFirstLsn.c_str(),
                    backup.sLastLsn.c_str());
            brokenChain = true;
            entry.selected = false;
            m_skipReasons[dbName] = "The log chain is broken: the dump with first LSN [" + backup.sFirstLsn +
                                    "] does not continue the last restore (last LSN [" + entry.LastLSN + "])";
            break;
        }
    } else {
        entry.selected = false;
    }

    if (brokenChain) {
        for (auto it = items.begin(); it != items.end();) {
            it = it->second.backupType == kBackupTypeLog ? items.erase(it) : std::next(it);
        }
        if (!items.empty()) {
            // A full or differential backup is still restored.
            entry.selected = true;
            m_skipReasons.erase(dbName);
        }
    }
    if (entry.selected) return CSQLDumpRestore::BuildArchiveList(dbName, items, chain);
    return CWzError::Success();
}

bool CSQLDumpLiveSync::restoreDB(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) {
    const std::string source = SourceName(db);
    auto found = m_settings.databases.find(source);
    if (found != m_settings.databases.end() && !found->second.selected) {
        auto reason = m_skipReasons.find(source);
        if (reason == m_skipReasons.end()) {
            EV_INFO(m_logger, "Hybrid list is empty. Nothing to restore for db [%s]", source.c_str());
            return true;
        }
        EV_INFO(m_logger, "Skipping db [%s] in this run: %s", source.c_str(), reason->second.c_str());
        m_skippedThisRun[TargetName(db)] = reason->second;
        return true;
    }
    return CSQLRestoreBase::restoreDB(std::move(db), chain);
}

bool CSQLDumpLiveSync::UpdateDBLiveSyncStatus(std::string dbName) {
    const std::string source = dbName.substr(0, dbName.find(kEntrySeparator));
    auto found = m_settings.databases.find(source);
    if (found != m_settings.databases.end() && !found->second.selected && m_skipReasons.count(source) != 0) {
        EV_INFO(m_logger, "Database [%s] was skipped in this run; its live sync status is left as it is.",
                source.c_str());
        return true;
    }
    return CSQLDumpRestore::UpdateDBLiveSyncStatus(std::move(dbName));
}

bool CSQLDumpLiveSync::restoreDBS(std::list<SqlRestoreDbInfo_t>& dbs) {
    const bool result = CSQLDumpRestore::restoreDBS(dbs);
    // The loop counted each database restoreDB answered for as restored; a
    // skipped one is neither restored nor failed.
    for (const auto& [target, reason] : m_skippedThisRun) {
        if (m_restoredDbCount > 0) --m_restoredDbCount;
        SetRestoreStatus(target, RESTORE_STATUS_SKIPPED);
        if (m_pRstJobClnt) {
            *m_pRstJobClnt << target.c_str() << reason.c_str();
            (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseLiveSyncDatabase);  // a report only
        }
    }
    m_skippedThisRun.clear();
    return result;
}

CWzError CSQLDumpLiveSync::GetApplicationIDsFromAfiles(const SqlRestoreDbInfo_t& db, std::set<uint64_t>& ids) {
    std::set<uint64_t>& known = m_appIDsOfDatabase[SourceName(db)];
    CWzError error = CSQLDumpRestore::GetApplicationIDsFromAfiles(db, known);
    ids.insert(known.begin(), known.end());
    return error;
}
