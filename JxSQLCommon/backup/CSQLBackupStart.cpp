// startBackup: one backup job of one subclient from the process's start to
// the job manager's completion call. Set-up (registration, phase, streams,
// instance, snapshot and VSS switches, task options), the phase's road
// (backup), the job's status and the completion sequence.
#include <ctime>
#include <memory>
#include <string>

#include "EvTaskApiNet/EvBkpTask.h"
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/Instance.h"
#include "JXAppMgr/Subclient.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/jobbase/SQLTunableSettings.h"
#include "JxSession/CJxNetwork.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXString.h"

namespace {

constexpr int kVirtualServerCause = 0x1E000136;
constexpr int kBlockLevelPropertyCause = 0x1E00012F;
constexpr int kSqlVersionCause = 0x1E00014C;
constexpr int kLrepDiffCause = 0x1E000180;
constexpr int kBlockLevelDiffCause = 0x1E000190;
constexpr uint32_t kVssDownEvent = 0x1E00012D;
constexpr int kVssDownBlockLevelCause = 0x1E00018F;
// The job manager's control operation of a stop that still completes the job.
constexpr int kSuspendOperation = 13;
// Stream counts outside 1..64 are not usable.
constexpr int kMaxStreams = 64;
constexpr int kDefaultStreams = 2;
constexpr unsigned long kDefaultVdiTimeout = 300;
// Task options (scheduler group 5).
constexpr unsigned long kPartialOption = 27;
constexpr unsigned long kLoadingStateOption = 33;
constexpr unsigned long kCopyOnlyOption = 39;
constexpr unsigned long kCompressionOption = 64;
constexpr unsigned long kIntegrityCheckOption = 0x1D02AC87;
// Entity type of a job's error rules.
constexpr int kErrorRuleEntityType = 3;
// Snapshot engines with their own conversion refusal.
constexpr uint64_t kLrepEngine = 3;
constexpr uint64_t kLrepVsaEngine = 48;

int StreamCount(int value) {
    if (value > kMaxStreams) return kMaxStreams;
    if (value < 1) return kDefaultStreams;
    return value;
}

// A property the model does not hold reads as off; other failures are
// failures.
bool PropertyRead(int rc) { return rc == 0 || rc == JXAPPMGR_PROP_NOT_SET; }

}  // namespace

bool CSQLBackup::startBackup(BackupOptionsParser* parser, int argc, char** argv) {
    CStopWatch setupWatch;
    if (parser == nullptr) {
        EV_ERROR(m_logger, "Empty backup option parser object.");
        return false;
    }
    m_pParser = parser;
    if (parser->isAlwaysONJob()) {
        m_isAGChild = true;
        EV_DEBUG(m_logger, 1, "Backup is running in always on mode.");
        delete m_pMasterConnection;
        m_pMasterConnection = new CJxNetwork();
        bool timedOut = false;
        if (CWzError err = m_pMasterConnection->AttachBackToCaller(argc, argv, timedOut); err.IsError()) {
            EV_ERROR(m_logger, "Failed to attached with master process with error [%s].", err.AsString().c_str());
            return false;
        }
        EV_DEBUG(m_logger, 1, "Successfully attached with master process.");
    }

    bool registered = false;
    int status = JXSQL_JOB_COMPLETED;
    if (!initializeBackup(*parser, registered)) {
        if (!registered) return false;
        status = JXSQL_JOB_FAILED;
    } else if (!SetUpJob(*parser)) {
        status = JXSQL_JOB_FAILED;
    } else {
        setupWatch.Stop();
        EV_DEBUG(m_logger, 2, "Time taken to setup the environment before backup starts = %f", setupWatch.Time());
        m_pMetadataConnection = new CJxNetwork();
        status = RunPhase();
    }
    return CompleteJob(status);
}

bool CSQLBackup::SetUpJob(BackupOptionsParser& parser) {
    EvBkpTask task(m_jobId);
    if (m_bufferSize * 1024 < m_maxTransferSize) {
        EV_WARN(m_logger,
                "Application read size [%lu Bytes] is less than max transfer size [%d Bytes]. Increasing Application "
                "size to max transfer size.",
                static_cast<unsigned long>(m_bufferSize * 1024), static_cast<int>(m_maxTransferSize));
        m_bufferSize = m_maxTransferSize / 1024;
    }
    // No VSS on this platform: the VSS-differential switch stays off.
    m_vssDiffEnabled = false;

    if (parser.isDOption()) {
        SetPhase(JXSQL_BACKUP_FULL, CSQLCommon::FULLCOLLECTFILENAME, "Full");
    } else if (parser.isIOption()) {
        SetPhase(JXSQL_BACKUP_DIFF, DIFFCOLLECTFILENAME, "Differential");
    } else if (parser.isLOption()) {
        SetPhase(JXSQL_BACKUP_LOG, LOGCOLLECTFILENAME, "Transaction Log");
    }
    initializeBackupType(parser.getBackupType());
    (void)m_errorControl.Initialize(m_pJobCtrlClnt, static_cast<JxEntities::EntityType>(kErrorRuleEntityType),
                                    m_jxCellId, m_clientId, m_instanceId, m_appNumber,
                                    m_jobId);  // without rules the defaults hold

    if (m_isRBSJob) {
        m_dataStreamCount = m_logStreamCount = StreamCount(parser.getNumStreamsForRBS());
        EV_DEBUG(m_logger, 2, "For RBS, using number of data streams [%d] and log streams [%d]", m_dataStreamCount,
                 m_logStreamCount);
    } else if (m_pSubclient != nullptr) {
        int data = 0;
        int log = 0;
        (void)m_pSubclient->getDataBkpStream(data);  // an unreadable count takes the default
        (void)m_pSubclient->getLogBkpStream(log);
        (void)m_pSubclient->getBkpCOnversion(m_backupConversion);
        m_dataStreamCount = StreamCount(data);
        m_logStreamCount = StreamCount(log);
        EV_DEBUG(m_logger, 5, "For SQL Backup, number of data streams [%d] and log streams [%d] used.",
                 m_dataStreamCount, m_logStreamCount);
    }
    if (m_pSubclient == nullptr || m_pSubclient->getDDRRepSetId(m_replicaSetId) != 0) {
        EV_DEBUG(m_logger, 2, "InfoOnly:repsetId not present.");
    }
    EV_DEBUG(m_logger, 2, "DDR RepsetId = [%lu].", static_cast<unsigned long>(m_replicaSetId));
    m_isDDRSnapshot = m_replicaSetId != 0;

    if (parser.isSkipConversion()) {
        m_backupConversion = 0;
        m_bSkipConversion = true;
        EV_DEBUG(m_logger, 3, "Skipping Conversion Rules because job Manager has sent request to skip conversion");
    }

    MsSqlInstance* instance = m_applicationId.getInstance();
    GetVdiTimeout vdiTimeout(kDefaultVdiTimeout, SQL_OPERATION_BACKUP);
    if (m_isRBSJob) {
        vdiTimeout.setSubclientPtr(m_pSubclient);
    } else {
        vdiTimeout.setInstancePtr(instance);
    }
    vdiTimeout.setTaskPtr(&task);
    unsigned long seconds = 0;
    (void)vdiTimeout.getOptionValue(seconds, true);  // nothing read keeps 0, which becomes the default
    EV_DEBUG(m_logger, 2, "Using [%lu] as VDI TIMEOUT", seconds);
    m_vdiTimeout = seconds == 0 ? kDefaultVdiTimeout : seconds;

    setIsInstanceClustered(m_sServername);
    if (isInstanceClustered() && !SetEnvironmentVariable("_VIRTUAL_SERVER_NAME_", m_sServername.c_str())) {
        EV_ERROR(m_logger, "Failed to set _VIRTUAL_SERVER_NAME_ environment variable for [%s].", m_sServername.c_str());
        RaisePendingCause(kVirtualServerCause, m_sServername);
        return false;
    }

    bool useVSS = false;
    if (!m_isRBSJob) {
        if (instance != nullptr) (void)instance->isUseVSS(useVSS);  // unreadable: no VSS
        bool blockLevel = false;
        if (m_pSubclient == nullptr || !PropertyRead(m_pSubclient->isBlockLevelBackupOptimizeRecovery(blockLevel))) {
            EV_ERROR(m_logger, "Failed to get Block Level Subclient Property from appmgr api");
            RaisePendingCause(kBlockLevelPropertyCause);
            return false;
        }
        if (blockLevel) {
            useVSS = true;
            m_blockLevelEnabled = true;
        }
    }

    m_wideName = FXString::ToWstring(m_sServername);
    if (!initializeInstanceVersion()) {
        EV_ERROR(m_logger,
                 "Unable to get the SQL Version for the server [%s]. Please check if the SQL Services are running.",
                 m_sServername.c_str());
        RaisePendingCause(kSqlVersionCause, m_sServername);
        return false;
    }
    if (!m_isRBSJob && instance != nullptr) {
        if (isUpdateInstanceVersionNeeded()) {
            if (instance->setSQLVersion(m_sqlVersion) != 0) {
                EV_ERROR(m_logger, "Could not set new version [%s] for instance [%s].", m_sqlVersion.c_str(),
                         m_sServername.c_str());
                return false;
            }
            EV_DEBUG(m_logger, 2, "New version [%s] for instance [%s] is set.", m_sqlVersion.c_str(),
                     m_sServername.c_str());
        }
        if (!PropertyRead(instance->isProtectingSPDBs(m_bSharePoint))) {
            EV_WARN(m_logger,
                    "AppManager failed to get if this instance is protecting sharepoint dbs. AppManager instanceprop "
                    "lookup failed for instanceId = [%lu].",
                    static_cast<unsigned long>(m_instanceId));
        } else {
            EV_DEBUG(m_logger, 2, "[%s] sharepoint dbs.", m_bSharePoint ? "Protecting" : "Not protecting");
        }
    }

    if (!SetUpSnapshotAndVss(useVSS)) return false;
    ReadTaskOptions(task);

    uint64_t commit = 0;
    (void)JXPlatformInfo().getNumber("MSSQLAgent", "bCommitData", &commit);  // absent: 0
    m_bCommitData = commit != 0;
    EV_DEBUG(m_logger, 1, "!!!! STARTING Backup JobId [%llu] AppId [%lu] !!!!", static_cast<unsigned long long>(m_jobId),
             static_cast<unsigned long>(m_appNumber));
    initBkpType(m_bkyType);

    eSubClientTypes subclientType = SUBCLIENT_TYPE_1;
    (void)getSubclientType(subclientType);
    if (m_bkpPhase == JXSQL_BACKUP_LOG && subclientType == SUBCLIENT_TYPE_1) {
        uint64_t fromFs = 0;
        if (JXPlatformInfo().getNumber("MSSQLAgent", "backupFromFSForLog", &fromFs) == 0) {
            EV_DEBUG(m_logger, 2, "Failed to read registry key backupFromFSForLog.");
        }
        m_bLogFromFileSystem = fromFs != 0;
        EV_DEBUG(m_logger, 2, "Log backup from file system is [%s].", m_bLogFromFileSystem ? "Enabled" : "Disabled");
        if (m_bLogFromFileSystem) {
            m_bLogFromFileSystem = !ShouldProceedVDIBackup();
            m_disableLogConsistency = m_bLogFromFileSystem;
        }
    }
    EV_DEBUG(m_logger, 2, "Log backup from file system is [%s]. Log consistency check is [%s].",
             m_bLogFromFileSystem ? "Enabled" : "Disabled", m_disableLogConsistency ? "Disabled" : "Enabled");
    return true;
}

void CSQLBackup::SetPhase(JXSQLExeBackupType phase, const std::string& collectFileName, const char* levelName) {
    m_bkpPhase = phase;
    CSQLCommon::COLLECTFILENAME = collectFileName;
    m_backupLevelName = levelName;
}

bool CSQLBackup::SetUpSnapshotAndVss(bool useVSS) {
    bool snapshot = false;
    if (m_pSubclient == nullptr || m_pSubclient->isSnapBackupEnabled(snapshot) != 0) {
        snapshot = false;
        EV_DEBUG(m_logger, 2, "Failed to get Snapshot settings. Going use VDI or VSS if use VSS option is selected");
    }
    m_bVolumeLevel = false;
    m_isSnapBackup = snapshot;
    m_isSnapJob = snapshot;
    if (m_bkyType == JXSQL_BACKUP_LOG) m_isSnapBackup = false;
    if (m_isSnapJob && (m_pSubclient == nullptr || m_pSubclient->getSnapEngine(m_snapEngineType) != 0)) {
        m_snapEngineType = 0;
        EV_DEBUG(m_logger, 2, "Failed to get Snap Engine Type. Defaulting to SM_SNAPSHOT_ENGINE_NONE");
    }
    if (m_isSnapBackup && m_bkyType != JXSQL_BACKUP_LOG) useVSS = true;
    if (m_snapEngineType == kLrepEngine && isReplicationEnabledAtSPLevel(static_cast<int>(m_jxCellId),
                                                                         static_cast<int>(m_appNumber))) {
        m_isDDRSnapshot = true;
        m_bLREP = true;
    }
    if (m_snapEngineType == kLrepVsaEngine) {
        m_isDDRSnapshot = true;
        m_bLREPVSA = true;
    }
    EV_DEBUG(m_logger, 3,
             "Options set for backup. Snap Backup [%d], Snap Subclient [%d], Volume Level [%d], Vss [%d], MsftProvider "
             "[%d].",
             m_isSnapBackup, m_isSnapJob, m_bVolumeLevel, useVSS, m_useMsftProvider);
    EV_DEBUG(m_logger, 3, "Options set for backup. DDR Snapshot enabled [%d], LREP [%d], LREPVSA [%d], Snap Engine [%lu].",
             m_isDDRSnapshot, m_bLREP, m_bLREPVSA, static_cast<unsigned long>(m_snapEngineType));

    if ((m_bLREP || m_bLREPVSA) && m_bkpPhase == JXSQL_BACKUP_DIFF) {
        EV_ERROR(m_logger,
                 "This subclient is enabled with SPOS or a VSA App Aware backup. This type of subclient supports only "
                 "FULL backups and the currentbackup type is  [%s].",
                 m_backupLevelName.c_str());
        RaisePendingCause(kLrepDiffCause);
        return false;
    }
    if (m_blockLevelEnabled && m_bkpPhase == JXSQL_BACKUP_DIFF) {
        EV_ERROR(m_logger,
                 "This subclient is enabled with Block Level backup option. This type of subclient supports only FULL "
                 "backups and the currentbackup type is  [%s].",
                 m_backupLevelName.c_str());
        RaisePendingCause(kBlockLevelDiffCause);
        return false;
    }
    if (useVSS && checkVssService(static_cast<int>(m_sqlMajorVersion)) == 0) {
        // There is no VSS service on this platform.
        m_logger.InfoEvent(kVssDownEvent, 0, 0);
        if (m_blockLevelEnabled) {
            EV_ERROR(m_logger, "VSS services are down. Block level backup cannot be performed when VSS services are down.");
            RaisePendingCause(kVssDownBlockLevelCause);
            return false;
        }
        useVSS = false;
    }
    m_vss.setVSS(useVSS);
    m_vss.setVSSWriter(VSS_WRITER_MSDE);
    EV_DEBUG(m_logger, 2, "Block level enabled - [%d]", m_blockLevelEnabled);
    return true;
}

void CSQLBackup::ReadTaskOptions(EvBkpTask& task) {
    auto read = [&](unsigned long option, bool& value) {
        if (task.getOptionBool(option, value) != 0) {
            EV_DEBUG(m_logger, 3, "Failed to get Job Extended options");
            return false;
        }
        return true;
    };
    if (m_sqlMajorVersion > 8) {
        (void)read(kPartialOption, m_bPartial);
        if (m_bkpPhase == JXSQL_BACKUP_FULL) (void)read(kCopyOnlyOption, m_bCopyOnly);
    }
    if (m_sqlMajorVersion > 9) {
        bool allowed = false;
        if (m_sqlMajorVersion == 10 && m_sqlMinorVersion == 0) {
            allowed = isSQLEnterpriseEdition() || isSQLDeveloperEdition();
        } else if (m_sqlMajorVersion == 10) {
            allowed = isSQLEnterpriseEdition() || isSQLDeveloperEdition() || isSQLStandardEdition() ||
                      isSQLBIEdition() || isSQLDataCenterEdition();
        } else {
            allowed = isSQLEnterpriseEdition() || isSQLDeveloperEdition() || isSQLStandardEdition() || isSQLBIEdition();
        }
        if (allowed && !read(kCompressionOption, m_bCompression)) m_bCompression = false;
    }
    if (getSqlBackupType(true) == 'L') (void)read(kLoadingStateOption, m_bLoadingState);
    if (!read(kIntegrityCheckOption, m_bIntegrityCheck)) m_bIntegrityCheck = false;
}

int CSQLBackup::RunPhase() {
    const bool ran = backup();
    const bool quitRequested = quit();
    if (quitRequested && m_pJobCtrlClnt != nullptr && m_pJobCtrlClnt->getJMControlOperation() == kSuspendOperation) {
        m_bFullConversion = false;
        m_bDiffConversion = false;
        return JXSQL_JOB_PARTIAL;
    }
    if (!ran || m_bJobFailed) return JXSQL_JOB_FAILED;
    return StatusFromCounts();
}

int CSQLBackup::StatusFromCounts() {
    const uint64_t converted = GetConvertedDBCount(JXSQL_BACKUP_FULL) + GetConvertedDBCount(JXSQL_BACKUP_DIFF);
    EV_DEBUG(m_logger, 2, "Failedcount = [%lu] Successcount = [%lu] ConvertedDBcount = [%lu]",
             static_cast<unsigned long>(m_loggedDbCount), static_cast<unsigned long>(m_successCount),
             static_cast<unsigned long>(converted));
    if (m_loggedDbCount == 0) return JXSQL_JOB_COMPLETED;
    if (m_successCount > 0 || converted > 0) return JXSQL_JOB_PARTIAL;
    return m_errorControl.IsEmptyCollectRuleSet() && m_errorControl.DidFailOnEmptyCollect() ? JXSQL_JOB_COMPLETED
                                                                                             : JXSQL_JOB_FAILED;
}

bool CSQLBackup::CompleteJob(int status) {
    cleanupSessionForBackupMetaDataUpdate(&m_pMetadataConnection);
    if (m_successCount > 0 && !m_isRBSJob && m_pBkpJobClnt != nullptr) {
        const auto now = static_cast<int64_t>(std::time(nullptr));
        EV_DEBUG(m_logger, 2, "Set reference time [%ld]", static_cast<long>(now));
        if (m_isSnapBackup || (m_blockLevelEnabled && m_bkpPhase == JXSQL_BACKUP_FULL)) {
            const std::string text = "-r " + std::to_string(now);
            (void)m_pBkpJobClnt->concatPhaseParams(text, 3);
            EV_DEBUG(m_logger, 2, "Set concatPhaseParams [%s]", text.c_str());
        } else {
            (void)m_pBkpJobClnt->setReferenceTime(now);
        }
        (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    }
    const bool quitRequested = quit();
    const bool suspended =
        quitRequested && m_pJobCtrlClnt != nullptr && m_pJobCtrlClnt->getJMControlOperation() == kSuspendOperation;
    // A job told to stop asks for no further phase.
    if (!quitRequested) {
        const uint64_t failedBefore = m_loggedDbCount;
        HandleConversion();
        // Converted databases that the master could not be given failed
        // there: the job no longer completed them all.
        if (status == JXSQL_JOB_COMPLETED && m_loggedDbCount != failedBefore) status = StatusFromCounts();
    }
    if ((!quitRequested || suspended) && m_pBkpJobClnt != nullptr) {
        if (m_isSnapBackup && m_bkyType != JXSQL_BACKUP_LOG) {
            (void)m_pBkpJobClnt->setRCID(0);
            if (!m_pBkpJobClnt->addUncompBytesToXfer(m_applicationSize, true)) {
                EV_WARN(m_logger, "Failed to update job manager with application size.");
            }
            (void)m_pBkpJobClnt->updateInfo(false, nullptr);
        }
        // The master learns the outcome even when the job manager's call fails.
        if (m_isAGChild) (void)SendJobCompletionStatusToMaster(status);
        if ((m_bLREP || m_bLREPVSA) && m_bReplicationFailure) {
            EV_ERROR(m_logger, "Failing the job because the replication engine asked us to.");
            (void)m_pBkpJobClnt->complete(JXSQL_JOB_FAILED, 2, 0, 0);
        } else {
            (void)m_pBkpJobClnt->complete(status, 1, 0, 0);
        }
    }
    cleanup(status);
    if (m_isAGChild) return SendFinishToMaster();
    return true;
}
