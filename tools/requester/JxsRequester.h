// JxsRequester: the requesting end of a session, for tests and tools.
//
// Attaches to a handler of a target's host by library and entry name, sends
// records under codes and reads what comes back, including the disconnect
// reply and the status of an abort.
#pragma once

#include <optional>
#include <string>

#include "JxSession/CJxNetwork.h"

class JxsRequester {
public:
    // Attaches to (library, entry) on `target`.
    CWzError Attach(const std::string& target, const std::string& library, const std::string& entry,
                    int timeout = 240);

    // Sends the record lent to `request` (may be null: no payload) under `code`.
    CWzError Send(unsigned long code, jxsDatabuf_v2* request = nullptr, int timeout = 240);
    // Receives the next message into `reply` (may be null); `code` gets its code.
    // `timedOut` tells whether a failure was the time-out.
    CWzError Receive(unsigned long& code, jxsDatabuf_v2* reply = nullptr, int timeout = 240,
                     bool* timedOut = nullptr);
    // Sends a disconnect request and waits for the disconnect reply.
    CWzError Disconnect(int timeout = 240);

    // The status of the peer's abort, once one has arrived.
    std::optional<jxsStatus> AbortStatus() const { return m_session.GetPeerAbortStatus(); }
    CJxNetwork& session() { return m_session; }

private:
    CJxNetwork m_session;
};
