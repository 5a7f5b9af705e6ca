// SnapshotBackupJob: lists the walk's databases for the snapshot and has
// the snapshot engine snap them before the job records the snapshot.
#include "tools/jobs/SnapshotBackupJob.h"

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "WzUtils/FXString.h"

bool SnapshotBackupJob::IsSnapshotPhase() const { return m_isSnapBackup && m_bkyType != JXSQL_BACKUP_LOG; }

bool SnapshotBackupJob::doDbBackup(CsqlDMO& sqlConnection, const wchar_t* databaseName,
                                   unsigned long collectFileOffset, bool& connectionValid, bool& converted,
                                   JobManager::SQLStatusTab* record) {
    if (!IsSnapshotPhase()) {
        return CSQLBackup::doDbBackup(sqlConnection, databaseName, collectFileOffset, connectionValid, converted,
                                      record);
    }
    if (databaseName == nullptr) return false;
    m_snapDatabases.push_back(FXString::ToString(std::wstring(databaseName)));
    return true;
}

bool SnapshotBackupJob::doVSSSnapBackup(std::vector<std::string>& databases) {
    if (!IsSnapshotPhase()) return CSQLBackup::doVSSSnapBackup(databases);
    JXSnapClientAPI::SnapRequest request;
    request.jobId = m_jobId;
    request.instance = m_sServername;
    request.databases = databases;
    request.levelName = m_backupLevelName;
    request.historyType = getSqlBackupType(true);
    if (GetJobresultsDir(request.metadataDirectory, m_jxCellId, m_appNumber) != 0) {
        EV_ERROR(m_logger, "Failed to get job results directory for the snapshot metadata.");
        return false;
    }
    std::vector<std::string> volumes;
    std::string error;
    if (!JXSnapClientAPI::snapDatabases(request, volumes, error)) {
        EV_ERROR(m_logger, "Failed to snap the databases: %s", error.c_str());
        return false;
    }
    m_snapVolInfo.reset(0);
    m_snapVolInfo.setJobId(m_jobId);
    m_snapVolInfo.setSnapJobId(m_jobId);
    if (!reserveArchFileForVolume(volumes)) return false;
    m_snapVolInfo.setNumOfSnap(m_snapVolInfo.numOfVolume());
    return CSQLBackup::doVSSSnapBackup(databases);
}
