// Small questions and reports of the backup and restore jobs to the central
// server, each one request through sendAndReceiveMessage, and the release of
// a received reply that every requester operation shares.
#include <string>

#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/FXErrorUtil.h"

CWzError CSQLClientDll::FreeReceivedMessage(const unsigned long& code) {
    CWzError e = CJxNetwork::FreeReceivedMessage(code, m_receivedBuffer);
    if (e.IsSuccess()) return e;
    unsigned long last = 0;
    std::string sessionError;
    m_session->GetLastErrorGenericText(&last, sessionError, 0);
    EV_ERROR(m_event, "Failed to free received message [%lu] with error [%s] and session error [%s].", code,
             e.AsString().c_str(), sessionError.c_str());
    return e.Push(FXCODELOC, "Releasing reply %lu", code);
}

std::string CSQLClientDll::getEscapedDbName(const char* name) {
    std::string escaped = name != nullptr ? name : "";
    for (char special : {'\'', '[', ']'}) {
        for (size_t at = escaped.find(special); at != std::string::npos; at = escaped.find(special, at + 2)) {
            escaped.insert(at, 1, special);
        }
    }
    return escaped;
}
