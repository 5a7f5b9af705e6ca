// VDI streaming of one database into the job's data pipeline, the
// backup-set record that follows it, and the pending cause of a failure.
#include <memory>
#include <string>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXString.h"

namespace {

// The reason code the backup-set exchange leaves on a database it promoted
// for a broken log chain.
constexpr int64_t kBrokenChainReason = 13;
const char* const kFileNotFound = "System.IO.FileNotFoundException";

// Unbinds the pipeline from the database's engine whatever way the backup
// ends, so that the handler never keeps an engine that is released.
class PipelineBinding {
public:
    explicit PipelineBinding(SqlDataTransferHandler& handler) : m_handler(handler) {}
    ~PipelineBinding() {
        m_handler.setVDIBase(nullptr);
        m_handler.removeDataReaderWriters();
        m_handler.reset();
    }
    PipelineBinding(const PipelineBinding&) = delete;
    PipelineBinding& operator=(const PipelineBinding&) = delete;

private:
    SqlDataTransferHandler& m_handler;
};

}  // namespace

bool CSQLBackup::FailDatabase(JobManager::SQLStatusTab* record, const std::string& reason) {
    if (record != nullptr) {
        record->setstring(JobManager::SQLStatusTab::kFailureReason, reason);
        record->setint64(JobManager::SQLStatusTab::kStatus, JobManager::kDBStatusFailed);
    }
    return false;
}

bool CSQLBackup::FailOnQuit(JobManager::SQLStatusTab* record) {
    EV_ERROR(m_logger, "Job Manager Issued Job Termination during [%s] phase, backup operation failed",
             m_backupLevelName.c_str());
    RaisePendingCause(kCauseJobTerminated, m_backupLevelName);
    return FailDatabase(record, "Job Manager Issued Job Termination during[" + m_backupLevelName +
                                    "] phase, backup operation failed.");
}

bool CSQLBackup::FailOnEngineError(CJxSQLVDIBase& engine, JobManager::SQLStatusTab* record, const std::string& name,
                                   EngineStep failed) {
    m_lastErrorText = engine.getJXErrorString();
    // A transfer the pipeline ended (media offline or full, a failed write)
    // returns before the engine's statement has ended with that reason; the
    // pipeline holds it meanwhile.
    if (failed == EngineStep::kTransfer && m_lastErrorText.empty())
        m_lastErrorText = m_dataTransferHandler.getLastErrorString();
    if (m_lastErrorText.find(kFileNotFound) != std::string::npos) m_bJobFailed = true;
    if (engine.isVdiTimeOut()) {
        m_logger << m_sServername.c_str() << name.c_str();
        RaisePendingCause(kCauseVdiTimeout);
        return FailDatabase(record, "VDI timeout attempts expired for SQL Database [" + m_sServername + ".. " + name +
                                        "] backup/restore operation. You may increase this timeout from SQL "
                                        "instance properties.");
    }
    if (failed == EngineStep::kTransfer) {
        EV_ERROR(m_logger, "Error encountered during backup. Error: %s", m_lastErrorText.c_str());
        RaisePendingCause(kCauseTransfer, m_lastErrorText);
    } else {
        const long code = engine.getJXErrorCode();
        if (failed == EngineStep::kFinalize) {
            EV_ERROR(m_logger, "Error encountered during backup finalize phase with message [%s].",
                     m_lastErrorText.c_str());
        } else {
            EV_ERROR(m_logger, "Error encountered during backup with message [%s], Error Code [%ld].",
                     m_lastErrorText.c_str(), code);
        }
        fileJPRForBackupFailure(code, name);
    }
    return FailDatabase(record, "Error encountered during backup. Error: [" + m_lastErrorText + "]");
}

bool CSQLBackup::doVDIBackup(const wchar_t* databaseName, unsigned long collectFileOffset,
                             JobManager::SQLStatusTab* record, std::list<std::wstring> fileGroups,
                             std::list<std::wstring> files) {
    const std::string name = FXString::ToString(std::wstring(databaseName != nullptr ? databaseName : L""));
    SqlDataTransferHandler::CanSendOptionalHeaders(isSendOptionalHeaderEnabled());

    auto engine = std::make_unique<CJxSQLVDI>();
    const int streams = m_bkpPhase == JXSQL_BACKUP_LOG ? m_logStreamCount : m_dataStreamCount;
    m_streamCount = streams;
    EV_DEBUG(m_logger, 2, "Number of streams used in Phase [%s] = %d", m_backupLevelName.c_str(), streams);
    engine->setVDIBlockSize(getVDIBlockSize());
    engine->setVDIBuffercount(getVDIBufferCount());
    engine->setVDIMaxTransferSize(getVDIMaxTransferSize());
    engine->setNumberOfStreams(streams);
    engine->setMajorVersion(static_cast<unsigned long>(m_sqlMajorVersion));
    engine->setVDITimeOut(static_cast<int>(m_vdiTimeout));
    engine->setPartialBackup(m_bPartial);
    engine->setSqlCompression(m_bCompression);
    engine->setCopyOnlyBackup(m_bCopyOnly);
    engine->setChecksum(m_bChecksum);
    engine->setContinueAfterError(m_bContinueAfterError);
    engine->setJxcellNumber(static_cast<unsigned long>(m_jxCellNumber));
    engine->setJobId(static_cast<unsigned long>(m_jobId));
    engine->SetVDITimeoutRetryCountLimit(GetVDITimeoutRetryCountLimit());
    if (m_bLoadingState) engine->setLoadingState();
    engine->setBackupType(getSqlBackupType(false));
    if ((!fileGroups.empty() || !files.empty()) && m_bkpPhase != JXSQL_BACKUP_LOG) engine->SetFFGList(files, fileGroups);
    if (m_bNoTruncateLog) engine->setNoTruncateLog();

    const std::string setupReason =
        "Failed to initialize for VDI Backup. CJxSQLVDIBase. Initialize() failed. Check if SQLVDI.DLL is registered.";
    if (!engine->Initialize()) {
        EV_ERROR(m_logger, "Failed to initialize for VDI Backup. CJxSQLVDIBase.Initialize() failed.");
        RaisePendingCause(kCauseVdiSetup);
        return FailDatabase(record, setupReason);
    }
    if (!engine->SetServerName(m_sServername, name)) {
        EV_ERROR(m_logger, "Failed to initialize for VDI Backup. CJxSQLVDIBase.SetServerName() failed.");
        RaisePendingCause(kCauseVdiSetup);
        return FailDatabase(record, setupReason);
    }
    if (quit()) return FailOnQuit(record);

    // Declared after the engine: the pipeline lets go of it first.
    PipelineBinding binding(m_dataTransferHandler);
    m_dataTransferHandler.setJobControllerObject(m_pJobCtrlClnt);
    m_dataTransferHandler.setBkpJobControllerObject(m_pBkpJobClnt);
    m_dataTransferHandler.setDbName(name);
    m_dataTransferHandler.setCollectFileOffset(collectFileOffset);
    m_dataTransferHandler.setVDIBase(engine.get());
    m_dataTransferHandler.setStreams(streams);
    if (m_pBkpJobClnt != nullptr) {
        m_pBkpJobClnt->setActiveFile(name.c_str());
        (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    }

    CStopWatch watch;
    if (!m_dataTransferHandler.startTransfer()) {
        if (!m_dataTransferHandler.getbSetupPipelineCompleted()) {
            EV_ERROR(m_logger,
                     "Failed to setup the pipeline to the media agent. Please check if the mediaagent is online and "
                     "Orvane services are running on Mediaagent.");
            RaisePendingCause(kCausePipelineSetup);
            return FailDatabase(record,
                                "Failed to set up pipeline to the MediaAgent. Please check the connectivity between "
                                "client and MediaAgent.");
        }
        if (quit()) return FailOnQuit(record);
        return FailOnEngineError(*engine, record, name, EngineStep::kTransfer);
    }
    const bool finalized = engine->Finalize(false);
    if (!finalized || engine->queryFailed()) {
        if (quit()) return FailOnQuit(record);
        return FailOnEngineError(*engine, record, name, finalized ? EngineStep::kStatement : EngineStep::kFinalize);
    }
    watch.Stop();
    EV_DEBUG(m_logger, 1, "Backup done for Database [%s]. Time taken to backup db is [%f]", name.c_str(), watch.Time());

    CStopWatch recordWatch;
    int pendingCode = 0;
    if (!updateBackupSetInfo_10(engine.get(), &pendingCode, record)) {
        EV_ERROR(m_logger, "Failed update backupsetInfo for database [%s].", name.c_str());
        RaisePendingCause(pendingCode != 0 ? pendingCode : kCauseBackupSetRefused, name);
        return FailDatabase(record, "Failed to save the backup information for [" + name +
                                        "] to JxServe database. Please check the connectivity between client and "
                                        "JxServe.");
    }
    EV_DEBUG(m_logger, 2, "Time Taken to update CS DB for database [%s] is [%f]", name.c_str(), recordWatch.Time());

    if (m_bkpPhase == JXSQL_BACKUP_LOG) {
        CSQLClientDll requester;
        if (!requester.updateLogMarks(m_sServername, static_cast<unsigned long>(m_instanceId), name.c_str())) {
            EV_ERROR(m_logger, "Failed to update Log Marks for database [%s]", name.c_str());
            RaisePendingCause(kCauseLogMarks, name);
            if (record != nullptr) {
                record->setstring(JobManager::SQLStatusTab::kFailureReason,
                                  "Failed to update Log Marks for database [" + name + "].");
            }
        }
    }
    if (record != nullptr && record->getint64(JobManager::SQLStatusTab::kSkipReason) != kBrokenChainReason) {
        record->setint64(JobManager::SQLStatusTab::kStatus, JobManager::kDBStatusBackedUp);
    }
    return true;
}

void CSQLBackup::fileJPRForBackupFailure(long errorCode, std::string databaseName) {
    int cause = kCauseBackupFailed;
    const char* argument = nullptr;
    switch (errorCode) {
        case 1:
            cause = kCauseBackupError1;
            argument = m_sServername.c_str();
            break;
        case 3049:
            cause = kCauseBackupError3049;
            argument = databaseName.c_str();
            break;
        case 3203:
            cause = kCauseBackupError3203;
            argument = databaseName.c_str();
            break;
        case 207:
        case 4615:
            cause = kCauseBackupError207;
            break;
        case 1105:
            cause = kCauseBackupError1105;
            argument = m_sServername.c_str();
            break;
        case -2:
            cause = kCauseBackupErrorTimeout;
            break;
        default:
            break;
    }
    if (argument != nullptr) {
        RaisePendingCause(cause, argument);
    } else {
        RaisePendingCause(cause);
    }
}
