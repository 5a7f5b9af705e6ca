// The walk of a database subclient's phase over its collect file: one
// database per line from the restart point on, the skip rules that apply
// before any backup is tried, the progress counters and the stop rules, and
// the end of the walk (pipeline, uncommitted databases, ACL information).
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/jobbase/SQLSwitchSettings.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXString.h"

namespace {

constexpr size_t kLineBuffer = 1024;
// Availability groups exist from this SQL Server major version on.
constexpr uint64_t kFirstAGVersion = 11;

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

bool CSQLBackup::ConnectToInstance(CsqlDMO& sqlConnection) {
    const std::string label = "Time taken to initialize SQL Server " + m_sServername;
    CStopWatch watch;
    if (!sqlConnection.initialize(m_sServername, false)) {
        EV_ERROR(m_logger, "Failed to initialize the sql server. Check if sql services are offline.");
        RaisePendingCause(kCauseSqlConnect);
        return false;
    }
    EV_DEBUG(m_logger, 2, "%s = %f", label.c_str(), watch.Time());
    return true;
}

void CSQLBackup::ReadPromoteBrokenChainSetting() {
    std::string text;
    if (JXGlobalParam::getProperty("PromoteBrokenChainDB", text) == 0) {
        text = Trimmed(text);
        if (!text.empty()) m_promoteBrokenChain = std::strtoul(text.c_str(), nullptr, 10);
    }
    uint64_t value = 0;
    if (JXPlatformInfo().getNumber("MSSQLAgent", "bPromoteBrokenChainDB", &value) != 0) m_promoteBrokenChain = value;
}

bool CSQLBackup::SkipDatabase(CsqlDMO& sqlConnection, const std::string& name) {
    auto skip = [&](const std::string& message, int reason) {
        (void)UpdateSkippedFailedCountAndJobInfo(name, message, reason, JobManager::kDBStatusSkippedInPhase);
        return true;
    };
    if (!sqlConnection.isDatabaseExists(name)) {
        EV_WARN(m_logger, "Database %s has been deleted. Check if the database exists.", name.c_str());
        return skip("Database [" + name + "] is not online. Skipped from backup.", 6);
    }
    uint64_t id = 0;
    if (!getDatabaseId(name, id)) {
        EV_DEBUG(m_logger, 2, "Failed to get database id, skipping this [%s] db", name.c_str());
        return skip("Database [" + name + "] ID fetch did not succeed.", 0);
    }
    if (m_bkpPhase == JXSQL_BACKUP_LOG) {
        const bool simple = sqlConnection.isRecoveryModelSimple(name);
        if (simple && m_bSkipConversion) {
            EV_DEBUG(m_logger, 2,
                     "Database %s is in simple recovery mode, skipping log backup as conversion is disabled due to "
                     "parallel backups.",
                     name.c_str());
            return skip("Skipped log backup for database [" + name +
                            "] in SIMPLE recovery model as conversion is disabled due to parallel backups.",
                        3);
        }
        if (simple && !m_isRBSJob && SkipTLForSimpleRmDbSettings().isEnabled()) {
            EV_DEBUG(m_logger, 2,
                     "Database %s is in simple recovery model, skipping log backup as bSkipTLForSimpleRecoveryModelDB "
                     "is [%s].",
                     name.c_str(), "Enabled");
            return skip("Skipped log backup for database [" + name + "] in SIMPLE recovery model.", 3);
        }
        if (!simple && !m_isAGChild && m_bSkipReadOnly && sqlConnection.isReadOnly(m_sServername, name)) {
            std::string group;
            if (!sqlConnection.GetAvailabiiltyGroupForDB(name, group) || group.empty()) {
                EV_DEBUG(m_logger, 2, "Database %s is in read only mode, skipping log backup.", name.c_str());
                return skip("Database [" + name + "] is in READ-ONLY mode. Skipped from backup.", 2);
            }
        }
    }
    if (m_isAGChild || m_sqlMajorVersion < kFirstAGVersion) return false;
    std::string group;
    if (!sqlConnection.isDatabaseInAvailableGroup(name, group)) return false;
    group.clear();
    if (sqlConnection.GetAvailabiiltyGroupForDB(name, group) && !group.empty() &&
        sqlConnection.isSecondaryReplica(m_sServername, group)) {
        if (m_bkpPhase == JXSQL_BACKUP_DIFF || (m_bkpPhase == JXSQL_BACKUP_FULL && !m_bCopyOnly)) {
            const std::string text =
                "Only BACKUP LOG is fully supported on secondary replicas. BACKUP DATABASE supports only copy-only "
                "full backups of the database, files, or filegroups. Differential backups are not supported on "
                "secondary replicas.";
            EV_DEBUG(m_logger, 2, "Skipping database [%s]. %s", name.c_str(), text.c_str());
            m_logger << name.c_str();
            m_logger.InfoEvent(kEventSecondaryReplicaSkipped, 0, 0);
            return skip("Skipped database [" + name + "]. " + text, 4);
        }
    }
    if (m_bkpPhase == JXSQL_BACKUP_FULL && m_bCopyOnly && m_genericOptions.isSkipReplicaCheckForCopyOnlyFull()) {
        EV_DEBUG(m_logger, 2,
                 "Skipping replica check since this is COPY ONLY FULL backup and SkipReplicaCheckForCopyOnlyFull is "
                 "enabled.");
        return false;
    }
    if (sqlConnection.isBackupPreferredReplica(name)) return false;
    EV_DEBUG(m_logger, 2, "Skipping database [%s]. Not a preferred replica to run backup.", name.c_str());
    m_logger << name.c_str();
    m_logger.InfoEvent(kEventNotPreferredReplica, 0, 0);
    return skip("Skipped database [" + name + "] from backup since this is not preferred replica.", 5);
}

bool CSQLBackup::doDbSubclientBackup() {
    m_serverType = "DataBase Engine";
    // The conversion information is asked for only when the rules are on;
    // nothing else reads it.
    if (m_backupConversion & 0x1) populateBackupConversionRulesMap(L"");
    unsigned long startOffset = static_cast<unsigned long>(getCollectFileOffset());
    EV_DEBUG(m_logger, 2, "Starting backup at collect file offset [%lu].", startOffset);
    ReadPromoteBrokenChainSetting();

    const std::string path = CollectFilePath();
    JXFile collectFile;
    if (collectFile.open(path.c_str(), JXFile::kRead) != 0) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s]. ErrorCode [%d]", path.c_str(),
                 collectFile.getLastError());
        RaisePendingCause(kCauseCollectFileRead, path);
        return false;
    }
    if (isRestartJob() && startOffset != 0 && m_loggedDbCount > 0) {
        EV_WARN(m_logger,
                "[%lu] database backup failures detected in previous attempt. Overriding the restart offset [%lu] and "
                "starting backup at collect file offset [%lu] in this attempt.",
                static_cast<unsigned long>(m_loggedDbCount), startOffset, m_firstFailedOffset);
        startOffset = m_firstFailedOffset;
        // The databases from that line on are backed up again: this attempt
        // counts them.
        m_loggedDbCount -= std::min(m_loggedDbCount, m_retryFailures);
        m_successCount -= std::min(m_successCount, m_retrySuccesses);
    }
    if (startOffset != 0 && collectFile.seek(static_cast<int64_t>(startOffset), JXFile::kFromStart) < 0) {
        EV_ERROR(m_logger, "Failed to seek in the file [%s] seek value[%lu]. ErrorCode [%d]", path.c_str(),
                 startOffset, collectFile.getLastError());
        return false;
    }
    auto sqlConnection = std::make_unique<CsqlDMO>();
    if (!ConnectToInstance(*sqlConnection)) return false;

    EV_DEBUG(m_logger, 2, "Initializing data transfer handler.");
    const bool snapshotWithoutPipeline = m_isSnapBackup && m_bkyType != JXSQL_BACKUP_LOG;
    if (snapshotWithoutPipeline) {
        EV_DEBUG(m_logger, 2, "FOR Snap backup no need to setup pipeline");
    } else {
        m_dataTransferHandler = SqlDataTransferHandler(true, m_jobId, m_appNumber, m_jxCellId, m_jxServerHostName,
                                                       getBkpType(), 0);
        if (getBufferSize() != 0) m_dataTransferHandler.setBufferSizeInKB(getBufferSize());
    }
    bool hasRBS = false;
    if (!m_isRBSJob && isRBSSubclient(*sqlConnection, collectFile)) {
        hasRBS = true;
        EV_DEBUG(m_logger, 2, "The subclient has [%lu] RBS enabled database(s), they will be skipped.",
                 static_cast<unsigned long>(m_rbsBlobPaths.size()));
    }

    const bool walkCompleted = WalkCollectFile(collectFile, sqlConnection, hasRBS);
    EndWalk(collectFile, *sqlConnection, snapshotWithoutPipeline);
    return walkCompleted;
}

bool CSQLBackup::WalkCollectFile(JXFile& collectFile, std::unique_ptr<CsqlDMO>& sqlConnection, bool hasRBS) {
    bool renewConnection = false;
    char line[kLineBuffer] = {};
    for (;;) {
        const auto lineOffset = static_cast<unsigned long>(collectFile.getCurOffset());
        const int read = collectFile.getLine(line, sizeof line);
        if (read == 0) return true;
        if (read != 1) {
            // The databases after this line would silently go without a
            // backup: the job fails instead of reporting success.
            EV_ERROR(m_logger, "Failed to read the collect file at offset [%lu] with error [%d].", lineOffset,
                     collectFile.getLastError());
            m_bJobFailed = true;
            return true;
        }
        const std::string name = line;
        if (name.empty()) continue;
        if (renewConnection) {
            sqlConnection = std::make_unique<CsqlDMO>();
            // A lost connection ends the walk; the end steps still close the
            // collect file and the pipeline.
            if (!ConnectToInstance(*sqlConnection)) return false;
            renewConnection = false;
        }
        const std::wstring wideName = FXString::ToWstring(name);
        EV_DEBUG(m_logger, 1, "== Starting backup of db = [%s] ==", name.c_str());
        JobManager::SQLStatusTab record;
        if (CWzError error = InitializeDatabaseStatusRequest(&record, name); error.IsError()) {
            EV_ERROR(m_logger, "Failed to initialize the status request for database [%s] with error [%s].",
                     name.c_str(), error.GetMessage().c_str());
        }
        if (m_bkpPhase == JXSQL_BACKUP_LOG && isPromoteToFullSet()) {
            (void)HandlePromoteToFullConversion(&record, name);  // it reports a failure itself
            continue;
        }
        if (SkipDatabase(*sqlConnection, name)) continue;
        const bool rbsSkipped = hasRBS && m_rbsBlobPaths.count(name) != 0;

        const std::string label = "Time taken to backup of db " + name;
        CStopWatch watch;
        bool connectionValid = true;
        bool converted = false;
        const bool succeeded =
            !rbsSkipped && doDbBackup(*sqlConnection, wideName.c_str(), lineOffset, connectionValid, converted, &record);
        (void)ReleaseLockForVSABackupSync();  // no lock on this platform
        if (!connectionValid) renewConnection = true;
        if (succeeded) {
            EV_DEBUG(m_logger, 2, "%s = %f", label.c_str(), watch.Time());
            if (!AfterBackedUpDatabase(record, converted)) return true;
            continue;
        }
        if (!rbsSkipped && !m_isSnapBackup) (void)UpdateStatusTabInformationToCS(&record);
        if (quit() || m_dataTransferHandler.isStopJob()) {
            m_bJobFailed = m_dataTransferHandler.isStopJob();
            if (m_bJobFailed) {
                EV_ERROR(m_logger, "Error in Setting pipeline during [%s] phase.", m_backupLevelName.c_str());
            } else {
                EV_WARN(m_logger, "Job Manager Issued Job Termination during [%s] phase, backup operation failed.",
                        m_backupLevelName.c_str());
            }
            return true;
        }
        if (rbsSkipped) {
            EV_DEBUG(m_logger, 2, "Skipping backup of the database [%s] since it is RBS enabled.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(
                name, "Skipped backup of the database [" + name + "] since it is RBS enabled.", 8,
                JobManager::kDBStatusSkippedInPhase);
        } else {
            EV_ERROR(m_logger, "Failed to backup the database [%s].", name.c_str());
            if (m_pBkpJobClnt != nullptr) (void)m_pBkpJobClnt->addBackupFileFailures(1);
            logDatabaseBackupStatus(name, /*unused=*/false, /*count=*/true);
        }
        if (m_pBkpJobClnt != nullptr) (void)m_pBkpJobClnt->updateInfo(false, nullptr);
        if (m_bStopOnFirstFailure) {
            EV_DEBUG(m_logger, 1, "!!!!Stopping!!!! backup on first Fail");
            return true;
        }
        if (m_bJobFailed) return true;
    }
}

bool CSQLBackup::AfterBackedUpDatabase(JobManager::SQLStatusTab& record, bool converted) {
    if (!converted && !m_isSnapBackup) {
        ++m_successCount;
        ++m_filesSoFar;
    }
    if (!m_isSnapBackup && !m_bLogFromFileSystem) {
        // A backed-up database's row says so too (the send also updates the
        // database's information): the clean-up of uncommitted databases and
        // a restarted attempt find the databases backed up in the job there.
        (void)UpdateStatusTabInformationToCS(&record);
    }
    if (m_isSnapBackup || m_pBkpJobClnt == nullptr) return true;
    EV_DEBUG(m_logger, 2, "Enabling commit option for the job.");
    if (!m_pBkpJobClnt->enableCommit() || !m_pBkpJobClnt->updateInfo(false, nullptr)) {
        EV_ERROR(m_logger, "Failed to set the job to be committable with error [%d].", 0);
    }
    (void)m_pBkpJobClnt->setFilesSoFar(m_filesSoFar);
    (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    if (quit()) {
        EV_ERROR(m_logger, "Job Manager Issued Job Termination during [%s] phase, backup operation failed",
                 m_backupLevelName.c_str());
        RaisePendingCause(kCauseJobTerminated, m_backupLevelName);
        return false;
    }
    return true;
}

void CSQLBackup::EndWalk(JXFile& collectFile, CsqlDMO& sqlConnection, bool snapshotWithoutPipeline) {
    (void)collectFile.close();  // opened for reading
    if ((m_isSnapBackup || m_bVolumeLevel) && !m_snapDatabases.empty()) {
        const bool snapped = doVSSSnapBackup(m_snapDatabases);
        const auto count = static_cast<int64_t>(m_snapDatabases.size());
        if (m_pBkpJobClnt != nullptr) (void)m_pBkpJobClnt->setFilesToXfer(static_cast<int64_t>(m_databasesToBackup));
        if (!snapped) {
            if (m_pBkpJobClnt != nullptr) {
                (void)m_pBkpJobClnt->addBackupFileFailures(count);
                (void)m_pBkpJobClnt->updateInfo(false, nullptr);
            }
            for (const std::string& name : m_snapDatabases)
                logDatabaseBackupStatus(name, /*unused=*/false, /*count=*/true);
        } else {
            m_successCount += static_cast<uint64_t>(count);
            m_filesSoFar += count;
            if (m_pBkpJobClnt != nullptr) {
                (void)m_pBkpJobClnt->setFilesSoFar(count);
                (void)m_pBkpJobClnt->updateInfo(false, nullptr);
            }
        }
    }
    if (snapshotWithoutPipeline) {
        EV_DEBUG(m_logger, 2, "Pipeline is not required. Closepipeline is not called");
    } else {
        if (!m_dataTransferHandler.closePipeline(m_successCount > 0 ? 1 : 0, quit())) m_bJobFailed = true;
        if (!m_bLogFromFileSystem) (void)checkForUncommittedDbs();  // it logs what it could not do
    }
    if (m_bkpPhase == JXSQL_BACKUP_LOG && m_bLogFromFileSystem && !m_skippedLogDbs.empty()) {
        m_logger << m_skippedLogDbs.substr(0, m_skippedLogDbs.size() - 1).c_str();
        m_logger.InfoEvent(kEventNoLogDumps, 0, 0);
    }
    uint64_t collectAcl = 0;
    (void)JXPlatformInfo().getNumber("MSSQLAgent", "CollectACLInfo", &collectAcl);  // absent: 0
    std::string acl;
    if (collectAcl != 0 && sqlConnection.getACLInfo(m_sServername, acl)) {
        EV_DEBUG(m_logger, 3, "Updating JxServe with ACLInfo [%s].", acl.c_str());
        CSQLClientDll requester;
        if (!requester.updateACLInfo(static_cast<int>(m_instanceId), m_jxCellId, acl)) {
            EV_WARN(m_logger, "Failed to update ACL info.");
        }
    }
}
