// CSQLRestoreBase: one backup's restore through the virtual device.
//
// A virtual-device engine object is made for the backup and set up from the
// restore options (relocation, recovery state, stop points, tunables); the
// job's data-transfer handler then feeds it from the backup's archive files
// on a thread of its own (CSQLRestoreTransfer.cpp) and the engine's
// statement is finished. Whatever happens once the handler has been given
// the backup, it is reset at the end, and the post-restore hook runs exactly
// when the pre-restore hook ran.
#include <algorithm>
#include <cinttypes>
#include <list>
#include <memory>
#include <new>
#include <string>

#include "EvTaskApiNet/EvRstTask.h"
#include "JxSQLCommon/jobbase/SQLTunableSettings.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreArchiveList.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLCommon/restore/SqlServerRestoreDirectory.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "WzUtils/FXString.h"

namespace {

constexpr uint64_t kMaxPreV9Version = 8;
constexpr char kFfgSeparator = '\x12';

const char* DateFormatName(uint64_t format) {
    return format == 1 ? "mdy" : format == 2 ? "dmy" : "ymd";
}

}  // namespace

bool CSQLRestoreBase::restoreVDIBackup(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup,
                                       const std::list<std::string>& names, const std::list<std::string>& selected) {
    std::unique_ptr<CJxSQLVDI> engine(new (std::nothrow) CJxSQLVDI());
    if (!engine) {
        EV_ERROR(m_logger, "Failed to allocate memory for CJxSQLVDI object. Operator new failed.");
        return false;
    }
    engine->SetRestore();
    engine->SetVDITimeoutRetryCountLimit(GetVDITimeoutRetryCountLimit());

    const uint64_t flags = m_restoreOptions.optionFlags;
    const bool ffgRestore = (flags & kRstFileFileGroup) != 0;
    std::string dbName = TargetName(db);
    if (ffgRestore) {
        dbName = dbName.substr(0, dbName.find(kFfgSeparator));
        EV_INFO(m_logger, "This is a FFG restore for [%s].", dbName.c_str());
    }
    uint64_t lookedUpId = 0;
    if (!getDatabaseId(dbName, lookedUpId)) {
        EV_DEBUG(m_logger, 3, "Get database-id failed for database [%s].", dbName.c_str());
        lookedUpId = 0;
    }
    bool dropConnections = false;
    if (!ffgRestore && !isMasterDb(lookedUpId)) {
        dropConnections = (flags & kRstDropDbConnections) != 0;
        engine->SetDropDBConnections(dropConnections);
    }

    engine->setMajorVersion(m_sqlMajorVersion);
    const int streams = static_cast<int>(backup.archiveFiles.size());
    EV_INFO(m_logger, "Number of streams used in Phase restore = %d", streams);
    engine->setNumberOfStreams(streams);
    engine->initializeTSqlFlags();
    engine->setBackupType(static_cast<int>(backup.backupType));
    engine->SetAppendRestartInQuery(m_appendRestartInQuery);

    // Relocation: each new physical path with its logical name.
    SqlServerRestoreDirectory directories(SqlServerUser(), m_logger);
    auto newPath = db.newFiles.begin();
    for (auto logical = db.relocationList.begin(); newPath != db.newFiles.end() && logical != db.relocationList.end();
         ++newPath, ++logical) {
        const SqlServerRestoreDirectory::Outcome outcome = directories.Prepare(*newPath);
        if (outcome != SqlServerRestoreDirectory::kReady) {
            if (m_pRstJobClnt) {
                *m_pRstJobClnt << directories.directory().c_str();
                if (outcome == SqlServerRestoreDirectory::kNotAccessible) {
                    (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreDirectoryNotAccessible);  // the restore fails through the result
                } else {
                    *m_pRstJobClnt << static_cast<uint64_t>(directories.error()) << dbName.c_str();
                    (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreDirectory);  // the restore fails through the result
                }
            }
            if (outcome == SqlServerRestoreDirectory::kNotAccessible) {
                EV_ERROR(m_logger, "Directory for restore is not accessible by SQL Server, Path [%s].",
                         directories.directory().c_str());
            }
            return false;
        }
        std::string target = *newPath;
        if ((m_snapStagedOnSource || m_snapCopyToDestination) && !m_snapFileMap.mappedPaths.empty()) {
            auto mapped = m_snapFileMap.mappedPaths.find(*newPath);
            if (mapped != m_snapFileMap.mappedPaths.end()) target = mapped->second;
        }
        engine->addFileToRename(*logical, target);
    }

    if (m_isFirstBackupOfChain && m_sqlMajorVersion > kMaxPreV9Version && (flags & kRstPartial) != 0) {
        engine->setPartialRestore();
    }
    if (m_verifyOnly) {
        engine->setVerifyOnly(true);
        engine->SetDropDBConnections(false);
        dropConnections = false;
    }
    engine->setChecksum(m_bChecksum);
    engine->setContinueAfterError(m_bContinueAfterError);

    // Recovery state: every backup goes in without recovery unless the
    // database is master, a system database of version 8 or below, or
    // standby applies; the final recovery is the chain's.
    const bool systemDb = isSystemDb(db.databaseId);
    const bool systemMayLoad = m_sqlMajorVersion > kMaxPreV9Version && !isMasterDb(db.databaseId);
    if ((flags & kRstNoRecovery) != 0) {
        if (!systemDb || systemMayLoad) engine->setLoadingState();
    } else if ((flags & kRstStandby) != 0 && m_isLastBackupOfChain) {
        const std::string& undo = m_restoreOptions.standbyUndoFile;
        if (undo.empty()) {
            EV_ERROR(m_logger, "Undo Path Not specified.");
            if (m_pRstJobClnt) (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoUndoPath);  // fails through the result
            return false;
        }
        bool enough = true;
        CWzError space = HasEnoughSpaceForFile(undo, static_cast<int64_t>(backup.backupSize), enough);
        if (space.IsError()) {
            EV_WARN(m_logger, "Free space check failed with error [%s]", space.GetMessage().c_str());
        } else if (!enough) {
            if (m_pRstJobClnt) {
                *m_pRstJobClnt << undo.c_str();
                (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoSpaceForUndo);  // fails through the result
            }
            EV_ERROR(m_logger, "There is not enough space available for the UNDO file [%s] during restore.",
                     undo.c_str());
            return false;
        }
        // The undo file does not exist before the restore: SQL Server must be
        // able to create it in its directory.
        EV_INFO(m_logger, "Checking if undo Path is accessible by SQL Server, Path [%s].", undo.c_str());
        if (!SqlServerRestoreDirectory::IsAcceptablePath(undo) ||
            directories.CheckWritable(SqlServerRestoreDirectory::DirectoryOf(undo)) !=
                SqlServerRestoreDirectory::kReady) {
            if (m_pRstJobClnt) (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseDirectoryNotAccessible);  // fails through the result
            EV_ERROR(m_logger, "Undo Path is not accessible by SQL Server, Path [%s].", undo.c_str());
            return false;
        }
        if (!systemDb || systemMayLoad) engine->setStandBy(FXString::ToWstring(undo).c_str());
    }
    if (!engine->isLoadingState() && !engine->isStandbyState() && !isMasterDb(db.databaseId)) {
        if (!systemDb || m_sqlMajorVersion > kMaxPreV9Version) engine->setLoadingState();
    }

    if ((flags & kRstPointInTime) != 0) {
        EV_DEBUG(m_logger, 3, "Date format for Point-In-Time Restore is [%s].", DateFormatName(m_dateFormat));
        std::string stopAt;
        CSQLClientDll client;
        const unsigned long pointInTime = m_restoreOptions.pointInTime;
        const unsigned long format = m_dateFormat;
        client.ConvertTzSpecTimeToString(pointInTime, format, true, stopAt);
        engine->setPointInTime(stopAt);
    }
    if ((flags & (kRstStopAtMark | kRstStopBeforeMark)) != 0) {
        if ((flags & kRstStopAtMark) != 0) {
            engine->setStopAtMark();
        } else {
            engine->setStopBeforeMark();
        }
        EV_DEBUG(m_logger, 3, "Date format for Point-In-Time Restore is [%s].", DateFormatName(m_dateFormat));
        std::string markTime;
        CSQLClientDll client;
        client.convertUnixTimeToAsciiDate(static_cast<long>(m_restoreOptions.pointInTime), markTime, m_dateFormat,
                                          false);
        engine->setMarkTime(markTime);
        std::string markName;
        if (!client.getMarkName(m_sServername, m_restoreOptions.sourceInstanceId, db.sDbName,
                                m_restoreOptions.pointInTime, markName)) {
            EV_ERROR(m_logger, "Failed to get mark name for mark time [%s].", markTime.c_str());
            return false;
        }
        engine->setMarkName(markName);
    }
    if ((flags & kRstOverwrite) != 0) engine->setReplace();
    engine->setVDITimeOut(static_cast<int>(m_vdiTimeout));

    if (!selected.empty()) {
        // A name from an entry of three parts is a file; another is a file
        // group when the backup has a group of that name, else a file.
        std::list<std::string> files;
        std::list<std::string> fileGroups;
        for (const std::string& chosen : selected) {
            const bool group = m_ffgFileNames.count(chosen) == 0 &&
                               std::find(names.begin(), names.end(), chosen) != names.end();
            (group ? fileGroups : files).push_back(chosen);
        }
        engine->SetFFGList(files, fileGroups);
    }
    if (!engine->SetServerName(m_sServername, dbName)) {
        EV_ERROR(m_logger, "Failed to connect to server [%s].", m_sServername.c_str());
        return false;
    }

    // From here on the handler holds this backup: every way out resets it.
    m_dataTransferHandler.setBkpType(static_cast<int>(backup.backupType));
    m_dataTransferHandler.setDbName(dbName);
    m_dataTransferHandler.setOriginalDBName(db.sDbName);
    m_dataTransferHandler.setVDIBase(engine.get());
    m_dataTransferHandler.setStreams(streams);
    const std::list<RestoreArchiveInfo> archives =
        RestoreArchiveListOf(backup, m_restoreOptions, m_dataTransferHandler.getIgnoreArchiveFileOffset());

    bool preHookRan = false;
    bool result = true;
    if (!archives.empty()) {
        const RestoreArchiveInfo& first = archives.front();
        EV_DEBUG(m_logger, 2, "AppId = [%lu], JxcellId = [%lu] Jobstarttime = [%lu].",
                 static_cast<unsigned long>(first.appId), static_cast<unsigned long>(first.jxCellId),
                 static_cast<unsigned long>(backup.startTime));
        ApplicationId application(first.jxCellId, first.appId);
        MsSqlSubclient* subclient = application.getSubclient();
        if (subclient == nullptr) {
            EV_ERROR(m_logger,
                     "Invalid sub-client object to get tunable parameters and cannot proceed for the restore.");
            result = false;
        } else {
            EvRstTask task(m_jobId);
            GetTunableBufferCount bufferCount(20, SQL_OPERATION_RESTORE);
            GetTunableBlockSize blockSize(65536, SQL_OPERATION_RESTORE);
            GetTunableMaxTransferSize maxTransfer(2097152, SQL_OPERATION_RESTORE);
            if (!m_isRBSJob) {
                bufferCount.setSubclientPtr(subclient);
                blockSize.setSubclientPtr(subclient);
                maxTransfer.setSubclientPtr(subclient);
            }
            bufferCount.setTaskPtr(&task);
            maxTransfer.setTaskPtr(&task);
            int buffers = 20, block = 65536, transfer = 2097152;
            (void)bufferCount.getOptionValue(buffers, true);  // a failed read keeps the default
            (void)blockSize.getOptionValue(block, true);
            (void)maxTransfer.getOptionValue(transfer, true);
            EV_DEBUG(m_logger, 2, "BufferCount is set to [%d].", buffers);
            EV_DEBUG(m_logger, 2, "Block Size is set to [%d].", block);
            EV_DEBUG(m_logger, 2, "Max transfer size [%d].", transfer);
            engine->setVDIBuffercount(static_cast<unsigned long>(buffers));
            engine->setVDIBlockSize(static_cast<unsigned long>(block));
            engine->setVDIMaxTransferSize(static_cast<unsigned long>(transfer));
        }
    }

    if (result) {
        m_dataTransferHandler.setRestoreArchiveFileInfoList(archives);
        initializeForPreDBRestore(db, backup);
        preHookRan = true;
        const char* first = backup.sFirstLsn.c_str();
        const char* last = backup.sLastLsn.c_str();
        switch (backup.backupType) {
            case 'D':
                EV_INFO(m_logger, "Starting full restore of db [%s] - FirstLSN[%s], LastLSN[%s]", dbName.c_str(),
                        first, last);
                break;
            case 'L':
                EV_INFO(m_logger, "Starting log restore of db [%s] - FirstLSN[%s], LastLSN[%s]", dbName.c_str(),
                        first, last);
                break;
            case 'I':
                EV_INFO(m_logger, "Starting differential restore of db [%s] - FirstLSN[%s], LastLSN[%s]",
                        dbName.c_str(), first, last);
                break;
            default:
                EV_INFO(m_logger, "Starting [backup type: %c] restore of db [%s] - FirstLSN[%s], LastLSN[%s]",
                        static_cast<char>(backup.backupType), dbName.c_str(), first, last);
        }

        if (!transferData()) {
            EV_ERROR(m_logger, "Data transfer failed.");
            result = false;
        }
        // A stop of the job manager also stops the statement: the database
        // stays as far as it got (RESTORING).
        if (!engine->Finalize(m_dataTransferHandler.isStopJob() || QuitRequested() || TransferLeftRunning())) {
            EV_ERROR(m_logger, "JxSqlVDIBase.Finalize() failed.");
            result = false;
        }

        if (!engine->queryFailed() && m_verifyOnly) {
            const std::string messages = engine->getQueryInfoMessages();
            EV_INFO(m_logger, "Query Info messages %s", messages.c_str());
            if (!messages.empty() && m_pRstJobClnt) {
                *m_pRstJobClnt << dbName.c_str() << messages.c_str();
                m_pRstJobClnt->InfoEvent(kEventVerifyMessages);
            }
        }
        if (engine->queryFailed()) {
            if (m_transferStalled) {
                // The transfer stopped the statement and reported the time-out.
                EV_ERROR(m_logger, "The restore of [%s] stopped: no data was transferred for the VDI time-out.",
                         dbName.c_str());
            } else if (engine->isVdiTimeOut()) {
                if (m_pRstJobClnt) {
                    *m_pRstJobClnt << m_sServername.c_str();
                    (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseVdiTimeout);  // fails through the result
                }
            } else {
                m_lastErrorText = engine->getJXErrorString();
                EV_ERROR(m_logger, "Error encountered during restore. Error: %s", m_lastErrorText.c_str());
                if (m_pRstJobClnt) {
                    *m_pRstJobClnt << m_lastErrorText.c_str();
                    (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreFailed);  // fails through the result
                }
                if (m_lastErrorText.find("System.IO.FileNotFoundException") != std::string::npos) m_stopJob = true;
            }
            result = false;
        }
    }

    if (!result && dropConnections && !isMasterDb(db.databaseId)) {
        // A database the failed restore left in single-user mode is opened
        // to every user again.
        CsqlDMO dmo;
        if (!dmo.initialize(m_sServername, false)) {
            EV_ERROR(m_logger, "Failed to initialize SQL server. Check if SQL Services [%s] are offline.",
                     m_sServername.c_str());
        } else {
            int state = 0;
            std::string stateText;
            if (!dmo.getDatabaseStatus(m_sServername, dbName, state, stateText)) {
                EV_DEBUG(m_logger, 1, "Failed to get database [%s] status.", dbName.c_str());
            } else {
                EV_DEBUG(m_logger, 3, "Status of database [%s] is [%s].", dbName.c_str(), stateText.c_str());
                bool singleUser = false;
                if (state == SQLDB_STATE_STANDBY || state == SQLDB_STATE_ONLINE) {
                    if (!dmo.isDatabaseInSingleUserMode(m_sServername, dbName, singleUser)) {
                        EV_WARN(m_logger, "Failed to check if database [%s] in SINGLE-USER mode.", dbName.c_str());
                    } else if (singleUser) {
                        if (dmo.SetDatabaseInMultiUserMode(m_sServername, dbName)) {
                            EV_DEBUG(m_logger, 1, "Successfully set database [%s] in MULTI-USER mode.",
                                     dbName.c_str());
                        } else {
                            EV_WARN(m_logger, "Failed to set database [%s] in MULTI-USER mode.", dbName.c_str());
                        }
                    }
                }
            }
        }
    }
    if (result) {
        const uint64_t bytes = m_dataTransferHandler.getBytesTransferred();
        m_bytesRestored += bytes;
        EV_INFO(m_logger, "Bytes restored for db = %llu", static_cast<unsigned long long>(bytes));
    }

    if (TransferLeftRunning()) {
        // The transfer thread that was let go still holds the handler, its
        // staged files and this engine: all of them stay as they are.
        HandToTransferLeftRunning(std::shared_ptr<CJxSQLVDI>(std::move(engine)));
    } else {
        if (!m_restoreToDisk) m_dataTransferHandler.cleanUpStageFolder();
        m_dataTransferHandler.removeDataReaderWriters();
        m_dataTransferHandler.reset();
    }
    if (preHookRan) initializeForPostDBRestore(db, backup);
    return result;
}
