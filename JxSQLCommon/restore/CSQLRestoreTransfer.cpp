// CSQLRestoreBase: the data-transfer thread of one backup's restore, the
// progress it reports while the job waits for it, and the progress
// interval.
//
// The job's thread waits for the transfer one progress interval at a time
// and reports the bytes moved at each interval, until the thread has ended:
// the handler is reset right after the wait, so no transfer may outlive it.
// While it waits, a stop request of the job manager stops the transfer, and
// a transfer that moves no byte for the VDI time-out is stopped and fails.
#include <cinttypes>
#include <cstdlib>
#include <string>
#include <vector>

#include "JxLib/JXGlobalParam.h"
#include "JxLib/JxThread.h"
#include "JxPipelineSetupUtility/RestorePipelineSetup.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "WzUtils/WzClock.h"

namespace {

constexpr size_t kStreamCounts = 64;
constexpr int64_t kDefaultIntervalSecs = 300;
constexpr uint64_t kDefaultVdiTimeoutSecs = 300;
constexpr unsigned long kSqlAppType = 81;

// The transfer thread: runs the handler's transfer and leaves its outcome
// in the handler's failed flag.
void* transferDataThread(void* handler) {
    auto* transfer = static_cast<SqlDataTransferHandler*>(handler);
    transfer->setTransferFailed(!transfer->startTransfer());
    return nullptr;
}

}  // namespace

bool CSQLRestoreBase::transferData() {
    JxThread thread;
    CWzError started = thread.Start(&transferDataThread, &m_dataTransferHandler);
    if (started.IsError()) {
        EV_ERROR(m_logger, "CreateThread failed with error [%s].", started.GetMessage().c_str());
        return false;
    }
    std::vector<unsigned long long> counts(kStreamCounts, 0);
    const uint64_t intervalSecs = m_updateIntervalSecs > 0 ? m_updateIntervalSecs : kDefaultIntervalSecs;
    const uint64_t stallSecs = m_vdiTimeout > 0 ? m_vdiTimeout : kDefaultVdiTimeoutSecs;
    bool stopRequested = false;
    bool stalled = false;
    uint64_t lastBytes = m_dataTransferHandler.getBytesTransferred();
    int64_t lastMoveMs = wz::ClockMs();

    while (!thread.JoinFor(intervalSecs * 1000)) {
        (void)updateByteTransferredInRestoreJobDetails(counts);  // a report that could not be sent only logs
        const uint64_t bytes = m_dataTransferHandler.getBytesTransferred();
        if (bytes != lastBytes) {
            lastBytes = bytes;
            lastMoveMs = wz::ClockMs();
        }
        if (stopRequested || stalled) {
            // Asked again at every interval: a stop that came before the
            // transfer had started finds nothing to stop yet.
            m_dataTransferHandler.removeDataReaderWriters();
            continue;
        }
        if (QuitRequested()) {
            EV_INFO(m_logger, "The job was asked to stop: stopping the data transfer of [%s].",
                    m_sServername.c_str());
            stopRequested = true;
            m_dataTransferHandler.removeDataReaderWriters();
        } else if (static_cast<uint64_t>(wz::ClockMs() - lastMoveMs) >= stallSecs * 1000) {
            EV_ERROR(m_logger, "No data was transferred for [%" PRIu64 "] seconds: stopping the transfer.",
                     stallSecs);
            stalled = true;
            m_dataTransferHandler.removeDataReaderWriters();
        }
    }

    bool result = !m_dataTransferHandler.isTransferFailed() && !stopRequested && !stalled;
    (void)updateByteTransferredInRestoreJobDetails(counts);  // the last counts; a failed report only logs
    if (stalled && m_pRstJobClnt) {
        *m_pRstJobClnt << m_sServername.c_str();
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseVdiTimeout);  // the job fails through the result
    }
    return result;
}

bool CSQLRestoreBase::updateByteTransferredInRestoreJobDetails(std::vector<unsigned long long>& lastCounts) {
    if (!m_pRstJobClnt) {
        EV_WARN(m_logger, "Updating restore job controler is skipped because RstJobClnt object is null.");
        return false;
    }
    RestorePipelineSetup* pipeline = m_dataTransferHandler.getRestorePipeLine();
    const std::map<int, PipelineInfo> streams =
        pipeline != nullptr ? pipeline->getStreamPipeinfoMap() : std::map<int, PipelineInfo>{};
    for (const auto& [stream, writer] : m_dataTransferHandler.getStreamWriterMap()) {
        const auto entry = streams.find(stream);
        if (stream < 0 || static_cast<size_t>(stream) >= lastCounts.size() || entry == streams.end()) {
            EV_WARN(m_logger,
                    "Updating restore job controler is skipped because stream number [%lu] is not proper range.",
                    static_cast<unsigned long>(stream));
            continue;
        }
        if (!entry->second.pArchive) {
            EV_WARN(m_logger, "Updating restore job controler is skipped because Archive object with  [%lu] is null.",
                    static_cast<unsigned long>(stream));
            continue;
        }
        if (!writer) {
            EV_WARN(m_logger,
                    "Updating restore job controler is skipped because DataReaderWriter with [%lu] object is null.",
                    static_cast<unsigned long>(stream));
            continue;
        }
        const unsigned long long bytes = writer->getBytesTransferred();
        unsigned long long& reported = lastCounts[static_cast<size_t>(stream)];
        (void)m_pRstJobClnt->setRCID(entry->second.pArchive->GetResourceConsumerId());  // the client it answers is not needed
        m_pRstJobClnt->setUncompBytes2Add(static_cast<int64_t>(bytes >= reported ? bytes - reported : 0));
        reported = bytes;
        (void)m_pRstJobClnt->updateInfo(false, nullptr);  // progress only: the next interval sends it again
    }
    return true;
}

int64_t CSQLRestoreBase::getUpdateIntervalSecs() {
    std::string text;
    int64_t seconds = kDefaultIntervalSecs;
    if (JXGlobalParam::getUpdateRecoverySec(kSqlAppType, text) == 0) {
        char* end = nullptr;
        const long long value = std::strtoll(text.c_str(), &end, 10);
        if (end != text.c_str() && value > 0) {
            seconds = value;
        } else {
            EV_WARN(m_logger, "Recovery update time [%s] is not a positive number. Setting it to 5 mins default",
                    text.c_str());
        }
    } else {
        text.clear();
        EV_DEBUG(m_logger, 1, "Failed to get recovery update time. Setting it to 5 mins default");
    }
    EV_DEBUG(m_logger, 1, "GUI progress updates will be sent every [%s] secs", text.c_str());
    return seconds;
}
