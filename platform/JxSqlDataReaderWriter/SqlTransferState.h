// SqlTransferState: everything a data-transfer handler holds. Shared between
// the handler and a running transfer, so a transfer keeps what it uses alive
// even when the handler is reset or replaced meanwhile.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxPipelineSetupUtility/RestoreArchiveInfo.h"
#include "JxPipelineSetupUtility/RestorePipelineSetup.h"

class CJxSQLVDIBase;
class DataReaderWriter;
class JXBkpJobClient;
class JXJobCtrlClient;
class JXRstJobClient;

struct SqlTransferState {
    SqlTransferState() = default;
    // Finishes archive files left open: what they hold uncommitted is
    // reclaimed.
    ~SqlTransferState();
    SqlTransferState(const SqlTransferState&) = delete;
    SqlTransferState& operator=(const SqlTransferState&) = delete;

    // Fixed by the constructor.
    bool backup = true;
    uint64_t jobId = 0;
    uint64_t appNumber = 0;
    uint64_t jxCellId = 0;
    std::string csHost;
    int jobBkpType = 0;

    std::mutex mutex;  // guards everything below
    std::condition_variable transferEnded;
    unsigned long bufferKb = 0;
    JXJobCtrlClient* control = nullptr;
    JXBkpJobClient* bkpClient = nullptr;
    std::string dbName;
    std::string originalDbName;
    unsigned long collectFileOffset = 0;
    CJxSQLVDIBase* engine = nullptr;
    int streams = 1;
    int bkpType = 'D';
    std::list<RestoreArchiveInfo> archives;
    bool ignoreOffset = false;
    std::string stageFolder;
    // Files the transfer placed in the stage folder; the folder itself may
    // be the job-results directory, whose other files must stay.
    std::vector<std::string> stagedFiles;
    JXRstJobClient* rstClient = nullptr;
    std::string restoreToDiskPath;
    bool restoreToDisk = false;
    bool setupCompleted = false;
    bool stopJob = false;
    bool transferFailed = false;
    bool transferRunning = false;
    std::string lastError;
    uint64_t bytesTransferred = 0;
    std::map<int, std::shared_ptr<DataReaderWriter>> writers;
    // Staged log dumps moved by backupDBLogFiles: dump path to the writer
    // that holds its piece.
    std::map<std::string, std::shared_ptr<DataReaderWriter>> fileWriters;
    RestorePipelineSetup restorePipeline;
    // The job's archive files, one per stream (1-based), kept open across
    // databases until the pipeline is closed.
    struct ArchiveStream {
        MediaArchiveFile file;
        int fd = -1;
        uint64_t size = 0;  // bytes written so far
    };
    std::map<int, ArchiveStream> archiveFiles;
    // Whether the job reclaimed what earlier jobs left on the media.
    bool mediaReclaimed = false;
    // Pieces written but not yet committed, and the collect-file offset of
    // the line after the last database they hold.
    std::vector<int64_t> pendingPieces;
    unsigned long pendingNextLine = 0;
    std::string mediaHeaders;
    // A stop asked by reset() or removeDataReaderWriters() of the running
    // transfer.
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
};

// Whether SendOptionalMediaHeaders keeps what it is given (process-wide).
bool SqlOptionalHeadersEnabled();

// Whether the transfer must stop: reset() asked it to, or the job manager
// asked the job to stop (looked at every few blocks, as it costs a file
// lookup). Sets `reason`.
bool SqlTransferStopAsked(SqlTransferState& state, JXJobCtrlClient* control, uint64_t block, std::string& reason);
