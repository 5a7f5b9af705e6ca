// CSQLRemoteOps: the requester's conversation and the worker's push of a
// remote copy of job results.
#include "JxSQLMessageHandler/client/CSQLRemoteOps.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLMessageHandler/client/CSQLRemoteOpsWorkerInfo.h"
#include "JxSQLMessageHandler/client/PeerPathCheck.h"
#include "JxSQLMessageHandler/client/ProcessRemoteOpsMessage.h"
#include "JxSQLMessageHandler/client/RemoteCopyAck.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/JxCopyFile.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// The requester tells the job manager it is alive this often while it waits.
constexpr int64_t kKeepAliveMs = 600 * 1000;
// A request may list at most this many files (each becomes a 4 KB copy record).
constexpr size_t kMaxRemoteCopyFiles = 10000;

CWzError RemoteCopyError(const FXCodeLocation& where, const std::string& text) {
    return FXErrorUtil::ErrorJXResult(where, kRemoteCopyErrorCode, "%s", text.c_str());
}

// A folder must be absolute, a file name one plain path level; neither may
// climb with "..", hold a zero byte or outgrow the copy record.
CWzError CheckPathText(const std::string& text, bool folder, const char* what) {
    bool valid = !text.empty() && text.size() < kJxsFileCopyPathBytes && text.find('\0') == std::string::npos;
    if (valid && folder) {
        valid = text.front() == '/';
        for (size_t start = 0; valid && start <= text.size();) {
            size_t end = text.find('/', start);
            if (end == std::string::npos) end = text.size();
            valid = text.compare(start, end - start, "..") != 0;
            start = end + 1;
        }
    } else if (valid) {
        valid = text != "." && text != ".." && text.find('/') == std::string::npos;
    }
    if (valid) return CWzError::Success();
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Invalid %s [%s] in the remote copy request.", what,
                                     text.c_str());
}

// Stops a push between blocks once the worker is asked to quit.
class QuitMonitor : public JxCopyFileMonitor {
public:
    explicit QuitMonitor(CSQLRemoteOps& ops) : m_ops(ops) {}
    bool IsCancelled() override { return m_ops.CheckQuitFlag(); }

private:
    CSQLRemoteOps& m_ops;
};

}  // namespace

CSQLRemoteOps::CSQLRemoteOps() { getCurrentNodeName(m_nodeName); }

CSQLRemoteOps::CSQLRemoteOps(JXJobCtrlClient* jobCtrl, JXJobClient* jobClient)
    : m_jobCtrl(jobCtrl), m_jobClient(jobClient) {
    getCurrentNodeName(m_nodeName);
}

CWzError CSQLRemoteOps::getCurrentNodeName(std::string& name) {
    if (m_nodeName.empty()) {
        JXPlatformInfo settings;
        settings.getClientHostNameMangled(settings.getPhysicalMachine(), m_nodeName);
    }
    name = m_nodeName;
    return CWzError::Success();
}

bool CSQLRemoteOps::CheckQuitFlag() { return m_worker != nullptr && m_worker->m_quit.load(); }

CWzError CSQLRemoteOps::PullContentFromRemoteNode(std::string& remoteNode,
                                                  std::vector<SQLPmn::RemoteCopyFileInfo>& files,
                                                  eRemoteOpsContentType type, unsigned long id) {
    SQLPmn::RemoteCopyInfo request;
    request.setstring(SQLPmn::RemoteCopyInfo::kNodeName, m_nodeName);
    request.setint64(SQLPmn::RemoteCopyInfo::kContentType, type);
    request.setint64(SQLPmn::RemoteCopyInfo::kRequestId, static_cast<int64_t>(id));
    request.setlistobject(SQLPmn::RemoteCopyInfo::kFiles, files);
    CWzError e = ExecuteRemoteOperation(remoteNode, request);
    if (e.IsError()) return e.Push(FXCODELOC, "Remote copy from node [%s] failed.", remoteNode.c_str());
    return CWzError::Success();
}

CWzError CSQLRemoteOps::ExecuteRemoteOperation(const std::string& remoteNode, SQLPmn::RemoteCopyInfo& request) {
    EvDebug log;
    CJxNetwork network;
    jxsExecuteRemoteDllType descriptor;
    std::strcpy(descriptor.libraryName, kRemoteOpsLibraryName);
    std::strcpy(descriptor.entryName, kRemoteOpsEntryName);
    descriptor.option = kRemoteOpsAttachOption;
    bool timedOut = false;
    CWzError e = network.Attach_RemoteDLL(remoteNode, &descriptor, m_nodeName.c_str(), kRemoteCopyTimeoutSeconds,
                                          timedOut);
    if (e.IsError()) {
        if (timedOut) e = RemoteCopyError(FXCODELOC, "Network timeout on trying to connect to " + remoteNode);
        else e.Push(FXCODELOC, "Could not contact server. Attach failed with error:[%s]", e.GetMessage().c_str());
        EV_ERROR(log, "%s", e.AsString().c_str());
        return e;
    }
    EV_DEBUG(log, 3, "Successfully connected to remote host %s.", remoteNode.c_str());

    e = network.SendXMLMessage(request, 0, kRemoteCopyTimeoutSeconds, timedOut);
    if (e.IsError()) {
        if (timedOut) e = RemoteCopyError(FXCODELOC, "Network timeout on trying to communicate with" + remoteNode);
        else e.Push(FXCODELOC, "Sending the remote copy request to [%s] failed.", remoteNode.c_str());
        EV_ERROR(log, "%s", e.AsString().c_str());
        // Drop the session without waiting for a peer that did not take the request.
        network.Disconnect(0, timedOut);
        return e;
    }

    CWzError result;
    std::unique_ptr<CNMessageBase> message;
    int64_t aliveAt = wz::ClockMs();
    for (;;) {
        message.reset();
        if (wz::ClockMs() - aliveAt > kKeepAliveMs) {
            if (m_jobClient != nullptr) m_jobClient->markJobAlive();
            aliveAt = wz::ClockMs();
        }
        CNMessageBase* received = nullptr;
        e = network.ReceiveXMLMessage(nullptr, received, nullptr, 0, kRemoteCopyTimeoutSeconds, timedOut);
        message.reset(received);
        if (e.IsError()) {
            if (timedOut) {
                result = RemoteCopyError(FXCODELOC, "Network timeout on waiting to receive message from " + remoteNode);
            } else {
                result = e.Push(FXCODELOC, "Failed to receive data from the server. Error:[%s]", e.GetMessage().c_str());
            }
            break;
        }
        if (!message) {
            result = RemoteCopyError(FXCODELOC, "Invalid message");
            break;
        }
        EV_DEBUG(log, 3, "Received response message from sRemoteMessaging remote module");
        SQLPmn::RemoteCopyFileAck ack;
        if (message->getTagID() != ack.getTagID() || ack.copyFrom(*message) != kMsgOk) continue;
        const int64_t status = ack.getint64(SQLPmn::RemoteCopyFileAck::kStatus);
        const std::string text = ack.getstring(SQLPmn::RemoteCopyFileAck::kText);
        if (status == REMOTE_COPY_COMPLETED) break;
        if (status == REMOTE_COPY_STARTED) continue;
        if (status == REMOTE_COPY_FAILED) {
            result = FXErrorUtil::ErrorJXResult(FXCODELOC, kRemoteCopyErrorCode,
                                                "Remote copy operation to node [%s] failed with error [%s].",
                                                remoteNode.c_str(), text.c_str());
            break;
        }
        if (status != REMOTE_COPY_IN_PROGRESS) {
            result = FXErrorUtil::ErrorJXResult(
                FXCODELOC, kRemoteCopyErrorCode,
                "Remote copy operation to node [%s] failed as acknowledgement received [%lld] is not of recognized type.",
                remoteNode.c_str(), static_cast<long long>(status));
            break;
        }
        if (m_jobCtrl != nullptr && m_jobCtrl->checkQuitFlag()) {
            SendRemoteCopyAck(network, REMOTE_COPY_SUSPEND, "Remote copy in Suspended");
            EV_DEBUG(log, 0, "Request the client to suspend the remote copy operation");
        }
    }
    network.Disconnect(0, timedOut);
    if (result.IsError()) {
        EV_ERROR(log, "%s", result.AsString().c_str());
        return result.Push(FXCODELOC, "Remote operation with node [%s] failed.", remoteNode.c_str());
    }
    return CWzError::Success();
}

CWzError CSQLRemoteOps::HandleRemoteCopyRequest(SQLPmn::RemoteCopyInfo* request) {
    if (request == nullptr) return RemoteCopyError(FXCODELOC, "Invlaid pointer.");
    EvDebug log;
    if (log.GetDebugLevel() > 3) {
        std::string xml;
        request->serialize(xml);
        EV_DEBUG(log, 4, "Remote copy info : [%s]", xml.c_str());
    }
    const std::string node = request->getstring(SQLPmn::RemoteCopyInfo::kNodeName);
    if (request->getint64(SQLPmn::RemoteCopyInfo::kContentType) != eRemoteOpsPushFiles) return CWzError::Success();
    std::vector<SQLPmn::RemoteCopyFileInfo> files;
    CWzError e;
    if (!request->getlistobject(SQLPmn::RemoteCopyInfo::kFiles, files)) {
        e = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "The remote copy request lists something that is not a file.");
    } else {
        e = PushContentToRemoteNode(node, files, true);
    }
    if (e.IsError()) return e.Push(FXCODELOC, "PushContentToRemoteNode failed");
    return CWzError::Success();
}

CWzError CSQLRemoteOps::PushContentToRemoteNode(const std::string& node,
                                                std::vector<SQLPmn::RemoteCopyFileInfo>& files,
                                                const bool& copyFlag) {
    if (CheckQuitFlag()) return RemoteCopyError(FXCODELOC, "Quit flag received");
    const std::string machine = JXPlatformInfo().getPhysicalMachine().substr(0, 255);
    if (files.empty()) return RemoteCopyError(FXCODELOC, "Remote copy file info is not provided");
    if (files.size() > kMaxRemoteCopyFiles) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "The remote copy request lists %zu files, more than %zu.",
                                         files.size(), kMaxRemoteCopyFiles);
    }
    EvDebug log;
    std::vector<_JXS_FILE_COPY_INFO> copies(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const std::string folder = files[i].getstring(SQLPmn::RemoteCopyFileInfo::kSourceFolder);
        const std::string destination = files[i].getstring(SQLPmn::RemoteCopyFileInfo::kDestinationFolder);
        const std::string name = files[i].getstring(SQLPmn::RemoteCopyFileInfo::kFileName);
        for (CWzError e : {CheckPathText(folder, true, "source folder"),
                           CheckPathText(destination, true, "destination folder"),
                           CheckPathText(name, false, "file name")}) {
            if (e.IsError()) return e;
        }
        // The request may send (and remove) only files where peers may read.
        std::string why, resolved;
        if (!SqlIsPeerPathAllowed(folder + (folder.back() == '/' ? "" : "/") + name, SqlPeerPathUse::kReadFile,
                                  resolved, why)) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Refused source in the remote copy request: %s",
                                             why.c_str());
        }
        // Removing the source after the copy is for job results only, never
        // for the instances' database files that peers may otherwise read.
        if (files[i].getint64(SQLPmn::RemoteCopyFileInfo::kDeleteSource) != 0 &&
            !SqlIsPeerPathAllowed(resolved, SqlPeerPathUse::kRemoveFile, resolved, why)) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG,
                                             "Refused removal of a source in the remote copy request: %s", why.c_str());
        }
        _JXS_FILE_COPY_INFO& copy = copies[i];
        std::memcpy(copy.sourceFolder, folder.data(), folder.size());
        std::memcpy(copy.request.fileName, name.data(), name.size());
        std::memcpy(copy.request.destinationFolder, destination.data(), destination.size());
        copy.request.flag[0] = 1;
        copy.request.flag[1] = copyFlag ? 1 : 0;
        EV_DEBUG(log, 3, "Push file [%s] from [%s] to [%s]", name.c_str(), folder.c_str(), destination.c_str());
    }

    JxCopyFile copy;
    CWzError e = copy.GetConnection(node.c_str(), machine.c_str(), false);
    if (e.IsError()) {
        EV_ERROR(log, "%s", e.AsString().c_str());
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kRemoteCopyErrorCode,
                                          "Unable to connect to remote machine [%s] to push JR", node.c_str());
    }
    QuitMonitor monitor(*this);
    e = copy.CopyFiles(copies, false, &monitor, "", "");
    if (e.IsError()) {
        copy.Disconnect();
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kRemoteCopyErrorCode, "Unable local JR to remote machine [%s]",
                                          node.c_str());
    }
    for (size_t i = 0; i < files.size(); ++i) {
        if (files[i].getint64(SQLPmn::RemoteCopyFileInfo::kDeleteSource) != 0) {
            const std::string source = JxCopyFile::SourcePath(copies[i]);
            // The copy arrived; a source left behind is logged, not a failed copy.
            if (wz::Fs().Unlink(source) != 0) {
                EV_WARN(log, "Cannot remove the copied source [%s]: %s", source.c_str(), std::strerror(errno));
            }
        }
    }
    copy.Disconnect();
    return CWzError::Success();
}
