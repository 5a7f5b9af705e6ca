// The data-transfer handler's transfer, media and clean-up operations.
#include <unistd.h>

#include <chrono>
#include <filesystem>

#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlBackupTransfer.h"
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"
#include "JxSqlDataReaderWriter/SqlTransferState.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// How long reset() waits for a transfer still running before it leaves it
// to end on its own (it holds what it uses).
constexpr int64_t kCancelWaitMs = 60 * 1000;

}  // namespace

bool SqlDataTransferHandler::startTransfer() {
    std::shared_ptr<SqlTransferState> st = m_state;  // kept alive for the whole transfer
    bool backup = false;
    {
        std::lock_guard<std::mutex> lock(st->mutex);
        if (st->transferRunning) {
            st->lastError = "A transfer of this pipeline is running already.";
            return false;
        }
        st->transferRunning = true;
        st->transferFailed = false;
        st->lastError.clear();
        st->cancel = std::make_shared<std::atomic<bool>>(false);
        // Without an engine a restore transfer copies the pieces to disk.
        backup = st->engine != nullptr ? !st->engine->isRestore() : (st->backup && !st->restoreToDisk);
    }
    bool ok = backup ? SqlRunBackupTransfer(st) : SqlRunRestoreTransfer(st);
    std::lock_guard<std::mutex> lock(st->mutex);
    // The caller may release the engine once this returns.
    st->engine = nullptr;
    st->transferRunning = false;
    st->transferEnded.notify_all();
    return ok;
}

bool SqlDataTransferHandler::commitData() {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    return SqlCommitPending(*m_state);
}

bool SqlDataTransferHandler::SendOptionalMediaHeaders(const std::string& xml) {
    if (!SqlOptionalHeadersEnabled()) return true;
    std::lock_guard<std::mutex> lock(m_state->mutex);
    // Kept beside the job's archive files, as a media agent keeps it with
    // the data.
    m_state->mediaHeaders += xml;
    m_state->mediaHeaders += "\n";
    std::string path = DiskLibrary::Directory() + "/headers/" + std::to_string(m_state->jobId) + ".xml";
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ec);
    return wz::WriteFileAtomically(path, m_state->mediaHeaders);
}

bool SqlDataTransferHandler::closePipeline(unsigned long dataWritten, bool quit) {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    bool ok = true;
    if (dataWritten == 1 && !quit) ok = SqlCommitPending(*m_state);
    // What was not committed leaves the media.
    return SqlFinishArchiveFiles(*m_state) && ok;
}

namespace {

// Asks a running transfer to stop.
void AskToStop(SqlTransferState& st) {
    if (!st.transferRunning) return;
    st.cancel->store(true);
    if (st.engine != nullptr) st.engine->AbortOperation("The data transfer was stopped.");
}

// Stops a running transfer and waits (bounded) for it to end.
void StopRunning(SqlTransferState& st, std::unique_lock<std::mutex>& lock) {
    if (!st.transferRunning) return;
    AskToStop(st);
    st.transferEnded.wait_for(lock, std::chrono::milliseconds(wz::RealMs(kCancelWaitMs)),
                              [&] { return !st.transferRunning; });
}

}  // namespace

void SqlDataTransferHandler::stopTransfer() {
    std::lock_guard<std::mutex> lock(m_state->mutex);
    AskToStop(*m_state);
}

void SqlDataTransferHandler::removeDataReaderWriters() {
    std::unique_lock<std::mutex> lock(m_state->mutex);
    StopRunning(*m_state, lock);
    m_state->writers.clear();
    m_state->fileWriters.clear();
}

void SqlDataTransferHandler::reset() {
    std::unique_lock<std::mutex> lock(m_state->mutex);
    StopRunning(*m_state, lock);
    m_state->writers.clear();
    m_state->fileWriters.clear();
    m_state->engine = nullptr;
    m_state->dbName.clear();
    m_state->originalDbName.clear();
    m_state->archives.clear();
    m_state->setupCompleted = false;
    m_state->transferFailed = false;
    m_state->bytesTransferred = 0;
    m_state->restorePipeline.Clear();
}

void SqlDataTransferHandler::cleanUpStageFolder() {
    std::vector<std::string> staged;
    {
        std::lock_guard<std::mutex> lock(m_state->mutex);
        staged.swap(m_state->stagedFiles);
    }
    for (const std::string& path : staged) (void)wz::Fs().Unlink(path);  // best effort
}
