// CSQLBackup: the exchange of an availability-group child with the master
// process that started it, over the one connection the job opened at its
// start. Requests and replies pair by order on the connection.
//
// Every send and receive is bounded (the VDI time-out, else 300 seconds), so
// a silent master never hangs the child. After a receive that failed or timed
// out, or a reply that was not what was asked for, a late or stray reply may
// still be on its way and would be taken as the answer to the next request:
// the connection is then no longer used for the rest of the job.
#include <memory>
#include <string>
#include <vector>

#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/backup/ExternalDatabaseName.h"
#include "JxSession/CJxNetwork.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

constexpr int kDefaultMasterTimeoutSeconds = 300;

using CF = SQLPmn::SQLAGCollectFile;
using SC = SQLPmn::SQLAGStreamCount;

// Sets the phase field of the message (one of the fields of the full,
// differential and log phases); an unknown phase is logged and false.
bool MarkPhase(EvEvent& logger, CNMessageBase& message, unsigned int phase, CNFieldId full, CNFieldId diff,
               CNFieldId log) {
    switch (phase) {
        case JXSQL_BACKUP_FULL: message.setint64(full, 1); return true;
        case JXSQL_BACKUP_DIFF: message.setint64(diff, 1); return true;
        case JXSQL_BACKUP_LOG: message.setint64(log, 1); return true;
        default: EV_ERROR(logger, "UNKNOWN backup phase type."); return false;
    }
}

}  // namespace

int CSQLBackup::MasterTimeoutSeconds() const {
    return m_vdiTimeout > 0 && m_vdiTimeout < 86400 ? static_cast<int>(m_vdiTimeout) : kDefaultMasterTimeoutSeconds;
}

CWzError CSQLBackup::SendToMasterProcess(const CNMessageBase& message) {
    if (m_pMasterConnection == nullptr || m_bMasterConnectionSpent) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "the connection to the master process is not usable");
    }
    bool timedOut = false;
    CWzError err = m_pMasterConnection->SendXMLMessage(message, 0, MasterTimeoutSeconds(), timedOut);
    // Part of a message may have gone out: the peer's view of the stream is unknown.
    if (err.IsError()) m_bMasterConnectionSpent = true;
    return err;
}

CWzError CSQLBackup::ReceiveFromMasterProcess(CNMessageBase& reply) {
    if (m_pMasterConnection == nullptr || m_bMasterConnectionSpent) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "the connection to the master process is not usable");
    }
    CNMessageBase* received = nullptr;
    bool timedOut = false;
    CWzError err = m_pMasterConnection->ReceiveXMLMessage(nullptr, received, nullptr, 0, MasterTimeoutSeconds(),
                                                          timedOut);
    std::unique_ptr<CNMessageBase> owned(received);  // released on every path
    if (err.IsSuccess() && (owned == nullptr || reply.copyFrom(*owned) != kMsgOk)) {
        err = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "the master answered with another message");
    }
    if (err.IsError()) m_bMasterConnectionSpent = true;
    return err;
}

bool CSQLBackup::RequestCollectFileFromMaster(CF& request, CF& reply) {
    if (CWzError err = SendToMasterProcess(request); err.IsError()) {
        EV_ERROR(m_logger, "Failed to send collect file request to master process with error [%s].",
                 err.AsString().c_str());
        return false;
    }
    EV_DEBUG(m_logger, 1, "Sent collect file request to master process.");
    if (CWzError err = ReceiveFromMasterProcess(reply); err.IsError()) {
        EV_ERROR(m_logger, "Failed to receive collect file from master process with error [%s].",
                 err.AsString().c_str());
        return false;
    }
    if (reply.getint64(CF::kOwnCollectFile) == 0) {
        EV_ERROR(m_logger, "Master process encountered error while returning collect file.");
        return false;
    }
    for (const std::string& name : reply.getliststring(CF::kDatabases)) {
        std::string why;
        if (!jxsql::IsCollectFileName(name, why)) {
            EV_ERROR(m_logger, "Master process returned an invalid database name: %s.", why.c_str());
            return false;
        }
    }
    const int64_t count = reply.getint64(CF::kStreamCount);
    if (count < 0 || count > 64) {
        EV_ERROR(m_logger, "Master process returned an invalid stream count [%lld].", static_cast<long long>(count));
        return false;
    }
    EV_DEBUG(m_logger, 1, "Recieved collect file from master process.");
    return true;
}

bool CSQLBackup::RequestPhaseCollectFileFromMaster(CNFieldId want, CF& reply) {
    CF request;
    request.setint64(want, 1);
    if (!MarkPhase(m_logger, request, m_bkpPhase, CF::kPhaseFull, CF::kPhaseDiff, CF::kPhaseLog)) return false;
    return RequestCollectFileFromMaster(request, reply);
}

bool CSQLBackup::GeneratePromotedCollectFileForAlwaysON(std::string path) {
    CF reply;
    if (!RequestPhaseCollectFileFromMaster(CF::kWantPromoted, reply)) return false;
    if (!GenerateStreamInfoFile(m_bkpPhase, static_cast<int>(reply.getint64(CF::kStreamCount)))) return false;
    if (!WriteToCollectFile(path, reply.getliststring(CF::kDatabases), true)) return false;
    (void)SendStreamCountUpdateToMaster();  // the master's own count stands without it
    EV_DEBUG(m_logger, 1, "Generated collect file successfully.");
    return true;
}

bool CSQLBackup::GenerateRestartCollectFileForAlwaysON(std::string path) {
    CF reply;
    if (!RequestPhaseCollectFileFromMaster(CF::kWantRestart, reply)) return false;
    if (!WriteToCollectFile(path, reply.getliststring(CF::kDatabases), true)) return false;
    if (!GenerateStreamInfoFile(m_bkpPhase, static_cast<int>(reply.getint64(CF::kStreamCount)))) return false;
    EV_DEBUG(m_logger, 1, "Generate collect file successfully.");
    return true;
}

bool CSQLBackup::SendGeneratedCollectFileForAlwaysONToMasterProcess(std::string path, unsigned int level,
                                                                    bool convertedList) {
    std::vector<std::string> names;
    if (!ReadFromCollectFile(path, names)) {
        EV_ERROR(m_logger, "Failed to read from collect file to send it to master process.");
        return false;
    }
    CF message;
    message.setint64(CF::kOwnCollectFile, 1);
    message.setint64(CF::kConvertedList, convertedList ? 1 : 0);
    if (!MarkPhase(m_logger, message, level, CF::kPhaseFull, CF::kPhaseDiff, CF::kPhaseLog)) return false;
    message.setliststring(CF::kDatabases, names);
    message.setint64(CF::kStreamCount, GetStreamCount(level));
    if (CWzError err = SendToMasterProcess(message); err.IsError()) {
        EV_WARN(m_logger, "Failed to send collect file to master process with error [%s].", err.AsString().c_str());
        return false;
    }
    CF reply;
    if (CWzError err = ReceiveFromMasterProcess(reply); err.IsError()) {
        EV_ERROR(m_logger, "Failed to receive collect file from master process with error [%s].",
                 err.AsString().c_str());
        return false;
    }
    if (reply.getint64(CF::kOwnCollectFile) == 0) {
        EV_ERROR(m_logger, "Master process encountered error while receving collect file.");
        return false;
    }
    EV_DEBUG(m_logger, 1, "Sent collect file to master process.");
    return true;
}

bool CSQLBackup::FetchStreamCountFromMaster(int& count) {
    SC request;
    if (!MarkPhase(m_logger, request, m_bkpPhase, SC::kPhaseFull, SC::kPhaseDiff, SC::kPhaseLog)) return false;
    if (CWzError err = SendToMasterProcess(request); err.IsError()) {
        EV_ERROR(m_logger, "Failed to send stream count update to master process with error [%s].",
                 err.AsString().c_str());
        return false;
    }
    EV_DEBUG(m_logger, 1, "Sent stream count request to master process.");
    SC reply;
    if (CWzError err = ReceiveFromMasterProcess(reply); err.IsError()) {
        EV_WARN(m_logger, "Failed to receive stream count update from master process with error [%s].",
                err.AsString().c_str());
        return true;
    }
    const int64_t value = reply.getint64(SC::kStreamCount);
    if (value < 0 || value > 64) {
        EV_WARN(m_logger, "Master process returned an invalid stream count [%lld]; it is not used.",
                static_cast<long long>(value));
        return true;
    }
    count = static_cast<int>(value);
    EV_DEBUG(m_logger, 1, "Recieved stream count [%d] from master process.", count);
    return true;
}

bool CSQLBackup::SendStreamCountUpdateToMaster() {
    SC message;
    if (!MarkPhase(m_logger, message, m_bkpPhase, SC::kPhaseFull, SC::kPhaseDiff, SC::kPhaseLog)) return false;
    message.setint64(SC::kStreamCount, GetStreamCount(m_bkpPhase));
    if (CWzError err = SendToMasterProcess(message); err.IsError()) {
        EV_ERROR(m_logger, "Failed to send stream count update to master process with error [%s].",
                 err.AsString().c_str());
        return false;
    }
    EV_DEBUG(m_logger, 1, "Sent stream count [%d] update to master process.",
             static_cast<int>(message.getint64(SC::kStreamCount)));
    return true;
}

bool CSQLBackup::SendJobCompletionStatusToMaster(int status) {
    using JS = SQLPmn::SQLAGJobStatus;
    JS message;
    switch (status) {
        case JXSQL_JOB_COMPLETED: message.setint64(JS::kSuccess, 1); break;
        case JXSQL_JOB_PARTIAL: message.setint64(JS::kPartialSuccess, 1); break;
        case JXSQL_JOB_FAILED: message.setint64(JS::kFailure, 1); break;
        default: EV_ERROR(m_logger, "UNKNOWN job completion type."); return false;
    }
    if (CWzError err = SendToMasterProcess(message); err.IsError()) {
        EV_WARN(m_logger, "Failed to send job completion status to master process with error [%s].",
                err.AsString().c_str());
        return false;
    }
    return true;
}

bool CSQLBackup::SendFinishToMaster() {
    SQLPmn::SQLAGClientStartedFinish finished;
    finished.setint64(SQLPmn::SQLAGClientStartedFinish::kStarted, 0);
    if (CWzError err = SendToMasterProcess(finished); err.IsError()) {
        EV_ERROR(m_logger, "Failed to send FINISH message to master process with error [%s].", err.AsString().c_str());
        return false;
    }
    EV_DEBUG(m_logger, 1, "Sent FINISH message to master process.");
    return true;
}
