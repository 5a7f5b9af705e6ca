// CSQLRestoreBase: the restore of chosen files and file groups of one
// database. The job's database entries each name the database and one file
// or file group; the backups that hold them are fetched from the central
// server, restored in order through the virtual device (each with the FILE
// and FILEGROUP lists), and the database is recovered once the last backup
// brought the files level. A backup among them that this platform cannot
// restore fails the database before any is restored.
#include <cinttypes>
#include <list>
#include <string>

#include "JobResults/RestoreStatus.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/FileGroupEntry.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/CsqlDMO.h"

namespace {

constexpr const char* kAgentSection = "MSSQLAgent";

}  // namespace

bool CSQLRestoreBase::restoreFileFileGroups(std::list<SqlRestoreDbInfo_t>& dbs) {
    for (const SqlRestoreDbInfo_t& db : dbs) {
        EV_INFO(m_logger, "sDbName = %s, sDbNewName = %s", db.sDbName.c_str(), db.newDbName.c_str());
        auto logical = db.relocationList.begin();
        for (auto path = db.newFiles.begin(); path != db.newFiles.end() && logical != db.relocationList.end();
             ++path, ++logical) {
            EV_INFO(m_logger, "logFile = %s, phyfile = %s", path->c_str(), logical->c_str());
        }
    }
    if (dbs.empty()) return false;
    // Every entry names the same database, so the last one stands for all.
    SqlRestoreDbInfo_t& entry = dbs.back();
    const std::string entryName = TargetName(entry);
    const std::string target = entryName.substr(0, entryName.find(kFileGroupSeparator));

    // This database's verdict: it counts once in the job's totals however
    // many of its backups fail.
    bool failed = false;
    auto fail = [&]() {
        failed = true;
        SetRestoreStatus(entryName, RESTORE_STATUS_FAILED);
        if (m_pRstJobClnt) (void)m_pRstJobClnt->updateInfo(false, nullptr);  // progress only
    };
    auto verdict = [&]() {
        if (failed) {
            ++m_failedDbCount;
        } else {
            ++m_restoredDbCount;
        }
        return !failed;
    };

    std::string database;
    if (!CheckFileGroupEntries(dbs, database)) {
        fail();
        return verdict();
    }

    const uint64_t flags = m_restoreOptions.optionFlags;
    if ((flags & kRstDropDbConnections) != 0) {
        CsqlDMO dmo;
        if (!InitializeDmo(dmo)) {
            EV_ERROR(m_logger, "Failed to initialize SQL server. Check if SQL Services [%s] are offline.",
                     m_sServername.c_str());
            fail();
            return verdict();
        }
        if (dmo.isDatabaseOnline(m_sServername, target) || dmo.isDatabaseStandby(m_sServername, target)) {
            if (!dmo.dropAllConnectionsToDb(m_sServername, target)) {
                EV_ERROR(m_logger,
                         "Failed to drop connections to database [%s] during restore. Please close all connections "
                         "manually and re-run restore.",
                         target.c_str());
                if (m_pRstJobClnt) {
                    *m_pRstJobClnt << target.c_str();
                    (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseDropConnections);  // fails through the result
                }
                fail();
                return verdict();
            }
            EV_INFO(m_logger, "Successfully dropped connections to database [%s] during restore.", target.c_str());
        }
    }

    if (m_pRstJobClnt) {
        (void)m_pRstJobClnt->setCurrentDatabase(entryName.c_str());  // progress only
        m_pRstJobClnt->setActiveFile(entryName.c_str());
        (void)m_pRstJobClnt->updateInfo(false, nullptr);
    }

    std::list<std::string> files;
    std::list<SqlFFGRestoreInfo_t> infos;
    m_ffgFileNames.clear();
    for (const SqlRestoreDbInfo_t& db : dbs) {
        const FileGroupEntry part = SplitFileGroupEntry(db.sDbName);
        if (part.namesFile()) m_ffgFileNames.insert(part.name);
    }
    if (!getAFilesForFFGRestore(dbs, files, infos)) {
        EV_ERROR(m_logger, "getAFilesForFFGRestore() FAILED");
        fail();
        return verdict();
    }

    JXPlatformInfo settings;
    uint64_t restoreFilter = 0;
    uint64_t ignoreError = 0;
    (void)settings.getNumber(kAgentSection, "nSQLRestoreFilter", &restoreFilter);  // absent: 0
    (void)settings.getNumber(kAgentSection, "nIgnoreSQLRestoreError", &ignoreError);  // absent: 0

    // A backup this platform cannot restore fails the database before the
    // first backup is restored over its files.
    for (const SqlFFGRestoreInfo_t& info : infos) {
        if (ChainStepOf(target, info, static_cast<int64_t>(restoreFilter)) != ChainStep::kUnsupported) continue;
        ReportUnsupportedBackupMethod(info);
        fail();
        return verdict();
    }

    // STANDBY goes with the last backup restored and PARTIAL with the first,
    // so the filter's skips are decided before anything is restored.
    const SqlFFGRestoreInfo_t* firstRestored = nullptr;
    const SqlFFGRestoreInfo_t* lastRestored = nullptr;
    for (const SqlFFGRestoreInfo_t& info : infos) {
        if (info.backupType == restoreFilter) continue;
        if (firstRestored == nullptr) firstRestored = &info;
        lastRestored = &info;
    }
    bool lastRestoredOk = false;
    for (SqlFFGRestoreInfo_t& info : infos) {
        m_isFirstBackupOfChain = &info == firstRestored;
        m_isLastBackupOfChain = &info == lastRestored;
        if (info.backupType == restoreFilter) {
            EV_INFO(m_logger, "nSQLRestoreFilter is set to [%" PRIu64 "] skipping restoring backup of type [%d]",
                    restoreFilter, static_cast<int>(info.backupType));
            continue;
        }
        if (!m_restoreToDisk) {
            if (restoreVDIBackup(entry, info, info.fileGroups, files)) {
                if (m_isLastBackupOfChain) lastRestoredOk = true;
                continue;
            }
            EV_ERROR(m_logger, "restoreVDIBackup() FAILED");
            fail();
            if (info.backupType == ignoreError && !TransferLeftRunning()) {
                EV_INFO(m_logger,
                        "nIgnoreSqlRestoreError is set to [%" PRIu64 "] ignoring error during restore of backup type "
                        "[%d]",
                        ignoreError, static_cast<int>(info.backupType));
                continue;
            }
            break;
        }
        if (!restoreVDIBackupToDisk(entry, info)) {
            fail();
            EV_ERROR(m_logger, "restoreVDIBackupToDisk() FAILED");
            break;
        }
    }
    if (!m_restoreToDisk && !failed && (flags & kRstStandby) != 0 && (flags & kRstNoRecovery) == 0 &&
        !m_verifyOnly && !lastRestoredOk) {
        ReportStateNotReached(target, "STANDBY", "no backup holding its files was restored");
        fail();
    }

    if (!m_restoreToDisk && !failed && (flags & (kRstNoRecovery | kRstStandby)) == 0 &&
        !doDbRecoverOnly(entry, /*omitFileGroup=*/true, /*forceRecovery=*/false, /*ffgRecovery=*/true)) {
        fail();
    }
    // A transfer left running keeps the handler to itself.
    if (m_disableRestoreOptimization == 0 && !TransferLeftRunning() &&
        !m_dataTransferHandler.closePipeline(0, false)) {
        EV_WARN(m_logger, "Failed to close the restore pipeline: %s",
                m_dataTransferHandler.getLastErrorString().c_str());
    }
    return verdict();
}

void CSQLRestoreBase::SetRestoreStatusForFFG(RESTORE_STATUS_STRING_MAPPING status) {
    for (const SqlRestoreDbInfo_t& db : m_restoreDbList) {
        const FileGroupEntry entry = SplitFileGroupEntry(db.newDbName.empty() ? db.sDbName : db.newDbName);
        SetRestoreStatus("DataBaseName :" + entry.database, status);
        SetRestoreStatus("filegroupName :" + entry.fileGroup, status);
        SetRestoreStatus("file :" + (entry.separators >= 2 ? entry.name : std::string()), status);
        for (const std::string& path : db.oldFiles) SetRestoreStatus(path, status);
    }
}
