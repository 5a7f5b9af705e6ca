// The exchange with another client's agent, and the steps every peer
// request shares on the requesting and on the serving side.
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "JXAppMgr/JXClient.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/client/OwnClientName.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlSessionAbort.h"

namespace {

// The peer's SQL plug-in and its message processor.
constexpr const char* kPluginLibrary = "sLNSQLClient61";
constexpr const char* kPluginEntry = "sLPSQLMSG";
constexpr const char* kProcessorLibrary = "sLNSQLCOMM";
constexpr const char* kProcessorEntry = "sLPSQLMSGPROCESSOR";

int ToTimeout(unsigned long seconds) { return static_cast<int>(std::min<unsigned long>(seconds, INT_MAX)); }

}  // namespace

bool CSQLClientDll::sendAndReceiveMessageToFromRemoteMachine(unsigned long clientId, unsigned long requestCode,
                                                             unsigned long replyCode, bool toMessageProcessor) {
    try {
        std::string hostName;
        if (int rc = JXClient(static_cast<uint64_t>(clientId)).getNetworkHostnameMangled(hostName); rc != 0) {
            EV_ERROR(m_event, "Failed to get mangled client host name for [%s] with error [%lu].", hostName.c_str(),
                     static_cast<unsigned long>(rc));
            return false;
        }
        if (m_session == nullptr) {
            m_session = new CJxNetwork();
            m_ownsSession = true;
            EV_DEBUG(m_event, 3, "Created new jxsession object for client [%lu] [%s]", clientId, hostName.c_str());
        }

        bool result = true;
        bool flag = false;
        if (!m_session->IsConnected()) {
            jxsExecuteRemoteDllType descriptor;
            std::strncpy(descriptor.libraryName, toMessageProcessor ? kProcessorLibrary : kPluginLibrary,
                         sizeof descriptor.libraryName - 1);
            std::strncpy(descriptor.entryName, toMessageProcessor ? kProcessorEntry : kPluginEntry,
                         sizeof descriptor.entryName - 1);
            char ownName[kOwnClientNameSize];
            GetOwnClientName(ownName);
            int attachTimeout = ToTimeout(GetSQLSessionTimeout(240));
            CWzError err = m_session->Attach_RemoteDLL(hostName, &descriptor, ownName, attachTimeout, flag);
            if (err.IsError()) {
                unsigned long code = 0;
                std::string text;
                (void)m_session->GetLastErrorGenericText(&code, text, 0);  // only reads the session's record
                EV_ERROR(m_event, "Attach failed. Error:[%s]", text.c_str());
                result = false;
            }
        }
        if (result) {
            int sendTimeout = ToTimeout(GetSQLSessionTimeout(360));
            CWzError err = m_session->SendXDRMessage(requestCode, &m_sendBuffer, 0, sendTimeout, flag);
            if (err.IsError()) {
                unsigned long code = 0;
                std::string text;
                (void)m_session->GetLastErrorGenericText(&code, text, 0);  // only reads the session's record
                EV_ERROR(m_event, "Send message failed. Error:[%s]", text.c_str());
                SqlAbortWithLastError(m_session, sendTimeout, flag);
                result = false;
            }
        }
        int closingTimeout = ToTimeout(GetSQLSessionTimeout(600));
        if (result) result = receiveRemoteReply(replyCode, closingTimeout);
        // The reply, if any, is already in the receive buffer; a failed close loses nothing.
        (void)m_session->Disconnect(closingTimeout, flag);
        return result;
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception happened when remote machine communication.");
        return false;
    }
}

bool CSQLClientDll::exchangeWithPeer(unsigned long clientId, void* request, size_t requestSize, void* reply,
                                     size_t replySize, unsigned long requestCode, unsigned long replyCode,
                                     bool toMessageProcessor) {
    m_sendBuffer.setExternalBuffer(request, requestSize);
    m_receivedBuffer->setExternalBuffer(reply, replySize);
    bool exchanged = sendAndReceiveMessageToFromRemoteMachine(clientId, requestCode, replyCode, toMessageProcessor);
    m_sendBuffer.setExternalBuffer(nullptr, 0);
    return exchanged;
}

bool CSQLClientDll::releasePeerReply(unsigned long replyCode) {
    CWzError err = CJxNetwork::FreeReceivedMessage(replyCode, m_receivedBuffer);
    m_receivedBuffer->setExternalBuffer(nullptr, 0);
    if (err.IsSuccess()) return true;
    EV_ERROR(m_event, "Failed to free message with error [%s].", err.AsString().c_str());
    return false;
}

bool CSQLClientDll::readErrorMessageReply(const char* xml, const char* action, std::string& errorText) {
    if (xml == nullptr) return false;
    EV_DEBUG(m_event, 3, "Received response for the request [%s].", xml);
    SQLPmn::ErrorMessage message;
    if (int rc = message.unserialize(xml); rc != 0) {
        EV_ERROR(m_event, "Failed to unserialize response with error [%d].", rc);
        return false;
    }
    int64_t code = message.getint64(SQLPmn::ErrorMessage::kErrorCode);
    if (code == 0) return true;
    errorText = message.getstring(SQLPmn::ErrorMessage::kMessage);
    EV_ERROR(m_event, "Failed to %s with error code [%lld] and message [%s].", action, static_cast<long long>(code),
             errorText.c_str());
    return false;
}

bool CSQLClientDll::sendErrorMessageReply(unsigned long replyCode, const CNMessageBase& message) {
    std::string text;
    bool result = true;
    if (int rc = message.serialize(text); rc != 0) {
        EV_ERROR(m_event, "Failed to serialize xml with error [%d].", rc);
        result = false;
    }
    // A failed release is logged where it happens.
    if (!sendTextReply(replyCode, text)) result = false;
    return result;
}
