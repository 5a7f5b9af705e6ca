// MultiThreadedBackupJob: one collect file's databases, backed up by a
// worker job object of its own.
#include "tools/jobs/MultiThreadedBackupJob.h"

#include <string>
#include <vector>

#include "JxLib/JxCriticalSectionLock.h"
#include "JxSQLCommon/backup/CSQLMultiThreadedDataMover.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"

namespace {

// What a worker takes over from the job: where and what it backs up.
struct WorkerContext {
    std::string server;
    uint64_t instanceId = 0;
    uint64_t jobId = 0;
    uint64_t appNumber = 0;
    uint64_t jxCellId = 0;
    uint64_t jxCellNumber = 0;
    std::string csHost;
    std::string resultsDirectory;
    int32_t streams = 1;
    uint64_t bufferSize = 0;
    uint32_t requestedType = 0;
    uint64_t sqlMajorVersion = 0;
};

// One worker: a backup job object with the job's context and a pipeline of
// its own, and no job client (progress goes through the owner's locks).
class CollectFileWorker : public CSQLBackup {
public:
    explicit CollectFileWorker(const WorkerContext& c) {
        m_sServername = c.server;
        m_instanceId = c.instanceId;
        m_jobId = c.jobId;
        m_appNumber = c.appNumber;
        m_jxCellId = c.jxCellId;
        m_jxCellNumber = c.jxCellNumber;
        m_jxServerHostName = c.csHost;
        m_jobResultsDirectory = c.resultsDirectory;
        m_dataStreamCount = c.streams;
        m_bufferSize = c.bufferSize;
        m_bkyType = c.requestedType;
        m_sqlMajorVersion = c.sqlMajorVersion;
        m_applicationId = ApplicationId(m_jxCellId, m_appNumber);
        m_bkpPhase = JXSQL_BACKUP_FULL;
        m_backupLevelName = "Full";
        m_dataTransferHandler = SqlDataTransferHandler(true, m_jobId, m_appNumber, m_jxCellId, m_jxServerHostName,
                                                       getBkpType(), 0);
    }

    // Backs one database up; false when it failed.
    bool BackUp(const std::string& name) {
        uint64_t id = 0;
        if (!getDatabaseId(name, id)) id = 0;  // only the backup-set record carries it
        m_currentDatabaseId = id;
        JobManager::SQLStatusTab record;
        (void)InitializeDatabaseStatusRequest(&record, name);  // the row is informative
        const std::wstring wide = FXString::ToWstring(name);
        const bool ok = doVDIBackup(wide.c_str(), 0, &record, {}, {});
        (void)UpdateStatusTabInformationToCS(&record);  // a lost row is logged where it failed
        return ok;
    }
    // Reports a database whose data the media did not commit as failed.
    void FailUncommitted(const std::string& name) { HandleUncommittedDatabase(name); }
    SqlDataTransferHandler& Pipeline() { return m_dataTransferHandler; }
    bool Quit() { return quit(); }
};

}  // namespace

CWzError MultiThreadedBackupJob::OnCollectFile(MTBackupParams& params, CollectFileInfo& file) {
    std::vector<std::string> names;
    if (!populateDBNamesFromCollectFile(names, file.path)) {
        params.failureCount = 1;
        return FXErrorUtil::ErrorHResult(FXCODELOC, static_cast<int32_t>(0x80004005), "Failed to read [%s].",
                                         file.path.c_str());
    }
    WorkerContext context;
    {
        // The job's context is read under the job's lock: the job thread
        // does not change it while the pool runs, and progress calls of
        // other workers hold the same lock.
        JxCriticalSectionLock lock(&m_lock);
        context.server = m_sServername;
        context.instanceId = m_instanceId;
        context.jobId = m_jobId;
        context.appNumber = m_appNumber;
        context.jxCellId = m_jxCellId;
        context.jxCellNumber = m_jxCellNumber;
        context.csHost = m_jxServerHostName;
        context.resultsDirectory = m_jobResultsDirectory;
        context.streams = m_dataStreamCount;
        context.bufferSize = getBufferSize();
        context.requestedType = m_bkyType;
        context.sqlMajorVersion = m_sqlMajorVersion;
    }
    CollectFileWorker worker(context);
    CSQLMultiThreadedDataMover mover(worker.Pipeline());
    if (CWzError error = mover.SetupBackupPipeline(static_cast<unsigned long>(context.bufferSize)); error.IsError()) {
        params.failureCount = names.size();
        return error;
    }
    uint64_t succeeded = 0, failed = 0;
    std::vector<std::string> backedUp;
    for (const std::string& name : names) {
        if (worker.Quit()) {
            ++failed;  // the databases left are not backed up
            break;
        }
        (void)SetStartDatabase(name);  // progress only
        if (worker.BackUp(name)) {
            ++succeeded;
            backedUp.push_back(name);
        } else {
            ++failed;
        }
        (void)SetDatabaseDone(name);  // progress only
    }
    // The worker's archive files are committed with what it backed up.
    mover.NeedsClose(false);
    if (!worker.Pipeline().closePipeline(succeeded > 0 ? 1 : 0, worker.Quit())) {
        ++failed;
        // Their rows said backed up; none of their data reached the media for good.
        for (const std::string& name : backedUp) worker.FailUncommitted(name);
    }
    params.successCount = succeeded;
    params.failureCount = failed;
    return CWzError();
}
