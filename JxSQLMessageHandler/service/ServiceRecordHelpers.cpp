// Helpers of the served requests.
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"

#include "JxLib/EvDebug.h"
#include "JxSession/CJxNetwork.h"

bool ReleaseReceivedRequest(CJxNetwork* session, jxsDatabuf_v2* received, unsigned long code,
                            const char* failureLog) {
    CWzError err = CJxNetwork::FreeReceivedMessage(code, received);
    if (err.IsSuccess()) return true;
    unsigned long lastError = 0;
    std::string text;
    (void)session->GetLastErrorGenericText(&lastError, text, 0);  // only reads the session's record
    EvDebug log;
    if (failureLog != nullptr) {
        log.error(failureLog, text.c_str());
        return false;
    }
    EV_ERROR(log, "Failed to release request [0x%lx]: %s [%lu] %s", code, err.AsString().c_str(), lastError,
             text.c_str());
    return false;
}
