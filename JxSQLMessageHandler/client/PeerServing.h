// The frame every served peer request with a record reply runs in
// (CSQLClientDll::servePeerRecord).
#pragma once

#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"

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
