// The engine's statement: set-up, start, end, and recovery only.
#include <algorithm>
#include <mutex>
#include <string>

#include "JxSQLVDIBase/CJxSQLVDIBase.h"
#include "JxSQLVDIBase/VdiRun.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimBackupRefusal.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimPendingFiles.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "JxsqlDMO/SqlSimRestorePlacing.h"
#include "WzUtils/FXString.h"

namespace {

constexpr unsigned long kMinBlock = 64 * 1024;
// Larger blocks than this fall out of the CPU caches between the copy into
// the block and the copy out of it, and move data more slowly.
constexpr unsigned long kMaxBlock = 1024 * 1024;

}  // namespace

void VdiFail(VdiStatement& s, long code, const std::string& text) {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.outcome.failed) return;
    s.outcome.failed = true;
    s.outcome.errorCode = code;
    s.outcome.errorText = text;
}

bool VdiHold(VdiStatement& s, SqlSimInstance& sim, const std::string& database, SqlSimDatabaseHold::Mode mode,
             SqlSimDatabaseHold& hold, SqlSimDatabaseHold::Purpose purpose) {
    std::string error;
    if (purpose == SqlSimDatabaseHold::Purpose::kStatement && mode == SqlSimDatabaseHold::Mode::kShared) {
        switch (SqlSimTakeBackupHold(sim, database, hold, error)) {
        case SqlSimBackupHold::kTaken:
            return true;
        case SqlSimBackupHold::kGone:
            VdiFail(s, kSqlErrDatabaseMissing, SqlSimMissingDatabaseText(database));
            return false;
        case SqlSimBackupHold::kInRestore:
            VdiFail(s, kSqlErrInRestore, SqlSimBackupRefusal(database, SQLDB_STATE_RESTORING));
            return false;
        case SqlSimBackupHold::kFailed:
            break;
        }
        VdiFail(s, -1, error);
        return false;
    }
    switch (hold.Take(sim.Location(), database, mode, error, purpose)) {
        case SqlSimDatabaseHold::Result::kTaken:
            return true;
        case SqlSimDatabaseHold::Result::kBusy:
            if (purpose != SqlSimDatabaseHold::Purpose::kStatement) {
                VdiFail(s, kSqlErrBackupSerialized, kVdiSerializedText);
            } else {
                VdiFail(s, kSqlErrDatabaseInUse,
                        std::string(SqlSimDatabaseHold::kInUseText) + " RESTORE DATABASE is terminating abnormally.");
            }
            return false;
        case SqlSimDatabaseHold::Result::kFailed:
            break;
    }
    VdiFail(s, -1, error);
    return false;
}

void VdiTimeOut(VdiStatement& s, int stream) {
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (!s.outcome.failed) s.outcome.timedOut = true;
    }
    VdiFail(s, 0,
            "VDI timeout: stream " + std::to_string(stream + 1) + " of database [" + s.database +
                "] was not served in time.");
}

void VdiStopped(VdiStatement& s, const std::string& reason) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        text = s.abortReason;
    }
    if (text.empty()) text = reason;
    // The job manager's request is set before the stop it causes, so every
    // thread that sees the stop also sees the request.
    VdiFail(s, s.quit ? static_cast<long>(kSqlErrStopped) : 0L, text);
}

void VdiInfo(VdiStatement& s, const std::string& text) {
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.outcome.infoMessages.empty()) s.outcome.infoMessages += "\n";
    s.outcome.infoMessages += text;
}

void VdiAbortDevices(VdiStatement& s) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        text = s.outcome.errorText.empty() ? "The statement ended." : s.outcome.errorText;
    }
    for (auto& device : s.devices) device->Abort(text);
}

namespace {

// A device aborted by the pipeline ends the statement with the pipeline's
// own reason; the job's stop request ends it as stopped.
VdiWait Waited(VdiStatement& s, VdiDevice& device, VdiWait w) {
    if (w == VdiWait::Aborted) VdiStopped(s, device.AbortReason());
    return w;
}

template <typename Wait>
VdiWait WithRetries(VdiStatement& s, VdiDevice& device, Wait wait) {
    const int64_t timeoutMs = static_cast<int64_t>(std::max(1, s.options.timeoutSeconds)) * 1000;
    for (unsigned int attempt = 0;; ++attempt) {
        VdiWait w = wait(timeoutMs);
        if (w != VdiWait::TimedOut) return Waited(s, device, w);
        if (s.stop) return Waited(s, device, VdiWait::Aborted);
        if (attempt >= s.options.retryLimit) return VdiWait::TimedOut;
    }
}

}  // namespace

VdiWait VdiAcquire(VdiStatement& s, VdiDevice& device, VdiBlock& block) {
    return WithRetries(s, device, [&](int64_t ms) { return device.Acquire(block, ms); });
}

VdiWait VdiGet(VdiStatement& s, VdiDevice& device, VdiBlock& block) {
    return WithRetries(s, device, [&](int64_t ms) { return device.Get(block, ms); });
}

VdiWait VdiDrain(VdiStatement& s, VdiDevice& device) {
    return WithRetries(s, device, [&](int64_t ms) { return device.WaitDrained(ms); });
}

bool CJxSQLVDIBase::Initialize() {
    VdiOptions& o = m_statement->options;
    if (o.streams < 1 || o.streams > 64) {
        VdiFail(*m_statement, -1, "The number of streams must be 1 to 64, not " + std::to_string(o.streams) + ".");
        return false;
    }
    if (o.timeoutSeconds <= 0) o.timeoutSeconds = 300;
    o.maxTransferSize = std::clamp(o.maxTransferSize, kMinBlock, kMaxBlock);
    if (o.bufferCount == 0) o.bufferCount = 1;
    m_statement->initialized = true;
    return true;
}

bool CJxSQLVDIBase::SetServerName(const std::string& instance, const std::string& database) {
    m_statement->server = instance;
    m_statement->database = database;
    SqlSimInstance sim;
    CWzError err = sim.Open(instance);
    if (err.IsError()) {
        VdiFail(*m_statement, -1, "Cannot connect to SQL Server [" + instance + "]: " + err.GetMessage());
        return false;
    }
    if (database.empty()) {
        VdiFail(*m_statement, -1, "No database name given.");
        return false;
    }
    m_statement->connected = true;
    return true;
}

bool CJxSQLVDIBase::StartVDIOperation() {
    VdiStatement& s = *m_statement;
    // A restore is set up without Initialize(); the checks run here then.
    if (!s.initialized && !Initialize()) return false;
    if (!s.connected || m_thread.joinable()) {
        VdiFail(s, -1, "The virtual-device engine is not ready for a statement.");
        return false;
    }
    size_t streams = static_cast<size_t>(s.options.streams);
    size_t perDevice = std::max<size_t>(2, s.options.bufferCount / streams);
    s.devices.clear();
    for (size_t i = 0; i < streams; ++i) {
        s.devices.push_back(std::make_unique<VdiDevice>(perDevice, s.options.maxTransferSize));
    }
    s.streamBytes = std::vector<std::atomic<uint64_t>>(streams);
    s.running = true;
    m_thread = std::thread([&s] {
        if (s.options.restore && s.options.restoreFromFiles) {
            VdiRunRestoreFromFiles(s);
        } else if (s.options.restore) {
            VdiRunRestore(s);
        } else {
            VdiRunBackup(s);
        }
        bool failed = false;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.outcome.finished = true;
            failed = s.outcome.failed;
        }
        if (failed) VdiAbortDevices(s);
        s.running = false;
    });
    return true;
}

bool CJxSQLVDIBase::StartDBRestore(const std::string& database) {
    VdiStatement& s = *m_statement;
    if (s.options.dbFiles.empty() || s.options.dbFiles.size() > 64) {
        VdiFail(s, -1, "RESTORE [" + database + "] FROM DISK needs 1 to 64 files.");
        return false;
    }
    if (database != s.database) {
        VdiFail(s, -1, "RESTORE [" + database + "] was set up for [" + s.database + "].");
        return false;
    }
    s.options.restore = true;
    s.options.restoreFromFiles = true;
    s.options.streams = static_cast<int>(s.options.dbFiles.size());
    return StartVDIOperation();
}

bool CJxSQLVDIBase::isStatementRunning() const { return m_statement->running; }

uint64_t CJxSQLVDIBase::getTransferredBytes() const {
    uint64_t total = 0;
    for (const auto& bytes : m_statement->streamBytes) total += bytes;
    return total;
}

uint64_t CJxSQLVDIBase::getWorkDone() const { return getTransferredBytes() + m_statement->workDone;
}

bool CJxSQLVDIBase::isFinished() const {
    std::lock_guard<std::mutex> lock(m_statement->mutex);
    return m_statement->outcome.finished;
}

void CJxSQLVDIBase::clearDBFiles() { m_statement->options.dbFiles.clear(); }

bool CJxSQLVDIBase::Finalize(bool stop) {
    if (stop) {
        m_statement->quit = true;
        AbortOperation("The job was stopped.");
    }
    if (!m_thread.joinable()) {
        // A pipeline that gave up before the statement started left its reason.
        std::string reason;
        {
            std::lock_guard<std::mutex> lock(m_statement->mutex);
            reason = m_statement->abortReason;
        }
        VdiFail(*m_statement, -1, reason.empty() ? "No statement was started." : reason);
        return false;
    }
    JoinStatement();
    return !queryFailed();
}

bool CJxSQLVDIBase::recoverOnly(const std::wstring& database, const std::string& instance, const std::wstring&) {
    std::string name = FXString::ToString(database);
    SqlSimInstance sim;
    CWzError err = sim.Open(instance);
    if (err.IsError()) {
        VdiFail(*m_statement, kSqlErrDatabaseMissing, "RESTORE DATABASE [" + name + "] WITH RECOVERY: " + err.GetMessage());
        return false;
    }
    // A restore statement of its own: it holds the database as every restore
    // statement does, and first puts back what a killed one left.
    SqlSimDatabaseHold hold;
    if (!VdiHold(*m_statement, sim, name, SqlSimDatabaseHold::Mode::kExclusive, hold)) return false;
    if (err = SqlSimRestorePlacing::PutBackKilled(sim, name); err.IsError()) {
        VdiFail(*m_statement, -1, err.GetMessage());
        return false;
    }
    // Every read ends before the statement writes: a read left open on the
    // connection cannot wait for another statement's commit, and its write
    // would be refused at once as busy.
    bool exists = false;
    int64_t id = 0;
    int state = 0;
    if (err = SqlSimDatabaseState(sim, name, exists, id, state); err.IsError() || !exists) {
        VdiFail(*m_statement, kSqlErrDatabaseMissing,
                "RESTORE DATABASE [" + name + "] WITH RECOVERY: " +
                    (err.IsError() ? err.GetMessage() : "database [" + name + "] does not exist"));
        return false;
    }
    if (state == SQLDB_STATE_ONLINE) return true;
    SqlSimPendingFiles pending;
    if (err = SqlSimGetPendingFiles(sim, name, pending); err.IsError()) {
        VdiFail(*m_statement, -1, err.GetMessage());
        return false;
    }
    if (!pending.logicalNames.empty()) {
        VdiFail(*m_statement, kSqlErrNotReadyToRollForward,
                "The database [" + name + "] cannot be recovered: the restored files are not yet level with the "
                "rest of the database. Restore the later log backups first.");
        return false;
    }
    if (state != SQLDB_STATE_RESTORING && state != SQLDB_STATE_STANDBY) {
        VdiFail(*m_statement, kSqlErrNotReadyToRollForward,
                "The database [" + name + "] is not in a restoring state and cannot be recovered.");
        return false;
    }
    VdiReachTestPoint(VdiTestPoint::kRecovering, m_statement->stop);
    if (err = SqlSimSetRestoredState(sim, id, SQLDB_STATE_ONLINE, false); err.IsError()) {
        VdiFail(*m_statement, -1, err.GetMessage());
        return false;
    }
    return true;
}
