// CSQLMultiThreadedBackup: the backup job that backs up the databases of
// one subclient in parallel.
//
// The job lists the subclient's databases with their sizes, spreads them
// over at most ten size-balanced collect files ("MultiThreadedCollectFile_<n>"
// in the job-results directory, listed in "CollectFileMap.jxf"), and hands
// each collect file to one task of a thread pool. The work done for one
// collect file is the hook OnCollectFile, which here only returns success: a
// subclass supplies the real work, reports through the thread-safe progress
// calls and sets the per-file success and failure counts. The job's status
// follows from how many collect files succeeded and failed.
//
// Threads: startBackup, the split and the counting run on the caller's
// thread; OnCollectFile runs on the pool's threads. The progress calls take
// m_lock around every job-client call. A subclass's hook must not use the
// job's own pipeline handler or other job state unguarded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JxJobClient/JXJobClient.h"
#include "JxLib/JxCriticalSection.h"
#include "JxLib/JxThreadPool.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "WzUtils/CWzError.h"

// Settings of section "MSSQLAgent".
extern const char* const REGKEY_BLOCK_LEVEL_THREAD_COUNT;        // "BlbThreadCount"
extern const char* const REGKEY_DBS_PER_COLLECT_FILE;            // "BlbDbsPerCollect"
extern const char* const REGKEY_BLOCK_LEVEL_MIN_COLLECT_FILES;   // "BlbMinCollectFiles"
extern const char* const REGKEY_BLOCK_LEVEL_THREAD_TIMEOUT;      // "BlbThreadTimeout"

// One database for planning: its name and its size from SQL Server.
struct DBInfo {
    std::string name;
    uint64_t size = 0;
};

// One multi-threaded collect file. Only the index and the path are set
// here; the other members belong to the per-file work.
struct CollectFileInfo {
    int64_t index = 0;
    uint64_t value = 1;
    std::string path;
    uint32_t flags = 0;
    std::string text;
};

// The argument of one pool task. successCount and failureCount are set by
// the per-file work; a file succeeded with no failure and some success.
struct MTBackupParams {
    class CSQLMultiThreadedBackup* owner = nullptr;
    uint64_t word1 = 0;
    uint64_t successCount = 0;
    uint64_t failureCount = 0;
    CollectFileInfo collectFile;
};

// Pool task entry: runs the owner's OnCollectFile for one MTBackupParams.
void* startCollectFileThread(void* params);

class CSQLMultiThreadedBackup : public CSQLBackup {
public:
    CSQLMultiThreadedBackup();
    ~CSQLMultiThreadedBackup() override;

    bool startBackup(BackupOptionsParser* parser, int argc, char** argv) override;

    // ---- Own virtual operations, in slot order ------------------------------
    virtual CWzError OnCollectFile(MTBackupParams& params, CollectFileInfo& file);
    virtual CWzError SetDatabaseDone(const std::string& name);
    virtual CWzError SetStartDatabase(const std::string& name);
    virtual CWzError StartMultiThreadedBackup();
    // Nothing to check here: false.
    virtual bool CheckForUncommittedDbsByCollFileIdEx(unsigned long id);
    virtual bool createCollectFiles(std::vector<CollectFileInfo>& files);
    virtual uint32_t generateMultiThreadedCollectFiles(std::vector<CollectFileInfo>& files);
    virtual bool getDatabases(std::vector<DBInfo>& dbs);
    // Writes `dbs` (largest first) to the collect files and the map; the
    // number of collect files written, 0 on failure.
    virtual uint32_t writeDatabasesToCollectFiles(const std::vector<DBInfo>& dbs, std::vector<CollectFileInfo>& files);
    virtual CWzError AddJobProgress(int n);
    virtual CWzError Complete(JXJobStatus status);

    // The pool's wait limit in platform milliseconds ("BlbThreadTimeout",
    // minutes).
    int64_t ThreadTimeoutMs() const;
    // Whether a worker the wait gave up on may still run: the object (and
    // what it holds) must then outlive the process's use of it.
    bool WorkersOutstanding() const { return !m_params.empty(); }

protected:
    std::string m_poolName = "BlockLevelBackupThreadPool";
    uint64_t m_nDatabasesDone = 0;
    int32_t m_nThreadCount = 2;
    uint64_t m_nCollectFiles = 0;
    uint64_t m_nDatabases = 0;
    uint64_t m_dbSizesResult = 0;
    uint64_t m_nDbsPerCollectFile = 4;
    uint64_t m_nMinCollectFiles = 2;
    JxThreadPool m_threadPool;
    JxCriticalSection m_lock;
    // Collect files that failed (and, before the pool, the job's own
    // failures); the successes go to m_successCount. Job thread only.
    uint64_t m_failedCount = 0;
    // The task arguments of the last run. They stay until the job object
    // goes, because a task the wait gave up on may still use its element.
    std::vector<MTBackupParams> m_params;

private:
    // Removes collect files of an earlier, longer split from index `from` on.
    void RemoveStaleCollectFiles(const std::string& basePath, int64_t from);
    void RaiseCause(int cause, const std::vector<std::string>& arguments);
};
