// The data pipeline's handler: binding, transfer and media operations.
#include "JxSqlDataReaderWriter/SqlDataTransferHandler.h"

#include <atomic>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxSqlDataReaderWriter/DataReaderWriter.h"
#include "JxSqlDataReaderWriter/SqlBackupTransfer.h"
#include "JxSqlDataReaderWriter/SqlTransferState.h"
#include "WzUtils/WzFileSystem.h"

namespace {
std::atomic<bool> g_sendOptionalHeaders{true};
}  // namespace

SqlTransferState::~SqlTransferState() {
    // Nothing is committed here; a failed close loses nothing.
    (void)SqlFinishArchiveFiles(*this);
}

SqlDataTransferHandler::SqlDataTransferHandler() : m_state(std::make_shared<SqlTransferState>()) {}

SqlDataTransferHandler::SqlDataTransferHandler(bool backup, uint64_t jobId, uint64_t appNumber, uint64_t jxCellId,
                                               const std::string& csHost, int bkpType, int)
    : m_state(std::make_shared<SqlTransferState>()) {
    m_state->backup = backup;
    m_state->jobId = jobId;
    m_state->appNumber = appNumber;
    m_state->jxCellId = jxCellId;
    m_state->csHost = csHost;
    m_state->jobBkpType = bkpType;
}

SqlDataTransferHandler::~SqlDataTransferHandler() = default;

SqlDataTransferHandler::SqlDataTransferHandler(SqlDataTransferHandler&& other) noexcept
    : m_state(std::move(other.m_state)) {
    other.m_state = std::make_shared<SqlTransferState>();
}

SqlDataTransferHandler& SqlDataTransferHandler::operator=(SqlDataTransferHandler&& other) noexcept {
    if (this != &other) {
        m_state = std::move(other.m_state);
        other.m_state = std::make_shared<SqlTransferState>();
    }
    return *this;
}

void SqlDataTransferHandler::CanSendOptionalHeaders(bool enabled) { g_sendOptionalHeaders = enabled; }

bool SqlTransferStopAsked(SqlTransferState& state, JXJobCtrlClient* control, uint64_t block, std::string& reason) {
    if (state.cancel->load()) {
        reason = "The data transfer was stopped.";
        return true;
    }
    if (control != nullptr && block % 16 == 0 && control->checkQuitFlag()) {
        reason = "The job manager asked the job to stop.";
        return true;
    }
    return false;
}

bool SqlOptionalHeadersEnabled() { return g_sendOptionalHeaders.load(); }

#define WITH_STATE std::lock_guard<std::mutex> lock(m_state->mutex)

void SqlDataTransferHandler::setBufferSizeInKB(unsigned long kb) { WITH_STATE; m_state->bufferKb = kb; }
void SqlDataTransferHandler::setJobControllerObject(JXJobCtrlClient* control) { WITH_STATE; m_state->control = control; }
void SqlDataTransferHandler::setBkpJobControllerObject(JXBkpJobClient* client) { WITH_STATE; m_state->bkpClient = client; }
void SqlDataTransferHandler::setRstJobControllerObject(JXRstJobClient* client) { WITH_STATE; m_state->rstClient = client; }
void SqlDataTransferHandler::setRestoreToDiskPath(const std::string& path) { WITH_STATE; m_state->restoreToDiskPath = path; }
void SqlDataTransferHandler::setRestoreToDisk(bool on) { WITH_STATE; m_state->restoreToDisk = on; }
void SqlDataTransferHandler::setDbName(const std::string& name) { WITH_STATE; m_state->dbName = name; }
void SqlDataTransferHandler::setOriginalDBName(const std::string& name) { WITH_STATE; m_state->originalDbName = name; }
void SqlDataTransferHandler::setCollectFileOffset(unsigned long offset) { WITH_STATE; m_state->collectFileOffset = offset; }
void SqlDataTransferHandler::setVDIBase(CJxSQLVDIBase* engine) { WITH_STATE; m_state->engine = engine; }
void SqlDataTransferHandler::setStreams(int streams) { WITH_STATE; m_state->streams = streams; }
void SqlDataTransferHandler::setBkpType(int type) { WITH_STATE; m_state->bkpType = type; }

void SqlDataTransferHandler::setRestoreArchiveFileInfoList(const std::list<RestoreArchiveInfo>& archives) {
    WITH_STATE;
    m_state->archives = archives;
}

void SqlDataTransferHandler::setIgnoreArchiveFileOffset(bool ignore) { WITH_STATE; m_state->ignoreOffset = ignore; }
bool SqlDataTransferHandler::getIgnoreArchiveFileOffset() const { WITH_STATE; return m_state->ignoreOffset; }
void SqlDataTransferHandler::setRestoreStageFolder(const std::string& folder) { WITH_STATE; m_state->stageFolder = folder; }
void SqlDataTransferHandler::disableAuxCopyRestore() {}
void SqlDataTransferHandler::disableRestoreOptimization() {}

bool SqlDataTransferHandler::getbSetupPipelineCompleted() const { WITH_STATE; return m_state->setupCompleted; }
bool SqlDataTransferHandler::isStopJob() const { WITH_STATE; return m_state->stopJob; }
bool SqlDataTransferHandler::setupBackupPipeline(bool backup) {
    WITH_STATE;
    return backup && m_state->backup && m_state->jobId != 0 && !m_state->stopJob;
}
void SqlDataTransferHandler::setTransferFailed(bool failed) { WITH_STATE; m_state->transferFailed = failed; }
bool SqlDataTransferHandler::isTransferFailed() const { WITH_STATE; return m_state->transferFailed; }
std::string SqlDataTransferHandler::getLastErrorString() const { WITH_STATE; return m_state->lastError; }
uint64_t SqlDataTransferHandler::getBytesTransferred() const { WITH_STATE; return m_state->bytesTransferred; }

std::map<int, std::shared_ptr<DataReaderWriter>> SqlDataTransferHandler::getStreamWriterMap() const {
    WITH_STATE;
    return m_state->writers;
}

RestorePipelineSetup* SqlDataTransferHandler::getRestorePipeLine() { return &m_state->restorePipeline; }

std::shared_ptr<DataReaderWriter> SqlDataTransferHandler::getStreamWriterForFile(const std::string& file) const {
    WITH_STATE;
    auto it = m_state->fileWriters.find(file);
    return it == m_state->fileWriters.end() ? nullptr : it->second;
}
