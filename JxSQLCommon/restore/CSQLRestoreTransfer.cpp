// CSQLRestoreBase: the data-transfer thread of one backup's restore, the
// progress it reports while the job waits for it, and the progress
// interval.
//
// The job's thread waits for the transfer one progress interval at a time
// and reports the bytes moved at each interval. A stop request of the job
// manager, or a transfer that moves no byte for the VDI time-out, stops the
// transfer; the job then waits at most one more VDI time-out for the thread
// to end. A thread that still runs after that (a read that never returns)
// is let go: the job leaves it its handler and engine, waits for it no more
// and restores nothing else.
#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
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

// What the job and one transfer thread share. Once the job has let go of
// the thread (`abandoned`), the thread no longer touches the handler, which
// may then go with the job.
struct RestoreTransferRun {
    explicit RestoreTransferRun(SqlDataTransferHandler* h) : handler(h) {}
    SqlDataTransferHandler* handler;
    std::mutex mutex;
    std::condition_variable endedChanged;
    bool abandoned = false;
    bool ended = false;
    // What the thread may still use after the job let go of it (the
    // engine): released with the last of the two.
    std::vector<std::shared_ptr<void>> kept;
};

namespace {

constexpr size_t kStreamCounts = 64;
constexpr int64_t kDefaultIntervalSecs = 300;
constexpr uint64_t kDefaultVdiTimeoutSecs = 300;
constexpr unsigned long kSqlAppType = 81;

// The transfer thread: runs the handler's transfer and leaves its outcome
// in the handler's failed flag. It owns the shared record it is given.
void* transferDataThread(void* argument) {
    std::unique_ptr<std::shared_ptr<RestoreTransferRun>> given(
        static_cast<std::shared_ptr<RestoreTransferRun>*>(argument));
    const std::shared_ptr<RestoreTransferRun> run = *given;
    const bool ok = run->handler->startTransfer();
    std::lock_guard<std::mutex> lock(run->mutex);
    if (!run->abandoned) run->handler->setTransferFailed(!ok);
    run->ended = true;
    run->endedChanged.notify_all();
    return nullptr;
}

// Bytes the streams have moved so far (they count as they go; the
// handler's own total is set when the transfer ends).
uint64_t BytesMovedSoFar(const SqlDataTransferHandler& handler) {
    uint64_t bytes = 0;
    for (const auto& [stream, writer] : handler.getStreamWriterMap()) {
        if (writer) bytes += writer->getBytesTransferred();
    }
    return bytes;
}

}  // namespace

bool CSQLRestoreBase::transferData() {
    m_transferStalled = false;
    if (TransferLeftRunning()) {
        EV_ERROR(m_logger, "The data transfer of an earlier backup still runs: no other transfer is started.");
        return false;
    }
    auto run = std::make_shared<RestoreTransferRun>(&m_dataTransferHandler);
    auto* argument = new std::shared_ptr<RestoreTransferRun>(run);
    JxThread thread;
    CWzError started = thread.Start(&transferDataThread, argument);
    if (started.IsError()) {
        delete argument;
        EV_ERROR(m_logger, "CreateThread failed with error [%s].", started.GetMessage().c_str());
        return false;
    }
    std::vector<unsigned long long> counts(kStreamCounts, 0);
    const uint64_t intervalMs =
        (m_updateIntervalSecs > 0 ? m_updateIntervalSecs : static_cast<uint64_t>(kDefaultIntervalSecs)) * 1000;
    const uint64_t stallMs = (m_vdiTimeout > 0 ? m_vdiTimeout : kDefaultVdiTimeoutSecs) * 1000;
    bool stopRequested = false;
    bool stalled = false;
    int64_t stoppedAtMs = 0;
    uint64_t lastBytes = BytesMovedSoFar(m_dataTransferHandler);
    int64_t lastMoveMs = wz::ClockMs();
    bool ended = false;
    for (;;) {
        uint64_t waitMs = intervalMs;
        if (stopRequested || stalled) {
            const uint64_t waited = static_cast<uint64_t>(std::max<int64_t>(0, wz::ClockMs() - stoppedAtMs));
            if (waited >= stallMs) break;
            waitMs = std::min(waitMs, stallMs - waited);
        }
        if (thread.JoinFor(waitMs)) {
            ended = true;
            break;
        }
        (void)updateByteTransferredInRestoreJobDetails(counts);  // a report that could not be sent only logs
        if (stopRequested || stalled) {
            // Asked again at every interval: a stop that came before the
            // transfer had started found nothing to stop yet.
            m_dataTransferHandler.stopTransfer();
            continue;
        }
        const uint64_t bytes = BytesMovedSoFar(m_dataTransferHandler);
        if (bytes != lastBytes) {
            lastBytes = bytes;
            lastMoveMs = wz::ClockMs();
        }
        if (QuitRequested()) {
            EV_INFO(m_logger, "The job was asked to stop: stopping the data transfer of [%s].",
                    m_sServername.c_str());
            stopRequested = true;
        } else if (static_cast<uint64_t>(wz::ClockMs() - lastMoveMs) >= stallMs) {
            EV_ERROR(m_logger, "No data was transferred for [%" PRIu64 "] seconds: stopping the transfer.",
                     stallMs / 1000);
            stalled = true;
            m_transferStalled = true;
            if (m_pRstJobClnt) {
                *m_pRstJobClnt << m_sServername.c_str();
                (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseVdiTimeout);  // fails through the result
            }
        }
        if (stopRequested || stalled) {
            stoppedAtMs = wz::ClockMs();
            m_dataTransferHandler.stopTransfer();
        }
    }

    if (!ended) {
        // The transfer did not end within one more VDI time-out after it was
        // stopped: its engine is aborted, and the thread is let go with the
        // handler it uses; nothing else is restored while it may run.
        m_dataTransferHandler.stopTransfer();
        {
            std::lock_guard<std::mutex> lock(run->mutex);
            run->abandoned = true;
        }
        thread.Detach();
        m_transferLeftRunning = run;
        EV_ERROR(m_logger,
                 "The data transfer did not end within [%" PRIu64 "] seconds after it was stopped; it is left to "
                 "end on its own and the job restores nothing more.",
                 stallMs / 1000);
    }
    const bool result = ended && !stopRequested && !stalled && !m_dataTransferHandler.isTransferFailed();
    if (ended) (void)updateByteTransferredInRestoreJobDetails(counts);  // the last counts; a failed report only logs
    if (stopRequested) {
        EV_ERROR(m_logger, "The data transfer was stopped because the job was asked to stop.");
    }
    return result;
}

void CSQLRestoreBase::HandToTransferLeftRunning(std::shared_ptr<void> object) {
    if (!m_transferLeftRunning || !object) return;
    std::lock_guard<std::mutex> lock(m_transferLeftRunning->mutex);
    m_transferLeftRunning->kept.push_back(std::move(object));
}

bool CSQLRestoreBase::WaitForTransferLeftRunning(uint64_t platformMs) {
    if (!m_transferLeftRunning) return true;
    RestoreTransferRun& run = *m_transferLeftRunning;
    std::unique_lock<std::mutex> lock(run.mutex);
    return run.endedChanged.wait_for(lock, std::chrono::milliseconds(wz::RealMs(static_cast<int64_t>(platformMs))),
                                     [&] { return run.ended; });
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
