// CSQLRestoreBase: the restore of one database from its backup chain,
// oldest backup first, then its final recovery and, when the options ask
// for it, its move to another instance.
#include <strings.h>

#include <algorithm>
#include <ctime>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreDropConnections.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/CsqlDMO.h"

namespace {

constexpr uint64_t kLastVersionWithoutSystemRecovery = 8;
constexpr const char* kNoOverwriteText =
    "Skipping Restore because the user has not selected unconditional overwrite option.";

// Backup methods of snapshot and VSS backups, which this platform cannot restore.
bool IsSnapshotMethod(uint64_t method) { return method == 1 || method == 2 || method == 3 || method == 5; }

const char* BackupKindText(uint32_t type) { return type == kBackupTypeDifferential ? "differential" : "log"; }

}  // namespace

bool CSQLRestoreBase::restoreDB(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) {
    std::string target = TargetName(db);
    const std::string nameBeforeSuffix = target;
    if ((m_destinationAzure || m_destinationAzureManaged) && !m_azureRestoreJob) {
        target += "_" + std::to_string(static_cast<long long>(std::time(nullptr)));
        db.newDbName = target;
    }
    bool result = true;
    m_snapFileMap.mappedPaths.clear();
    m_snapFileMap.sourceFolders.clear();
    m_snapFileMap.destinationFolders.clear();
    const uint64_t flags = m_restoreOptions.optionFlags;

    JXPlatformInfo settings;
    int64_t restoreFilter = 0;
    int64_t ignoreErrorType = 0;
    (void)settings.getNumber("MSSQLAgent", "nSQLRestoreFilter", &restoreFilter);  // absent: 0, nothing skipped
    (void)settings.getNumber("MSSQLAgent", "nIgnoreSQLRestoreError", &ignoreErrorType);

    // Which backups are restored is decided before the database is touched:
    // STANDBY goes with the last of them and PARTIAL with the first, whatever
    // the skip rules leave out around them, and a backup this platform
    // cannot restore fails the database before anything else is done to it
    // (connections dropped, or an earlier backup restored over it).
    std::vector<ChainStep> steps;
    for (const SqlAFilesPerBackup_t& backup : chain) steps.push_back(ChainStepOf(target, backup, restoreFilter));
    // A differential snapshot that the revert brought back holds the whole
    // database: the full under it came back with it, and restoring that full
    // again would undo the revert.
    const auto revertedDiff = std::find(steps.begin(), steps.end(), ChainStep::kRestoredDiffByRevert);
    auto backupAt = chain.begin();
    for (auto step = steps.begin(); revertedDiff != steps.end() && step != revertedDiff; ++step, ++backupAt) {
        if (backupAt->backupType == kBackupTypeFull && *step != ChainStep::kSkipFull) {
            *step = ChainStep::kRestoredFullByRevert;
        }
    }
    size_t firstRestored = 0;  // 1-based positions; 0: none
    size_t lastRestored = 0;
    backupAt = chain.begin();
    for (size_t i = 0; i < steps.size(); ++i, ++backupAt) {
        if (steps[i] == ChainStep::kUnsupported) {
            ReportUnsupportedBackupMethod(*backupAt);
            return false;
        }
        if (steps[i] != ChainStep::kRestore) continue;
        if (firstRestored == 0) firstRestored = i + 1;
        lastRestored = i + 1;
    }

    if (!m_applessRestore) {
        CsqlDMO dmo;
        if (!InitializeDmo(dmo)) {
            EV_DEBUG(m_logger, 1, "Failed to initialize SQL server. Check if SQL Services [%s] are offline.",
                     m_sServername.c_str());
            return false;
        }
        if ((flags & kRstOverwrite) == 0 && !m_verifyOnly && !m_restoreToDisk) {
            if (dmo.isDatabaseExists(target)) {
                EV_ERROR(m_logger, "%s", kNoOverwriteText);
                if (m_pRstJobClnt) {
                    *m_pRstJobClnt << kNoOverwriteText;
                    (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseDatabaseExists);
                }
                return false;
            }
            EV_DEBUG(m_logger, 1, "Database [%s] does not exist", target.c_str());
        }
        if ((flags & kRstDropDbConnections) != 0 && dmo.isDatabaseStandby(m_sServername, target)) {
            if (!jxsql::DropConnectionsForRestore(dmo, m_sServername, target, m_logger, m_pRstJobClnt.get())) {
                return false;
            }
        }
    }

    bool stopped = false;
    bool lastRestoredOk = false;
    const size_t count = chain.size();
    size_t index = 0;
    for (SqlAFilesPerBackup_t& backup : chain) {
        ++index;
        if (QuitRequested()) {
            EV_ERROR(m_logger, "Stop requested; the restore of database [%s] ends before backup [%zu] of [%zu].",
                     target.c_str(), index, count);
            result = false;
            stopped = true;
            break;
        }
        m_isFirstBackupOfChain = index == firstRestored;
        m_isLastBackupOfChain = index == lastRestored;
        switch (steps[index - 1]) {
        case ChainStep::kRestore:
            break;
        case ChainStep::kSkipFull:
            continue;
        case ChainStep::kSkipOnlyFull:
            EV_DEBUG(m_logger, 1, "Skipping %s backup because [Restore Only Full Backup] option is set.",
                     BackupKindText(backup.backupType));
            continue;
        case ChainStep::kRestoredFullByRevert:
            EV_DEBUG(m_logger, 1, "Skipping full backup as it was restored through revert");
            continue;
        case ChainStep::kRestoredDiffByRevert:
            EV_DEBUG(m_logger, 1, "Skipping differential backup as it was restored through revert");
            continue;
        case ChainStep::kUnsupported:
            return false;  // refused before the loop
        case ChainStep::kFiltered:
            EV_DEBUG(m_logger, 1, "nSQLRestoreFilter is set to [%ld] skipping restoring backup of type [%d]",
                     static_cast<long>(restoreFilter), static_cast<int>(backup.backupType));
            continue;
        }
        if (m_restoreToDisk) {
            // Every backup must reach the disk: one that failed keeps the
            // database failed even when a later one succeeds.
            if (!restoreVDIBackupToDisk(db, backup)) {
                result = false;
                if (IsRestoreToDiskLogShipping() || TransferLeftRunning()) break;
                continue;
            }
            if (IsRestoreToDiskLogShipping()) {
                unsigned long point = static_cast<unsigned long>(backup.endTime);
                CWzError err = RecordLastRestorePointForRTD(target, point);
                if (err.IsError()) {
                    EV_ERROR(m_logger, "Failed to record the last restore point of [%s]: %s", target.c_str(),
                             err.AsString().c_str());
                }
            }
            continue;
        }
        if (!restoreVDIBackup(db, backup, {}, {})) {
            if (TransferLeftRunning()) {
                // Its transfer still runs: nothing more goes into this database.
                result = false;
                stopped = true;
                break;
            }
            if (static_cast<int64_t>(backup.backupType) == ignoreErrorType) {
                EV_DEBUG(m_logger, 1,
                         "nIgnoreSqlRestoreError is set to [%ld] ignoring error during restore of backup type [%d]",
                         static_cast<long>(ignoreErrorType), static_cast<int>(backup.backupType));
                continue;
            }
            result = false;
            break;
        }
        if (m_isLastBackupOfChain) lastRestoredOk = true;
    }
    if (m_restoreToDisk || stopped) return result;

    if (result && (flags & kRstStandby) != 0 && (flags & kRstNoRecovery) == 0 && !m_verifyOnly &&
        !lastRestoredOk) {
        // STANDBY comes with the last backup restored: without it the
        // database is left RESTORING, which is not what the job asked for.
        ReportStateNotReached(target, "STANDBY",
                              lastRestored == 0 ? "no backup of its chain was restored"
                                                : "the last backup of its chain was not restored");
        result = false;
    }
    result = FinalRecovery(db, target, result);
    if (!result) return false;

    const SqlSnapDestinationInstance_t& destination = m_restoreOptions.snapDestination;
    if (destination.instanceId != 0 && destination.instanceId != m_restoreOptions.sourceInstanceId &&
        !MoveDatabaseToSnapDestination(db, target)) {
        return false;
    }
    if (!m_azureRestoreJob && !m_awsRestoreJob && (m_destinationAzure || m_destinationAzureManaged)) {
        result = restoreFromOnPremToAzureOrManagedAzure(nameBeforeSuffix, target);
    }
    return result;
}

CSQLRestoreBase::ChainStep CSQLRestoreBase::ChainStepOf(const std::string& target, const SqlAFilesPerBackup_t& backup,
                                                        int64_t restoreFilter) const {
    const uint64_t flags = m_restoreOptions.optionFlags;
    const bool full = backup.backupType == kBackupTypeFull;
    if ((flags & kRstSkipFull) != 0 && full) return ChainStep::kSkipFull;
    if ((flags & kRstOnlyFull) != 0 && !full) return ChainStep::kSkipOnlyFull;
    if (m_revertRestore && full && m_fullRestoredByRevert && RestoredByRevert(target, backup)) {
        return ChainStep::kRestoredFullByRevert;
    }
    if (m_revertRestore && backup.backupType == kBackupTypeDifferential && m_diffRestoredByRevert &&
        RestoredByRevert(target, backup)) {
        return ChainStep::kRestoredDiffByRevert;
    }
    if (IsSnapshotMethod(backup.backupMethod) || backup.vssFlag) return ChainStep::kUnsupported;
    if (static_cast<int64_t>(backup.backupType) == restoreFilter) return ChainStep::kFiltered;
    return ChainStep::kRestore;
}

void CSQLRestoreBase::ReportUnsupportedBackupMethod(const SqlAFilesPerBackup_t& backup) {
    EV_ERROR(m_logger, "Restore from Backup method [%d] is not supported on Unix.",
             static_cast<int>(backup.backupMethod));
}

bool CSQLRestoreBase::FinalRecovery(SqlRestoreDbInfo_t& db, const std::string& target, bool chainResult) {
    const uint64_t flags = m_restoreOptions.optionFlags;
    const bool leaveUnrecovered = (flags & (kRstNoRecovery | kRstStandby)) != 0;
    if (m_sqlMajorVersion <= kLastVersionWithoutSystemRecovery) {
        if (chainResult && !isSystemDb(db.databaseId) && !leaveUnrecovered) {
            return doDbRecoverOnly(db, /*omitFileGroup=*/false, /*forceRecovery=*/false, /*ffgRecovery=*/false);
        }
        return chainResult;
    }
    if (strcasecmp(target.c_str(), "model") == 0 || strcasecmp(target.c_str(), "msdb") == 0) {
        // These must come back online whatever happened to their chain, but
        // a failed chain keeps the database failed.
        const bool recovered =
            doDbRecoverOnly(db, /*omitFileGroup=*/false, /*forceRecovery=*/false, /*ffgRecovery=*/false);
        if (m_stopSqlAgent) (void)startSSA();  // does nothing on this platform
        return chainResult && recovered;
    }
    if (chainResult && !leaveUnrecovered)
        return doDbRecoverOnly(db, /*omitFileGroup=*/false, /*forceRecovery=*/false, /*ffgRecovery=*/false);
    return chainResult;
}

void CSQLRestoreBase::ReportStateNotReached(const std::string& target, const char* state, const char* reason) {
    const std::string text = "Database [" + target + "] was not left in " + state + ": " + reason + ".";
    EV_ERROR(m_logger, "%s", text.c_str());
    if (m_pRstJobClnt) {
        *m_pRstJobClnt << text.c_str();
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreFailed);  // the database fails through its result
    }
}
