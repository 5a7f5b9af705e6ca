// The engine's options, its life cycle and the readers of its outcome.
#include "JxSQLVDIBase/CJxSQLVDIBase.h"

#include "JxSQLVDIBase/VdiStatement.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "WzUtils/FXString.h"

namespace {

std::string Narrow(const std::wstring& text) { return FXString::ToString(text); }

std::list<std::string> NarrowList(const std::list<std::wstring>& names) {
    std::list<std::string> out;
    for (const std::wstring& n : names) out.push_back(Narrow(n));
    return out;
}

}  // namespace

CJxSQLVDIBase::CJxSQLVDIBase() : m_statement(std::make_unique<VdiStatement>()) {}

CJxSQLVDIBase::~CJxSQLVDIBase() {
    m_statement->stop = true;
    AbortOperation("The virtual-device engine was released while its statement ran.");
    JoinStatement();
}

void CJxSQLVDIBase::JoinStatement() {
    if (m_thread.joinable()) m_thread.join();
}

void CJxSQLVDIBase::setVDIBlockSize(unsigned long bytes) { m_statement->options.blockSize = bytes; }
void CJxSQLVDIBase::setVDIBuffercount(unsigned long count) { m_statement->options.bufferCount = count; }
void CJxSQLVDIBase::setVDIMaxTransferSize(unsigned long bytes) { m_statement->options.maxTransferSize = bytes; }
void CJxSQLVDIBase::setNumberOfStreams(int streams) { m_statement->options.streams = streams; }
void CJxSQLVDIBase::setBackupType(int type) { m_statement->options.backupType = type; }
void CJxSQLVDIBase::setLoadingState() { m_statement->options.loadingState = true; }
void CJxSQLVDIBase::setVDITimeOut(int seconds) { m_statement->options.timeoutSeconds = seconds; }
void CJxSQLVDIBase::SetVDITimeoutRetryCountLimit(unsigned int retries) { m_statement->options.retryLimit = retries; }
void CJxSQLVDIBase::setCopyOnlyBackup(bool on) { m_statement->options.copyOnly = on; }
void CJxSQLVDIBase::setPartialBackup(bool on) { m_statement->options.partialBackup = on; }
void CJxSQLVDIBase::setSqlCompression(bool on) { m_statement->options.compression = on; }
void CJxSQLVDIBase::setChecksum(bool on) { m_statement->options.checksum = on; }
void CJxSQLVDIBase::setContinueAfterError(bool on) { m_statement->options.continueAfterError = on; }
void CJxSQLVDIBase::setNoTruncateLog(bool on) { m_statement->options.noTruncateLog = on; }
void CJxSQLVDIBase::setJxcellNumber(unsigned long id) { m_statement->options.jxCellId = id; }
void CJxSQLVDIBase::setJobId(unsigned long id) { m_statement->options.jobId = id; }
void CJxSQLVDIBase::setMajorVersion(unsigned long version) { m_statement->options.majorVersion = version; }

void CJxSQLVDIBase::SetFFGList(const std::list<std::wstring>& files, const std::list<std::wstring>& fileGroups) {
    SetFFGList(NarrowList(files), NarrowList(fileGroups));
}

void CJxSQLVDIBase::SetFFGList(const std::list<std::string>& files, const std::list<std::string>& fileGroups) {
    m_statement->options.ffgFiles = files;
    m_statement->options.ffgGroups = fileGroups;
}

void CJxSQLVDIBase::SetRestore() { m_statement->options.restore = true; }
void CJxSQLVDIBase::setPartialRestore() { m_statement->options.partialRestore = true; }
void CJxSQLVDIBase::setDBOState() { m_statement->options.dboState = true; }
void CJxSQLVDIBase::setReplace() { m_statement->options.replace = true; }
void CJxSQLVDIBase::setStopAtMark() { m_statement->options.stopAtMark = true; }
void CJxSQLVDIBase::setStopBeforeMark() { m_statement->options.stopBeforeMark = true; }

void CJxSQLVDIBase::setStandBy(const wchar_t* undoFile) {
    m_statement->options.standby = true;
    m_statement->options.undoFile = undoFile ? Narrow(undoFile) : std::string();
}

void CJxSQLVDIBase::setPointInTime(std::wstring stopAt) { m_statement->options.pointInTime = Narrow(stopAt); }
void CJxSQLVDIBase::setPointInTime(const std::string& stopAt) { m_statement->options.pointInTime = stopAt; }
void CJxSQLVDIBase::setMarkTime(std::wstring time) { m_statement->options.markTime = Narrow(time); }
void CJxSQLVDIBase::setMarkTime(const std::string& time) { m_statement->options.markTime = time; }
void CJxSQLVDIBase::setMarkName(std::wstring name) { m_statement->options.markName = Narrow(name); }
void CJxSQLVDIBase::setMarkName(const std::string& name) { m_statement->options.markName = name; }
void CJxSQLVDIBase::setKeepReplication(bool on) { m_statement->options.keepReplication = on; }
void CJxSQLVDIBase::setKeepCDC(bool on) { m_statement->options.keepCdc = on; }
void CJxSQLVDIBase::setVerifyOnly(bool on) { m_statement->options.verifyOnly = on; }
void CJxSQLVDIBase::SetDropDBConnections(bool on) { m_statement->options.dropConnections = on; }
void CJxSQLVDIBase::SetAppendRestartInQuery(bool on) { m_statement->options.appendRestart = on; }

void CJxSQLVDIBase::setDBFiles(std::vector<std::wstring> files) {
    m_statement->options.dbFiles.clear();
    for (const std::wstring& f : files) m_statement->options.dbFiles.push_back(Narrow(f));
}

void CJxSQLVDIBase::setRestoreFromFiles(bool on) { m_statement->options.restoreFromFiles = on; }

void CJxSQLVDIBase::initializeTSqlFlags() {
    VdiOptions& o = m_statement->options;
    o.loadingState = o.partialRestore = o.dboState = o.replace = false;
    o.stopAtMark = o.stopBeforeMark = o.standby = o.verifyOnly = false;
    o.undoFile.clear();
    o.pointInTime.clear();
    o.markTime.clear();
    o.markName.clear();
    o.moves.clear();
}

void CJxSQLVDIBase::addFileToRename(const std::string& logicalName, const std::string& newPath) {
    m_statement->options.moves.emplace_back(logicalName, newPath);
}

void CJxSQLVDIBase::addFileToRename(const std::wstring& logicalName, const std::wstring& newPath) {
    addFileToRename(Narrow(logicalName), Narrow(newPath));
}

bool CJxSQLVDIBase::InitializeVDI() { return Initialize(); }

bool CJxSQLVDIBase::GetBkpData(bool& done, int stream) {
    done = true;
    VdiDevice* device = getDevice(stream);
    return device != nullptr && !device->IsAborted();
}

bool CJxSQLVDIBase::GetBytesForRestore(unsigned long& bytes, int stream) {
    bytes = 0;
    if (stream < 0 || static_cast<size_t>(stream) >= m_statement->streamBytes.size()) return false;
    bytes = static_cast<unsigned long>(m_statement->streamBytes[static_cast<size_t>(stream)].load());
    return true;
}

void CJxSQLVDIBase::AbortOperation(const std::string& reason) {
    {
        std::lock_guard<std::mutex> lock(m_statement->mutex);
        if (m_statement->abortReason.empty()) m_statement->abortReason = reason;
    }
    m_statement->stop = true;
    for (auto& device : m_statement->devices) device->Abort(reason);
    VdiWakeTestHold();
}

void CJxSQLVDIBase::setQuit(bool quit) { m_statement->quit = quit; }

void CJxSQLVDIBase::Close() {
    if (m_thread.joinable()) {
        AbortOperation("The virtual-device engine was closed while its statement ran.");
        JoinStatement();
    }
    m_statement->devices.clear();
    m_statement->connected = false;
}

int CJxSQLVDIBase::getNumberOfStreams() const { return m_statement->options.streams; }
bool CJxSQLVDIBase::isRestore() const { return m_statement->options.restore; }

VdiDevice* CJxSQLVDIBase::getDevice(int stream) {
    if (stream < 0 || static_cast<size_t>(stream) >= m_statement->devices.size()) return nullptr;
    return m_statement->devices[static_cast<size_t>(stream)].get();
}

int CJxSQLVDIBase::getVDITimeOut() const { return m_statement->options.timeoutSeconds; }
unsigned int CJxSQLVDIBase::getVDITimeoutRetryCountLimit() const { return m_statement->options.retryLimit; }
unsigned long CJxSQLVDIBase::getVDIMaxTransferSize() const { return m_statement->options.maxTransferSize; }
unsigned long CJxSQLVDIBase::getVDIBuffercount() const { return m_statement->options.bufferCount; }
const std::string& CJxSQLVDIBase::getDatabaseName() const { return m_statement->database; }
const std::string& CJxSQLVDIBase::getServerName() const { return m_statement->server; }

long CJxSQLVDIBase::getJXErrorCode() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.errorCode;
}

std::string CJxSQLVDIBase::getJXErrorString() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.errorText;
}

std::string CJxSQLVDIBase::getCVErrorString() const { return getJXErrorString(); }

bool CJxSQLVDIBase::queryFailed() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.failed;
}

bool CJxSQLVDIBase::isVdiTimeOut() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.timedOut;
}

std::string CJxSQLVDIBase::getQueryInfoMessages() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.infoMessages;
}

std::list<JxSQLBackupFileInfo> CJxSQLVDIBase::getBackupFileList() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.files;
}

JxSQLBackupSetInfo CJxSQLVDIBase::getBackupSetInfo() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.setInfo;
}

std::string CJxSQLVDIBase::getXMLBackupSetInfo_10() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.metadataXml;
}

bool CJxSQLVDIBase::isLoadingState() const { return m_statement->options.loadingState; }
bool CJxSQLVDIBase::isStandbyState() const { return m_statement->options.standby; }
bool CJxSQLVDIBase::isQuit() const { return m_statement->quit; }
