// CSQLRestoreBase: what a revert restore checks before it reverts: whether
// the task allows a revert, whether system databases are among the job's
// databases, and which snapshot backup jobs a database's chain holds.
#include <cinttypes>

#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"

namespace {

// The backup methods of snapshot backups.
bool IsSnapMethod(uint64_t method) { return method == 2 || method == 3; }

uint64_t FirstArchiveFileCell(const SqlAFilesPerBackup_t& backup) {
    return backup.archiveFiles.empty() ? 0 : backup.archiveFiles.front().jxCellId;
}

}  // namespace

bool CSQLRestoreBase::validateIfRevertPossible() {
    const uint64_t flags = m_restoreOptions.optionFlags;
    if ((flags & kRstStepRestore) != 0 || (flags & kRstStandby) != 0 || m_restoreOptions.pointInTime == 0) {
        EV_ERROR(m_logger, "Step restore, Stand-By restore or Restore latest backup data cannot be performed using revert");
        return false;
    }
    return true;
}

bool CSQLRestoreBase::checkIfSystemDbsArePresent() {
    for (const SqlRestoreDbInfo_t& db : m_restoreDbList) {
        const std::string name = TargetName(db);
        uint64_t id = 0;
        if (!getDatabaseId(name, id)) {
            EV_DEBUG(m_logger, 3, "get databaseid failed for database %s", name.c_str());
            id = 0;
        }
        if (CSQLBase::isSystemDb(id)) return true;
    }
    return false;
}

bool CSQLRestoreBase::GetSnapJobDetailsFromBackupList(uint32_t type, SqlSnapJobDetails_t& details,
                                                      std::list<SqlAFilesPerBackup_t>& backups) {
    for (const SqlAFilesPerBackup_t& backup : backups) {
        if (backup.backupType != type || !IsSnapMethod(backup.backupMethod)) continue;
        details.jobId = backup.jobId;
        details.jobType = static_cast<char>(type);
        details.jobEndTime = backup.endTime;
        details.appId = backup.applicationId;
        details.jxCellId = FirstArchiveFileCell(backup);
        EV_DEBUG(m_logger, 2,
                 "Found job details. JobId [%" PRIu64 "] AppId [%" PRIu64 "] JobType [%c] JobEnd [%" PRIu64
                 "] Jxcell [%" PRIu64 "].",
                 details.jobId, details.appId, details.jobType, details.jobEndTime, details.jxCellId);
    }
    return true;
}

bool CSQLRestoreBase::getBackupJobAppId(uint32_t type, uint64_t& jobId, uint64_t& appId, uint64_t& cellId,
                                        std::list<SqlAFilesPerBackup_t>& backups) {
    for (const SqlAFilesPerBackup_t& backup : backups) {
        if (backup.backupType != type || !IsSnapMethod(backup.backupMethod)) continue;
        jobId = backup.jobId;
        appId = backup.applicationId;
        cellId = FirstArchiveFileCell(backup);
        EV_DEBUG(m_logger, 2, "Jobid = %" PRIu64 " appid = %" PRIu64, jobId, appId);
    }
    return true;
}
