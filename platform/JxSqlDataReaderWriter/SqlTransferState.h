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

#include "JxPipelineSetupUtility/RestoreArchiveInfo.h"
#include "JxPipelineSetupUtility/RestorePipelineSetup.h"

class CJxSQLVDIBase;
class DataReaderWriter;
class JXBkpJobClient;
class JXJobCtrlClient;

struct SqlTransferState {
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
    bool setupCompleted = false;
    bool stopJob = false;
    bool transferFailed = false;
    bool transferRunning = false;
    std::string lastError;
    uint64_t bytesTransferred = 0;
    std::map<int, std::shared_ptr<DataReaderWriter>> writers;
    RestorePipelineSetup restorePipeline;
    // A stop asked by reset() or removeDataReaderWriters() of the running
    // transfer.
    std::shared_ptr<std::atomic<bool>> cancel = std::make_shared<std::atomic<bool>>(false);
};
