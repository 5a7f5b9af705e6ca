// Small helpers the served requests share: reading the received record,
// copying texts into reply records, releasing the received request.
#pragma once

#include <string>

#include "JxSession/jxsDatabuf_v2.h"

class CJxNetwork;

// A text of a received record, empty when null.
inline std::string TextOf(const char* text) { return text != nullptr ? std::string(text) : std::string(); }

// Releases the received request under `code`. On failure fetches the
// session's last error (for the log) and returns false; the session is not
// aborted. `failureLog`, when given, is the error line written instead of the
// default one; its one "%s" (if any) shows the session's error text.
bool ReleaseReceivedRequest(CJxNetwork* session, jxsDatabuf_v2* received, unsigned long code,
                            const char* failureLog = nullptr);

// The request record the loop decoded into `received`.
template <typename Record>
Record* ReceivedRecord(jxsDatabuf_v2* received) {
    return reinterpret_cast<Record*>(received->getDataBuffer());
}
