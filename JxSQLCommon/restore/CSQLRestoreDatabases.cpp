// CSQLRestoreBase: the per-database restore loop. It sets up the job's
// data-transfer handler (stage folder, switches), restores every database of
// the ordered list through restoreDB and keeps the counters and per-object
// results that decide the job's status.
#include <unistd.h>

#include <cinttypes>
#include <cstdlib>

#include "JXAppMgr/ApplicationTypeMSSQL.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/FileGroupEntry.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXString.h"

namespace {

constexpr const char* kAgentSection = "MSSQLAgent";
constexpr int kAppTypeMSSQL = 81;
constexpr uint64_t kFirstVersionWithAvailabilityGroups = 11;

}  // namespace

bool CSQLRestoreBase::restoreDBS(std::list<SqlRestoreDbInfo_t>& dbs) {
    SetUpTransferHandler();
    if ((m_restoreOptions.optionFlags & kRstRecoveryOnly) != 0) return recoverDbsOnly(dbs);

    ReadIgnoreArchiveFileOffset();

    if (!m_applessRestore) {
        CsqlDMO dmo;
        if (!InitializeDmo(dmo)) {
            // Nothing can be restored into an instance that cannot be reached:
            // every database fails, naming the instance.
            EV_ERROR(m_logger, "Failed to initialize SQL server. Check if SQL Services [%s] are offline.",
                     m_sServername.c_str());
            for (const SqlRestoreDbInfo_t& db : dbs) {
                RecordFailedDatabase(TargetName(db));
            }
            if (m_pRstJobClnt) {
                std::string text = "Failed to connect to SQL Server instance [" + m_sServername +
                                   "]. Check if SQL Services are offline.";
                *m_pRstJobClnt << text.c_str();
                (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreFailed);
            }
            FinishRestoreLoop();
            return true;
        }
        unsigned long dateFormat = 0;
        if (dmo.getDateFormat(m_sServername, dateFormat)) m_dateFormat = dateFormat;
    }

    for (auto it = dbs.begin(); it != dbs.end(); ++it) {
        if (m_stopJob || QuitRequested() || TransferLeftRunning()) {
            // The rest of the list is not restored: a stop request, a
            // failure that must end the job, or a transfer that still runs.
            EV_ERROR(m_logger, "The job is stopping; [%zu] databases are not restored.",
                     static_cast<size_t>(std::distance(it, dbs.end())));
            for (; it != dbs.end(); ++it) RecordSkippedDatabase(TargetName(*it));
            break;
        }
        SqlRestoreDbInfo_t db = *it;
        const std::string target = TargetName(db);
        const bool fileGroups = (m_restoreOptions.optionFlags & kRstFileFileGroup) != 0;

        if (m_sqlMajorVersion >= kFirstVersionWithAvailabilityGroups && !m_applessRestore) {
            // A file or file-group entry packs the file (group) after the
            // database's name: the group membership is the database's.
            const std::string database = fileGroups ? SplitFileGroupEntry(target).database : target;
            CsqlDMO dmo;
            std::string group;
            std::string replica;
            if (InitializeDmo(dmo) && dmo.isDatabaseInAvailableGroup(database, group, replica)) {
                SkipDatabase(database, kCauseInAvailabilityGroup);
                EV_ERROR(m_logger,
                         "Skipping database [%s]. RESTORE statements are not allowed on either the primary or "
                         "secondary databases of an availability group",
                         database.c_str());
                if (fileGroups) {
                    // Every entry of the list is of this one database.
                    FinishRestoreLoop();
                    return true;
                }
                continue;
            }
        }
        if (m_destinationAzureManaged && isSystemDb(db.databaseId)) {
            SkipDatabase(target, kCauseSystemDbToManagedInstance);
            EV_ERROR(m_logger,
                     "Skipping database [%s]. Restore of system databases to Azure SQL Database Managed Instance is "
                     "not supported. To migrate instance level objects(stored in master or msdb databases), script "
                     "them out and run T - SQL scripts on the destination instance.",
                     target.c_str());
            continue;
        }

        if (fileGroups) {
            // The whole list is one file or file-group restore of one database.
            const bool result = RestoreFilesOfDatabase(dbs, target);
            FinishRestoreLoop();
            return result;
        }

        std::list<SqlAFilesPerBackup_t> chain;
        if (!db.restoreChain.empty()) {
            chain = db.restoreChain;
        } else if (!getAFilesToRestore(false, db, chain)) {
            RecordFailedDatabase(target);
            continue;
        }

        const std::string watchName = "Time taken to restore Db " + target;
        CStopWatch watch;
        if (!restoreDB(db, chain)) {
            RecordFailedDatabase(target);
            continue;
        }
        watch.Stop();
        EV_DEBUG(m_logger, 2, "%s = %f", watchName.c_str(), watch.Time());
        ++m_restoredDbCount;
        SetRestoreStatus(target, m_verifyOnly ? RESTORE_STATUS_VERIFIED : RESTORE_STATUS_RESTORED);
        if (m_pRstJobClnt) {
            (void)m_pRstJobClnt->setNoDBsRestoredSoFar(static_cast<int64_t>(m_restoredDbCount));
            (void)m_pRstJobClnt->updateInfo(false, nullptr);
        }
        // A failed status update is logged there; the database stays restored.
        (void)UpdateDBLiveSyncStatus(db.sDbName);
    }
    FinishRestoreLoop();
    return true;
}

void CSQLRestoreBase::SetUpTransferHandler() {
    m_dataTransferHandler =
        SqlDataTransferHandler(false, m_jobId, m_appNumber, m_jxCellId, m_jxServerHostName, getBkpType(), 0);
    m_dataTransferHandler.setJobControllerObject(m_pJobCtrlClnt);
    m_dataTransferHandler.setRstJobControllerObject(m_pRstJobClnt ? m_pRstJobClnt->Get() : nullptr);
    m_dataTransferHandler.setRestoreStageFolder(ChooseStageFolder());
    if (m_disableAuxCopyRestore != 0) {
        m_dataTransferHandler.disableAuxCopyRestore();
        EV_DEBUG(m_logger, 2, "Disabling new approach of restore for Combined AuxCopy.");
    }
    if (m_disableRestoreOptimization != 0) m_dataTransferHandler.disableRestoreOptimization();
    if (m_restoreToDisk) {
        m_dataTransferHandler.setRestoreToDiskPath(m_dumpLocation);
        m_dataTransferHandler.setRestoreToDisk(true);
    }
}

bool CSQLRestoreBase::RestoreFilesOfDatabase(std::list<SqlRestoreDbInfo_t>& dbs, const std::string& target) {
    EV_INFO(m_logger, "This is a FFG restore for [%s].", target.substr(0, target.find('\x12')).c_str());
    const std::string watchName = "Time taken to restore FFG for Db " + target;
    CStopWatch watch;
    const bool result = restoreFileFileGroups(dbs);
    if (!result) {
        if (m_pRstJobClnt) m_pRstJobClnt->setNumFailures2Add(1);
        SetRestoreStatusForFFG(RESTORE_STATUS_FAILED);
    } else {
        watch.Stop();
        EV_DEBUG(m_logger, 2, "%s = %f", watchName.c_str(), watch.Time());
        if (m_pRstJobClnt) (void)m_pRstJobClnt->setNoDBsRestoredSoFar(static_cast<int64_t>(m_restoredDbCount));
        SetRestoreStatusForFFG(RESTORE_STATUS_RESTORED);
    }
    if (m_pRstJobClnt) (void)m_pRstJobClnt->updateInfo(false, nullptr);  // progress only
    return result;
}

void CSQLRestoreBase::FinishRestoreLoop() {
    m_snapCopyRestoreHandler.UnmountAllVolumes();
    // A transfer that was let go keeps the handler to itself.
    if (m_disableRestoreOptimization == 0 && !TransferLeftRunning() &&
        !m_dataTransferHandler.closePipeline(0, false)) {
        EV_WARN(m_logger, "Failed to close the restore pipeline: %s",
                m_dataTransferHandler.getLastErrorString().c_str());
    }
    m_dataTransferHandler.setJobControllerObject(nullptr);
}

void CSQLRestoreBase::RecordFailedDatabase(const std::string& target) {
    ++m_failedDbCount;
    if (m_pRstJobClnt) m_pRstJobClnt->setNumFailures2Add(1);
    SetRestoreStatus(target, RESTORE_STATUS_FAILED);
    if (m_pRstJobClnt) (void)m_pRstJobClnt->updateInfo(false, nullptr);  // progress only
}

void CSQLRestoreBase::RecordSkippedDatabase(const std::string& target) {
    ++m_failedDbCount;
    if (m_pRstJobClnt) m_pRstJobClnt->setNumSkipped2Add(1);
    SetRestoreStatus(target, RESTORE_STATUS_SKIPPED);
    if (m_pRstJobClnt) (void)m_pRstJobClnt->updateInfo(false, nullptr);  // progress only
}

void CSQLRestoreBase::SkipDatabase(const std::string& target, int cause) {
    ++m_failedDbCount;
    if (m_pRstJobClnt) m_pRstJobClnt->setNumSkipped2Add(1);
    SetRestoreStatus(target, RESTORE_STATUS_SKIPPED);
    if (m_pRstJobClnt) {
        *m_pRstJobClnt << target.c_str();
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(cause);
        (void)m_pRstJobClnt->updateInfo(false, nullptr);
    }
}

bool CSQLRestoreBase::InitializeDmo(CsqlDMO& dmo) {
    if (!m_sqlUser.empty()) {
        dmo.setUserName(m_sqlUser);
        dmo.setPassword(m_sqlPassword);
    }
    dmo.setInstanceId(m_instanceId);
    return dmo.initialize(m_sServername);
}

std::string CSQLRestoreBase::ChooseStageFolder() {
    std::string guiFolder;
    bool guiEnabled = false;
    ApplicationTypeMSSQL appType(m_restoreOptions.destinationClientId, kAppTypeMSSQL);
    if (appType.getStagingPathForRestoresEnabled(guiEnabled) == 0 && guiEnabled &&
        appType.getStagingPath(guiFolder) != 0) {
        EV_WARN(m_logger, "Failed to get stage folder set in GUI.");
        guiFolder.clear();
    }
    std::string keyFolder;
    if (JXPlatformInfo().getString(kAgentSection, "sStageFolderAuxCopyRestore", keyFolder) == 0) {
        EV_WARN(m_logger, "Failed to read the registry key 'sStageFolderAuxCopyRestore'.");
        keyFolder.clear();
    }
    std::string folder;
    if (!keyFolder.empty() && guiFolder.empty()) {
        folder = keyFolder;
        EV_WARN(m_logger,
                "RegKey stage folder is set, GUI stage folder is empty. Setting stage folder to RegKey stage "
                "folder: [%s]",
                folder.c_str());
    } else if (!keyFolder.empty()) {
        folder = guiFolder;
        if (m_pRstJobClnt) {
            *m_pRstJobClnt << "sStageFolderAuxCopyRestore";
            m_pRstJobClnt->InfoEvent(kEventStageFolderFromGui);
        }
        EV_WARN(m_logger,
                "RegKey stage folder is set, GUI stage folder is set. Setting stage folder to GUI stage folder[%s]",
                folder.c_str());
    } else if (!guiFolder.empty()) {
        folder = guiFolder;
        EV_WARN(m_logger,
                "RegKey stage folder is empty, GUI stage folder is set. Setting stage folder to GUI stage folder: "
                "[%s]",
                folder.c_str());
    } else {
        folder = m_jobResultsDirectory;
        EV_WARN(m_logger,
                "RegKey stage folder is empty, GUI stage folder is empty. Setting stage folder to default stage "
                "folder: [%s]",
                folder.c_str());
    }
    if (::access(folder.c_str(), F_OK) != 0) {
        EV_WARN(m_logger, "Stage Folder [%s] is not accessible/doesn't exist. Using JR directory as stage folder.",
                folder.c_str());
        folder = m_jobResultsDirectory;
    }
    return folder;
}

void CSQLRestoreBase::ReadIgnoreArchiveFileOffset() {
    bool ignore = false;
    std::string global;
    if (JXGlobalParam::getProperty("IgnoreArchiveFileOffset", global) == 0) {
        FXString::TrimWhiteSpace(global);
        ignore = std::atoll(global.c_str()) != 0;
        EV_DEBUG(m_logger, 1, "Global parameter IgnoreArchiveFileOffset is set to [%s]", ignore ? "True" : "False");
    }
    int64_t setting = 0;
    if (JXPlatformInfo().getNumber(kAgentSection, "bIgnoreArchiveFileOffset", &setting) != 0) {
        ignore = setting != 0;
        EV_DEBUG(m_logger, 1, "Registry key bIgnoreArchiveFileOffset is set to [%s]", ignore ? "True" : "False");
    }
    m_dataTransferHandler.setIgnoreArchiveFileOffset(ignore);
}

void CSQLRestoreBase::ReadNzdstHandling() {
    std::string global;
    if (JXGlobalParam::getProperty("NZDSTHandling", global) == 0) {
        FXString::TrimWhiteSpace(global);
        m_nzdstHandling = std::strtoull(global.c_str(), nullptr, 10);
        EV_DEBUG(m_logger, 1, "Global parameter NZDSTHandling is [%s]",
                 m_nzdstHandling != 0 ? "Enabled" : "Disabled");
    }
    if (JXPlatformInfo().getNumber(kAgentSection, "bNZDSTHandling", &m_nzdstHandling) != 0) {
        EV_DEBUG(m_logger, 1, "Registry key bNZDSTHandling is [%s]", m_nzdstHandling != 0 ? "Enabled" : "Disabled");
    }
}
