// The serving side of a remote copy: the entry, the progress loop and the
// worker thread.
#include "JxSQLMessageHandler/client/ProcessRemoteOpsMessage.h"

#include <boost/make_shared.hpp>
#include <memory>
#include <new>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxLib/JxThread.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/client/CSQLRemoteOps.h"
#include "JxSQLMessageHandler/client/CSQLRemoteOpsWorkerInfo.h"
#include "JxSQLMessageHandler/client/RemoteCopyAck.h"
#include "JxSession/CJxNetwork.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFormat.h"

namespace {

// Seconds between progress acknowledgements, and how long each one waits
// for a suspend request.
constexpr unsigned int kProgressIntervalSeconds = 60;
constexpr int kSuspendWaitSeconds = 10;
// The out-of-memory result code.
constexpr int32_t kOutOfMemoryCode = 14;

}  // namespace

CWzError CheckProgress(CJxNetwork* network, boost::shared_ptr<CSQLRemoteOpsWorkerInfo> worker, bool& suspended) {
    EvDebug log;
    suspended = false;
    CWzError result;
    while (!worker->IsWorkCompleted(kProgressIntervalSeconds)) {
        result = SendRemoteCopyAck(*network, REMOTE_COPY_IN_PROGRESS, "Remote copy in progress");
        if (result.IsError()) break;
        CNMessageBase* received = nullptr;
        bool timedOut = false;
        CWzError e = network->ReceiveXMLMessage(nullptr, received, nullptr, 0, kSuspendWaitSeconds, timedOut);
        std::unique_ptr<CNMessageBase> message(received);
        if (e.IsError()) {
            if (timedOut) EV_DEBUG(log, 3, "Suspend request wait timed-out.");
            else EV_ERROR(log, "Failed to receive any message from remote node. Error [%s]", e.GetMessage().c_str());
            continue;
        }
        if (!message) {
            result = FXErrorUtil::ErrorJXResult(FXCODELOC, kRemoteCopyErrorCode, "Invalid message");
            break;
        }
        SQLPmn::RemoteCopyFileAck ack;
        if (message->getTagID() != ack.getTagID() || ack.copyFrom(*message) != kMsgOk) {
            EV_ERROR(log, "Unknown message type %lu.", message->getTagID());
            continue;
        }
        if (ack.getint64(SQLPmn::RemoteCopyFileAck::kStatus) == REMOTE_COPY_SUSPEND) {
            suspended = true;
            EV_DEBUG(log, 1, "Received request to suspend remote copy operation");
            break;
        }
    }
    if (result.IsError() || suspended) worker->m_quit = true;  // the copy is reported as failed: stop it
    if (result.IsError()) return result.Push(FXCODELOC, "Reporting the remote copy progress failed.");
    return CWzError::Success();
}

void* ThreadEntry(void* workerRecord) {
    EvDebug log;
    auto* worker = static_cast<CSQLRemoteOpsWorkerInfo*>(workerRecord);
    if (worker == nullptr) {
        EV_ERROR(log, "Thread parameter can not be type casted as CSQLRemoteOpsWorkerInfo");
        return nullptr;
    }
    EV_DEBUG(log, 2, "Remote copy worker thread started");
    CWzError result;
    try {
        CSQLRemoteOps ops;
        ops.setWorkerInfo(worker);
        result = ops.HandleRemoteCopyRequest(worker->m_request);
    } catch (const std::bad_alloc&) {
        result = FXErrorUtil::ErrorJXResult(FXCODELOC, kOutOfMemoryCode, "Out of memory during the remote copy.");
    }
    worker->m_result = result;
    EV_DEBUG(log, 2, "Remote copy worker thread completed. Status [%s].",
             result.IsError() ? result.GetMessage().c_str() : "Success");
    worker->m_completed.Set();
    return nullptr;
}

CWzError ProcessSQLRemoteCopyMsg(CJxNetwork* network, CNMessageBase* message) {
    SQLPmn::RemoteCopyInfo request;
    if (network == nullptr || message == nullptr) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kRemoteCopyErrorCode, "Invalid message");
    }
    if (message->getTagID() != request.getTagID()) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kRemoteCopyErrorCode, "Unsupported message ID %lu",
                                          message->getTagID());
    }
    if (request.copyFrom(*message) != kMsgOk) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kRemoteCopyErrorCode,
                                          "Unable to cast incoming message to RemoteCopyInfo type");
    }
    EvDebug log;
    EV_DEBUG(log, 0, "Remote copy Started.");
    if (log.GetDebugLevel() > 1) {
        std::string xml;
        request.serialize(xml);
        EV_DEBUG(log, 2, "Incoming remote copy message: %s", xml.c_str());
    }
    if (CWzError sent = SendRemoteCopyAck(*network, REMOTE_COPY_STARTED, "Remote copy started"); sent.IsError()) {
        // The requester is gone: a copy nobody waits for is not started.
        EV_ERROR(log, "%s", sent.AsString().c_str());
        return sent.Push(FXCODELOC, "Cannot acknowledge the remote copy request.");
    }

    boost::shared_ptr<CSQLRemoteOpsWorkerInfo> worker;
    try {
        worker = boost::make_shared<CSQLRemoteOpsWorkerInfo>();
    } catch (const std::bad_alloc&) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kOutOfMemoryCode, "Cannot allocate the remote copy worker.");
    }
    worker->m_request = &request;
    JxThread thread;
    CWzError e = thread.Start(ThreadEntry, worker.get());
    if (e.IsError()) {
        // No worker will report: tell the requester now instead of letting it wait.
        std::string text = wz::Format("Remote copy failed with error [%s]", e.GetMessage().c_str());
        EV_ERROR(log, "%s", text.c_str());
        // The worker's failure is the one reported; a lost acknowledgement ends the
        // requester's wait through its receive time-out.
        (void)SendRemoteCopyAck(*network, REMOTE_COPY_FAILED, text);
        return e.Push(FXCODELOC, "Cannot start the remote copy worker.");
    }

    bool suspended = false;
    e = CheckProgress(network, worker, suspended);
    eRemoteCopyStatus status = REMOTE_COPY_FAILED;
    std::string text;
    if (e.IsError()) {
        text = wz::Format("Remote copy failed with error [%s]", e.GetMessage().c_str());
    } else if (worker->IsWorkCompleted(0) && worker->m_result.IsError()) {
        // The result is read only once the worker has signalled that it is written.
        text = wz::Format("Remote copy failed with error [%s]", worker->m_result.GetMessage().c_str());
    } else if (suspended) {
        text = "Remote copy got suspended";
    } else {
        status = REMOTE_COPY_COMPLETED;
        text = "Remote copy completed successfully";
    }
    if (status == REMOTE_COPY_FAILED) EV_ERROR(log, "%s", text.c_str());
    else EV_DEBUG(log, 0, "%s", text.c_str());
    if (CWzError sent = SendRemoteCopyAck(*network, status, text); sent.IsError()) {
        EV_ERROR(log, "Cannot tell the requester the outcome of the remote copy: %s", sent.AsString().c_str());
    }
    thread.Join();
    return CWzError::Success();
}

extern "C" __attribute__((visibility("default"))) void ProcessRemoteOpsMessage(CJxNetwork* network, unsigned long) {
    EvDebug log;
    if (network == nullptr) {
        EV_ERROR(log, "Invalid message");
        return;
    }
    try {
        CNMessageBase* received = nullptr;
        bool timedOut = false;
        CWzError e = network->ReceiveXMLMessage(nullptr, received, nullptr, 0, kRemoteCopyTimeoutSeconds, timedOut);
        std::unique_ptr<CNMessageBase> message(received);
        if (e.IsError()) {
            EV_ERROR(log, "Failed to receive any message from remote node. Error [%s].", e.GetMessage().c_str());
            return;
        }
        if (!message) {
            EV_ERROR(log, "Invalid message");
            return;
        }
        if (message->getTagID() != SQLPmn::RemoteCopyInfo().getTagID()) {
            EV_ERROR(log, "Unknown message type %lu.", message->getTagID());
            return;
        }
        EV_DEBUG(log, 3, "Received message to initiate remote copy.");
        e = ProcessSQLRemoteCopyMsg(network, message.get());
        if (e.IsError()) EV_ERROR(log, "ProcessRemoteCopyMsg failed with error [%s]", e.AsString().c_str());
    } catch (const std::bad_alloc&) {
        EV_ERROR(log, "Out of memory while serving a remote copy.");
    }
}
