// CSQLBackup: the snapshot backup. After the snapshot engine snapped the
// volumes of the job's databases, the job uploads the snapshot metadata to
// the index, records one backup set per database from the backup history
// that the snapshot left, keeps each database's status-tab entry and may
// check the snapshot copy. Around it: one archive file per snapped volume,
// the engine parameters, and refreshing and deleting the job's snapshots.
#include <cinttypes>
#include <string>
#include <vector>

#include "JXAppMgr/JXClient.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxLib/JXPIAgent.h"
#include "JxPipelineSetupUtility/JXArchive.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"

namespace {

using JobManager::SQLStatusTab;

constexpr uint64_t kLrepEngine = 3;
constexpr uint64_t kNoCheckEngine = 15;
constexpr uint64_t kLrepVsaEngine = 48;
constexpr int kSnapMethod = 2;
constexpr uint32_t kApplicationTypeSql = 81;
constexpr uint32_t kSnapActionFlags = 2;
constexpr uint32_t kRetrieveValidFlags = 33;
constexpr int kDeleteMode = 3;

}  // namespace

bool CSQLBackup::doVSSSnapBackup(std::vector<std::string>& databases) {
    try {
        if (m_snapEngineType == kLrepEngine) {
            if (isReplicationEnabledAtSPLevel(static_cast<int>(m_jxCellId), static_cast<int>(m_appNumber))) {
                m_isDDRSnapshot = true;
                m_bLREP = true;
            }
        } else if (m_snapEngineType == kLrepVsaEngine) {
            m_isDDRSnapshot = true;
            m_bLREPVSA = true;
        } else if (m_snapEngineType == kNoCheckEngine) {
            m_isDDRSnapshot = true;
        }
        EV_DEBUG(m_logger, 2, "DDR Snapshot is [%s].", m_isDDRSnapshot ? "ENABLED" : "DISABLED");
        if (m_isDDRSnapshot) return false;

        std::vector<std::string> lrepFiles;
        if (!updateIndex(&lrepFiles)) return false;

        for (const std::string& database : databases) {
            SQLStatusTab entry;
            entry.setstring(SQLStatusTab::kInstanceName, m_sServername);
            entry.setstring(SQLStatusTab::kDatabaseName, database);
            entry.setint64(SQLStatusTab::kBackupValue, 0);
            entry.setint64(SQLStatusTab::kDatabasePhase, 0);
            entry.setint64(SQLStatusTab::kBackupPhase, m_bkpPhase);
            entry.setint64(SQLStatusTab::kStatus, JobManager::kDBStatusBackedUp);
            entry.setstring(SQLStatusTab::kReason, "");
            entry.setint64(SQLStatusTab::kInitiatedFrom, m_initiatedFrom);
            entry.setint64(SQLStatusTab::kSkipReason, 0);
            const std::string callerText;
            EV_DEBUG(m_logger, 2, "TimeStamp = %s", callerText.c_str());

            uint64_t databaseId = 0;
            if (!getDatabaseId(database, databaseId)) {
                EV_DEBUG(m_logger, 3, "Failed to get the database id for [%s]. Check if the database exists.",
                         database.c_str());
                // The database is still recorded, under id 0.
                RaisePendingCause(kCauseDatabaseId, database);
                databaseId = 0;
            }
            m_currentDatabaseId = databaseId;
            if (!updateSnapBackupInfo(m_sServername, database, callerText, &entry)) {
                entry.setint64(SQLStatusTab::kStatus, JobManager::kDBStatusFailed);
                entry.setstring(SQLStatusTab::kFailureReason, "Failed to update backup information to CS.");
                (void)UpdateStatusTabInformationToCS(&entry);  // it logs its own failure
                return false;
            }
            if (entry.getint64(SQLStatusTab::kStatus) == JobManager::kDBStatusBackedUp) {
                (void)UpdateDatabaseInformationToCS(&entry);  // it logs its own failure
            } else {
                (void)UpdateStatusTabInformationToCS(&entry);
            }
        }
        if (m_snapEngineType != kNoCheckEngine && m_bIntegrityCheck) {
            std::string user;
            return launchSQLIntegrityCheck(user);
        }
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception in VSS Snap backup");
        return false;
    }
}

bool CSQLBackup::updateSnapBackupInfo(std::string instance, std::string databaseName, std::string callerText,
                                      JobManager::SQLStatusTab* statusTab) {
    try {
        CsqlDMO sql;
        if (!sql.initialize(instance)) {
            EV_ERROR(m_logger, "Failed to initialize SQL server during VSS backup to get backupinfo.");
            RaisePendingCause(kCauseSqlConnect);
            return false;
        }
        std::string xml;
        if (!sql.updateBackupSetInfo_10(FXString::ToWstring(databaseName), xml, getSqlBackupType(true))) {
            EV_ERROR(m_logger, "Failed to update sql tables");
            m_bJobFailed = true;
            RaisePendingCause(kCauseHistoryUpdate, databaseName);
            return false;
        }
        int errorCode = 0;
        return sendBackupSetInfoToCS(xml, kSnapMethod, callerText, &errorCode, statusTab, false);
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception during updateSnapInfo");
        return false;
    }
}

bool CSQLBackup::setAfileInfoToRequestForSnap(SQLBackupSetInfoReq_VER5_t& request) {
    const int count = m_snapVolInfo.numOfVolume();
    if (count == 0) {
        // A record without archive files could never be restored.
        EV_ERROR(m_logger, "The snapshot holds no volume to record an archive file for.");
        return false;
    }
    request.archives = new JXSQLBackupArchiveInfo_VER1_t[static_cast<size_t>(count)];
    request.archiveCount = static_cast<uint32_t>(count);
    size_t i = 0;
    for (auto v = m_snapVolInfo.volumeListBegin(); v != m_snapVolInfo.volumeListEnd(); ++v, ++i) {
        JXSQLBackupArchiveInfo_VER1_t& entry = request.archives[i];
        entry.jxCellId = v->getJxCellId();
        entry.archiveFileId = v->getArchFileId();
        entry.offset = 0;
        const std::string& path = v->getSourcePath();
        entry.sourcePath = new char[path.size() + 1];
        path.copy(entry.sourcePath, path.size());
        entry.sourcePath[path.size()] = '\0';
        request.archiveGroupId = v->getGroupId();
    }
    return true;
}

bool CSQLBackup::reserveArchFileForVolume(std::vector<std::string>& volumePaths) {
    try {
        std::string clientName;
        JXPI_JxClient().getClientName(clientName);
        uint64_t clientId = 0;
        if (JXClient(clientName).getClientId(clientId) != 0) {
            EV_ERROR(m_logger, "Failed to get the id of client [%s].", clientName.c_str());
            return false;
        }
        JXArchive archive;
        CreateArgs_t args;
        args.backupType = static_cast<uint32_t>(getBkpType());
        args.flags = 1;
        args.appNumber = m_appNumber;
        args.clientId = clientId;
        args.appType = kApplicationTypeSql;
        args.instanceId = m_instanceId;
        args.jxCellId = static_cast<uint32_t>(m_jxCellId);
        archive.SetJobID(m_jobId);
        for (const std::string& path : volumePaths) {
            SMVolumeInfo volume;
            volume.setSourcePath(path);
            volume.setJobId(m_jobId);
            volume.setJxCellId(static_cast<uint32_t>(m_jxCellId));
            volume.setSourceClientId(clientId);
            volume.setAppType(kApplicationTypeSql);
            if (archive.CreateArchiveForSnapBackup(args) != 0) {
                EV_ERROR(m_logger, "Failed to Create Archive");
                return false;
            }
            const ArchiveFileId_t& id = archive.GetArchiveFileId();
            EV_DEBUG(m_logger, 2, "Archive File ID is : [%ld]", static_cast<long>(id.archiveFileId));
            volume.setArchFileId(id.archiveFileId);
            volume.setGroupId(id.archiveGroupId);
            if (archive.closeAfile() != 0) {
                EV_ERROR(m_logger, "Failed to Close Archive");
                return false;
            }
            m_snapVolInfo.addVolume(volume);
        }
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception in reserving archfile for each volume");
        return false;
    }
}

bool CSQLBackup::encodeXMLAndinitiateHandshake() {
    m_snapVolInfo.setSourceClientId(m_clientId);
    m_snapVolInfo.setCopyParamType(2);
    m_snapVolInfo.setCopyParam(0);
    m_snapVolInfo.setSnapEngineId(m_snapEngineType);
    m_snapVolInfo.setJobId(m_jobId);
    return true;
}

bool CSQLBackup::updateSnapshotInfo() {
    m_snapVolInfo.reset(0);
    m_snapVolInfo.setJobId(m_jobId);
    m_snapVolInfo.setSnapJobId(m_jobId);
    m_snapVolInfo.setSnapActionFlags(kSnapActionFlags);
    m_snapVolInfo.setRetrieveValidFlags(kRetrieveValidFlags);
    if (!JXSnapClientAPI::getVolumeSnaps(m_snapVolInfo)) {
        EV_ERROR(m_logger, "Failed to get updated snapshot info for JID [%" PRIu64 "].", m_jobId);
        return false;
    }
    if (m_snapVolInfo.numOfSnap() == 0) {
        EV_ERROR(m_logger, "No snapshot info returned for snapshot JID [%" PRIu64 "].", m_jobId);
        return false;
    }
    EV_DEBUG(m_logger, 2, "Snapshot information got updated successfully.");
    return true;
}

bool CSQLBackup::DeleteVolumeSnapshots() {
    m_snapVolInfo.setOperationMode(kDeleteMode);
    if (m_snapVolInfo.numOfSnap() == 0) {
        EV_DEBUG(m_logger, 2, "No internal snapshot records to act on.");
        return true;
    }
    if (!JXSnapClientAPI::deleteVolumeSnaps(m_snapVolInfo)) {
        EV_ERROR(m_logger, "Failed to delete snapshots.");
        return false;
    }
    EV_DEBUG(m_logger, 2, "Deleted snapshots.");
    return true;
}

bool CSQLBackup::getLastVssFullBackupTime(unsigned long appId, std::string instance, unsigned long value,
                                          std::string& result) {
    CSQLClientDll requester;
    return requester.getLastVssFullBackupTime(appId, instance, value, result);
}
