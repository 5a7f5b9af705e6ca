// SnapRestoreHelper: starts the index-restore process and sends the set-up
// requests of an indexed restore session.
#include "JxSnapRestoreHandler/SnapRestoreHelper.h"

#include <cinttypes>

#include "JxSession/CJxNetwork.h"
#include "JxSnapRestoreHandler/FSRMessages.h"
#include "WzUtils/WzClock.h"

SnapRestoreHelper::SnapRestoreHelper() { FSRRegisterRecordCodecs(); }

SnapRestoreHelper::~SnapRestoreHelper() = default;

int SnapRestoreHelper::init(const FSIndexRestoreInit& init) {
    if (init.jobId == 0) {
        EV_ERROR(m_logger, "An indexed restore session needs a job id.");
        return -1;
    }
    m_init = init;
    m_logger.setJobId(init.jobId);
    return 0;
}

bool SnapRestoreHelper::connectToFSIndexRestore() {
    if (m_init.jobId == 0) {
        EV_ERROR(m_logger, "The indexed restore session was not initialised.");
        return false;
    }
    jxsExecuteRemoteCommandType command;
    command.program = kProgramName;
    command.arguments = {"-j", std::to_string(m_init.jobId)};
    auto session = std::make_unique<CJxNetwork>();
    bool timedOut = false;
    if (CWzError e =
            session->Attach_RemoteCommand("localhost", &command, nullptr, nullptr, kRequestTimeoutSeconds, timedOut);
        e.IsError()) {
        EV_ERROR(m_logger, "Cannot start [%s] for job [%" PRIu64 "]: %s", kProgramName, m_init.jobId,
                 e.AsString().c_str());
        return false;
    }
    m_session = std::move(session);
    EV_DEBUG(m_logger, 2, "Connected to [%s] for job [%" PRIu64 "]", kProgramName, m_init.jobId);
    return true;
}

bool SnapRestoreHelper::initFSIndexRestore() {
    FSRInitMsg request;
    request.jobId = m_init.jobId;
    request.restoreLevel = m_init.restoreLevel;
    uint32_t version = 0;
    if (!Request(FSR_MSG_INIT_REQ, &request, sizeof request, "session initialisation", &version)) return false;
    m_sessionVersion = version;
    EV_DEBUG(m_logger, 2, "Index-restore session of protocol version [%u]", version);
    return true;
}

bool SnapRestoreHelper::restorePath(const std::string& path, int level) {
    FSRPathMsg request;
    request.path = const_cast<char*>(path.c_str());  // only encoded, never freed
    request.restoreLevel = level;
    const bool accepted = Request(FSR_MSG_RESTORE_PATH_REQ, &request, sizeof request, "restore path", nullptr);
    if (!accepted) EV_ERROR(m_logger, "Restore of path [%s] was not accepted.", path.c_str());
    return accepted;
}

bool SnapRestoreHelper::restoreFromSnap() {
    return Request(FSR_MSG_RESTORE_FROM_SNAP_REQ, nullptr, 0, "restore from snapshot", nullptr);
}

CJxNetwork* SnapRestoreHelper::getJXSession() { return m_session.get(); }

bool SnapRestoreHelper::Request(unsigned long code, void* record, unsigned long recordSize, const char* what,
                                uint32_t* protocolVersion) {
    if (m_session == nullptr || !m_session->IsConnected()) {
        EV_ERROR(m_logger, "No session with [%s] for the %s request.", kProgramName, what);
        return false;
    }
    jxsDatabuf_v2 out;
    if (record != nullptr) out.setExternalBuffer(record, recordSize);
    // The index-restore process is a program this one started.
    const int timeout = wz::HelperWaitSeconds(kRequestTimeoutSeconds);
    bool timedOut = false;
    if (CWzError e = m_session->SendXDRMessage(code, &out, 0, timeout, timedOut); e.IsError()) {
        EV_ERROR(m_logger, "Failed to send the %s request: %s", what, e.AsString().c_str());
        return false;
    }
    FSRReceiveBuffer received;
    jxsDatabuf_v2 in = received.lend();
    unsigned long replyCode = 0;
    if (CWzError e = m_session->ReceiveXDRMessage(&replyCode, &in, nullptr, 0, timeout, timedOut); e.IsError()) {
        EV_ERROR(m_logger, "No answer to the %s request: %s", what, e.AsString().c_str());
        return false;
    }
    bool accepted = false;
    const FSRReplyMsg& reply = received.as<FSRReplyMsg>();
    if (replyCode != FSR_MSG_REPLY) {
        EV_ERROR(m_logger, "Unexpected message [%s] in answer to the %s request.", FSRMessageName(replyCode).c_str(),
                 what);
    } else if (reply.status != 0) {
        EV_ERROR(m_logger, "The %s request was refused (%d): %s", what, reply.status,
                 reply.text != nullptr ? reply.text : "");
    } else {
        accepted = true;
        if (protocolVersion != nullptr) *protocolVersion = reply.protocolVersion;
    }
    // The record was decoded by the codec of its own code, which frees it.
    (void)CJxNetwork::FreeReceivedMessage(replyCode, &in);
    return accepted;
}
