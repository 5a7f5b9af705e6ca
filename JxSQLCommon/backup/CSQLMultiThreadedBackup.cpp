// CSQLMultiThreadedBackup: the job's start, the pool over the collect
// files, the progress calls of the per-file work and the completion.
#include "JxSQLCommon/backup/CSQLMultiThreadedBackup.h"

#include "JXAppMgr/Subclient.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxCriticalSectionLock.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/FXErrorUtil.h"

const char* const REGKEY_BLOCK_LEVEL_THREAD_COUNT = "BlbThreadCount";
const char* const REGKEY_DBS_PER_COLLECT_FILE = "BlbDbsPerCollect";
const char* const REGKEY_BLOCK_LEVEL_MIN_COLLECT_FILES = "BlbMinCollectFiles";
const char* const REGKEY_BLOCK_LEVEL_THREAD_TIMEOUT = "BlbThreadTimeout";

namespace {

constexpr int32_t kInvalidArg = static_cast<int32_t>(0x80070057);
constexpr int32_t kFail = static_cast<int32_t>(0x80004005);
constexpr int32_t kAbort = static_cast<int32_t>(0x80004004);
constexpr int kDefaultThreads = 2;
constexpr int kDefaultTimeoutMinutes = 300;

// The setting's value when it is in [low, high], otherwise `fallback`.
template <typename T>
T InRange(int value, int low, int high, T fallback) {
    return value >= low && value <= high ? static_cast<T>(value) : fallback;
}

}  // namespace

CSQLMultiThreadedBackup::CSQLMultiThreadedBackup() {
    JXPlatformInfo settings;
    int threads = m_nThreadCount;
    (void)settings.getNumber("MSSQLAgent", REGKEY_BLOCK_LEVEL_THREAD_COUNT, &threads);  // absent: keeps the default
    // No thread would run a task and the wait would never end: 0 takes the
    // default as any other unusable count does.
    m_nThreadCount = InRange<int32_t>(threads, 1, 100, kDefaultThreads);
    int perFile = 0;
    (void)settings.getNumber("MSSQLAgent", REGKEY_DBS_PER_COLLECT_FILE, &perFile);  // absent reads as 0
    m_nDbsPerCollectFile = InRange<uint64_t>(perFile, 1, 1000, 4);
    int minimum = 0;
    (void)settings.getNumber("MSSQLAgent", REGKEY_BLOCK_LEVEL_MIN_COLLECT_FILES, &minimum);  // absent reads as 0
    m_nMinCollectFiles = InRange<uint64_t>(minimum, 1, 1000, 2);
}

CSQLMultiThreadedBackup::~CSQLMultiThreadedBackup() = default;

int64_t CSQLMultiThreadedBackup::ThreadTimeoutMs() const {
    int minutes = kDefaultTimeoutMinutes;
    (void)JXPlatformInfo().getNumber("MSSQLAgent", REGKEY_BLOCK_LEVEL_THREAD_TIMEOUT, &minutes);  // absent: 300
    // 0 would end every job at once: it takes the default, as absent does.
    if (minutes == 0) minutes = kDefaultTimeoutMinutes;
    if (minutes < 0 || minutes > kDefaultTimeoutMinutes) minutes = 2;
    return static_cast<int64_t>(minutes) * 60 * 1000;
}

bool CSQLMultiThreadedBackup::startBackup(BackupOptionsParser* parser, int, char**) {
    EV_INFO(m_logger, "Starting multi-threaded sql backup");
    m_pParser = parser;
    if (parser == nullptr) {
        EV_ERROR(m_logger, "Empty backup option parser object.");
        return false;
    }
    if (!initializeBackup(*parser)) {
        EV_ERROR(m_logger, "initializeBackup failed.");
        return false;
    }
    if (m_pSubclient != nullptr) {
        int streams = m_dataStreamCount;
        if (m_pSubclient->getDataBkpStream(streams) == 0 && streams > 0) m_dataStreamCount = streams;
    }
    m_bkpPhase = JXSQL_BACKUP_FULL;
    m_backupLevelName = "Full";
    int status = JXSQL_JOB_COMPLETED;
    if (CWzError error = StartMultiThreadedBackup(); error.IsError()) {
        EV_ERROR(m_logger, "StartMultiThreadedBackup Failed %s", error.AsString().c_str());
        status = JXSQL_JOB_FAILED;
    } else if (m_bJobFailed) {
        // The job's stop flag: a refused record or a failed commit stopped it.
        EV_ERROR(m_logger, "m_stopJob set to true");
        status = JXSQL_JOB_FAILED;
    } else if (quit()) {
        EV_ERROR(m_logger, "Job is set to quit");
        status = JXSQL_JOB_FAILED;
    } else if (m_successCount == 0) {
        EV_ERROR(m_logger, "m_successCount is 0, nothing was marked success [FAIL]");
        status = JXSQL_JOB_FAILED;
    } else if (m_failedCount == 0) {
        EV_INFO(m_logger, "m_successCount > 0, m_failedCount=0 == [JMSUCCESS]");
    } else {
        EV_WARN(m_logger, "m_successCount > 0, m_failedCount > 0 == [PARTIALSUCCESS]");
        status = JXSQL_JOB_PARTIAL;
    }
    if (CWzError error = Complete(status); error.IsError()) {
        EV_ERROR(m_logger, "Failed to complete the job: %s", error.AsString().c_str());
    }
    EV_INFO(m_logger, "Ending multi-threaded sql backup");
    return true;
}

CWzError CSQLMultiThreadedBackup::StartMultiThreadedBackup() {
    if (m_poolName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, kInvalidArg, "Pool name not set");
    if (quit()) {
        EV_ERROR(m_logger, "Job Manager Issued Job Termination, backup operation failed!");
        return FXErrorUtil::ErrorHResult(FXCODELOC, kAbort, "Job Manager Issued Job Termination, backup operation failed!");
    }
    EV_DEBUG(m_logger, 2, "PoolName = [%s]", m_poolName.c_str());
    std::vector<CollectFileInfo> files;
    if (!createCollectFiles(files)) {
        EV_ERROR(m_logger, "Failed to create collect files.");
        return FXErrorUtil::ErrorHResult(FXCODELOC, kFail, "Failed to create collect files.");
    }
    if (files.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, kInvalidArg, "No collect files were created");
    if (!m_params.empty()) {
        // An earlier run's tasks may still hold their elements.
        return FXErrorUtil::ErrorHResult(FXCODELOC, kInvalidArg, "The worker threads of an earlier run are in use.");
    }
    m_params.resize(files.size());
    const int64_t timeoutMs = ThreadTimeoutMs();
    if (!m_threadPool.initThreadPool(m_poolName.c_str(), 0xFFFFFFFF, 0, static_cast<unsigned>(m_nThreadCount),
                                     static_cast<unsigned>(m_nThreadCount))) {
        EV_ERROR(m_logger, "Failed to initialize thread pool for block level backup threads");
        return FXErrorUtil::ErrorHResult(FXCODELOC, kFail, "Failed to initialize thread pool for block level backup threads");
    }
    for (size_t i = 0; i < files.size(); ++i) {
        m_params[i].owner = this;
        m_params[i].collectFile = files[i];
        if (!m_threadPool.doWork(startCollectFileThread, &m_params[i])) {
            EV_ERROR(m_logger, "Failed to queue the collect file [%s].", files[i].path.c_str());
        }
    }
    const int wait = timeoutMs > INT32_MAX ? INT32_MAX : static_cast<int>(timeoutMs);
    if (!m_threadPool.waitForAllThreads(true, true, true, wait)) {
        // The elements stay with the object: a worker may still use its own.
        EV_ERROR(m_logger, "Failed to stop the worker threads.");
        return FXErrorUtil::ErrorHResult(FXCODELOC, kFail, "Failed to stop the worker threads.");
    }
    for (MTBackupParams& p : m_params) {
        p.owner = nullptr;
        if (p.failureCount == 0 && p.successCount != 0) {
            EV_INFO(m_logger, "[%s] - Success", p.collectFile.path.c_str());
            ++m_successCount;
        } else {
            EV_ERROR(m_logger, "[%s] - Failed", p.collectFile.path.c_str());
            ++m_failedCount;
        }
    }
    m_params.clear();
    EV_INFO(m_logger, "All threads are done");
    return CWzError();
}

void* startCollectFileThread(void* argument) {
    EvDebug log("JxSQLCommon");
    auto* params = static_cast<MTBackupParams*>(argument);
    if (params == nullptr) {
        log.Error("startCollectFileThread", "pParams is null");
        return nullptr;
    }
    if (params->owner == nullptr) {
        log.Error("startCollectFileThread", "CSQLMultiThreadedBackup object is null");
        return nullptr;
    }
    if (CWzError error = params->owner->OnCollectFile(*params, params->collectFile); error.IsError()) {
        log.Error("startCollectFileThread", "OnCollectFile(%s) failed with \n%s", params->collectFile.path.c_str(),
                  error.AsString().c_str());
    }
    return nullptr;
}

CWzError CSQLMultiThreadedBackup::OnCollectFile(MTBackupParams&, CollectFileInfo&) { return CWzError(); }

bool CSQLMultiThreadedBackup::CheckForUncommittedDbsByCollFileIdEx(unsigned long) { return false; }

CWzError CSQLMultiThreadedBackup::SetStartDatabase(const std::string& name) {
    if (m_pBkpJobClnt == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, kInvalidArg, "m_pBkpJobClnt not valid");
    JxCriticalSectionLock lock(&m_lock);
    EV_INFO(m_logger, "[%s] - Starting backup", name.c_str());
    m_pBkpJobClnt->setActiveFile(name.c_str());
    (void)m_pBkpJobClnt->updateInfo(false, nullptr);  // progress only
    return CWzError();
}

CWzError CSQLMultiThreadedBackup::SetDatabaseDone(const std::string&) {
    if (m_pBkpJobClnt == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, kInvalidArg, "m_pBkpJobClnt not valid");
    JxCriticalSectionLock lock(&m_lock);
    ++m_nDatabasesDone;
    (void)m_pBkpJobClnt->setFilesSoFar(static_cast<int64_t>(m_nDatabasesDone));  // progress only
    (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    return CWzError();
}

CWzError CSQLMultiThreadedBackup::AddJobProgress(int n) {
    if (m_pBkpJobClnt == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, kInvalidArg, "m_pBkpJobClnt not valid");
    JxCriticalSectionLock lock(&m_lock);
    (void)m_pBkpJobClnt->addJobProgress(n);  // progress only
    (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    return CWzError();
}

CWzError CSQLMultiThreadedBackup::Complete(JXJobStatus status) {
    if (m_pBkpJobClnt == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, kInvalidArg, "m_pBkpJobClnt not valid");
    JxCriticalSectionLock lock(&m_lock);
    if (status != JXSQL_JOB_COMPLETED) RaisePendingCause(kCausePipelineSetup, m_backupLevelName);
    (void)m_pBkpJobClnt->complete(status, 1, 0, 0);  // the journal records what it can
    (void)closeJobResults();  // the job ends here
    return CWzError();
}
