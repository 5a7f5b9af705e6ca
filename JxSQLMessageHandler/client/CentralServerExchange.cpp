// CSQLClientDll::sendAndReceiveMessage: one request and its reply with the
// central server's SQL message handler, and the release of that reply.
//
// The exchange attaches when the session is not connected, sends, waits for
// one reply (up to the process-wide receive time-out, RemoteReplyTimeout.h)
// and disconnects an owned session, so every exchange of a requester object
// attaches anew. The reply code that arrives is not compared: callers read
// the record they lent and release it under their own reply code.
#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "JxLib/JXPIPlatformBase.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/MangleHostName.h"
#include "JxSQLMessageHandler/client/OwnClientName.h"
#include "JxSQLMessageHandler/client/RemoteReplyTimeout.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlSessionAbort.h"

namespace {

constexpr const char* kCentralServerLibrary = "sLNSQLServer61";
constexpr const char* kCentralServerEntry = "sLPSQLMSG";
// Ports of the central server's services that its mangled host name carries.
constexpr unsigned long kCentralServerPort1 = 8400;
constexpr unsigned long kCentralServerPort2 = 8402;

}  // namespace

bool CSQLClientDll::receiveRemoteReply(unsigned long replyCode, int abortTimeout) {
    bool flag = false;
    int receiveTimeout = RemoteReplyTimeoutSeconds(m_event);
    EV_DEBUG(m_event, 3, "Timeout used = [%lu].", giTimeoutSecondsArg);
    unsigned long code = replyCode;
    CWzError e = m_session->ReceiveXDRMessage(&code, m_receivedBuffer, nullptr, 0, receiveTimeout, flag);
    // A receive that ran out of time is a failure too: the reply record still
    // holds the caller's zeroes, which most replies would read as "stored" or
    // "found".
    if (e.IsSuccess()) return true;
    EV_ERROR(m_event, "Receive message failed. Error:[%s]", e.AsString().c_str());
    SqlAbortWithLastError(m_session, abortTimeout, flag);
    return false;
}

bool CSQLClientDll::sendAndReceiveMessage(int, unsigned long requestCode, unsigned long replyCode) {
    bool result = true;
    bool flag = false;
    std::string host = JXPI_PlatformBase(4).getJxServerHostName();
    int timeout = static_cast<int>(std::min<unsigned long>(GetSQLSessionTimeout(240), INT_MAX));

    if (!m_session->IsConnected()) {
        char ownName[kOwnClientNameSize];
        GetOwnClientName(ownName);
        jxsExecuteRemoteDllType descriptor;
        std::strcpy(descriptor.libraryName, kCentralServerLibrary);
        std::strcpy(descriptor.entryName, kCentralServerEntry);
        char serverClientName[256] = {};
        JXPlatformInfo().findJxServerClientName(serverClientName, sizeof serverClientName);
        std::string target = MangleHostName(host, serverClientName, kCentralServerPort1, kCentralServerPort2);
        CWzError e = m_session->Attach_RemoteDLL(target, &descriptor, ownName, timeout, flag);
        if (e.IsError()) {
            unsigned long code = 0;
            std::string text;
            (void)m_session->GetLastErrorGenericText(&code, text, 0);  // only reads the session's record
            EV_ERROR(m_event, "Attach failed. Error:[%s], session error [%lu][%s]", e.AsString().c_str(), code,
                     text.c_str());
            result = false;
        }
    }

    if (result) {
        CWzError e = m_session->SendXDRMessage(requestCode, &m_sendBuffer, 0, timeout, flag);
        if (e.IsError()) {
            EV_ERROR(m_event, "Send message failed. Error:[%s]", e.AsString().c_str());
            SqlAbortWithLastError(m_session, timeout, flag);
            result = false;
        }
    }

    if (result) result = receiveRemoteReply(replyCode, timeout);

    // A session opened here is closed after every exchange; the reply, if any,
    // is already in the receive buffer, so a failed close loses nothing.
    if (m_ownsSession) (void)m_session->Disconnect(timeout, flag);
    return result;
}

CWzError CSQLClientDll::FreeReceivedMessage(const unsigned long& code) {
    CWzError e = CJxNetwork::FreeReceivedMessage(code, m_receivedBuffer);
    if (e.IsSuccess()) return e;
    unsigned long last = 0;
    std::string sessionError;
    (void)m_session->GetLastErrorGenericText(&last, sessionError, 0);  // only reads the session's record
    EV_ERROR(m_event, "Failed to free received message [%lu] with error [%s] and session error [%s].", code,
             e.AsString().c_str(), sessionError.c_str());
    return e.Push(FXCODELOC, "Releasing reply %lu", code);
}
