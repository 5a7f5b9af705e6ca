// The frames every peer request with a record reply runs in: on the
// requesting side (CSQLClientDll::requestPeerRecord) and on the serving side
// (CSQLClientDll::servePeerRecord).
#pragma once

#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"

template <typename Reply, typename Request, typename Read>
bool CSQLClientDll::requestPeerRecord(unsigned long clientId, Request& request, unsigned long requestCode,
                                      unsigned long replyCode, bool toMessageProcessor, Read read) {
    Reply reply;
    if (!exchangeWithPeer(clientId, &request, sizeof request, &reply, sizeof reply, requestCode, replyCode,
                          toMessageProcessor)) {
        return false;
    }
    bool result = read(reply);
    if (!releasePeerReply(replyCode)) result = false;
    return result;
}

template <typename Request, typename Reply, typename Body>
bool CSQLClientDll::servePeerRecord(unsigned long replyCode, const char* exceptionLine, Body body) {
    Reply reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof reply);
    bool result = true;
    try {
        result = body(*ReceivedRecord<Request>(m_receivedBuffer), reply);
        // The reply goes out in every case; a failed send aborts the session.
        sendReply(replyCode);
        if (!ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode)) result = false;
    } catch (...) {
        EV_ERROR(m_event, "%s", exceptionLine);
        result = false;
    }
    m_sendBuffer.setExternalBuffer(nullptr, 0);
    return result;
}
