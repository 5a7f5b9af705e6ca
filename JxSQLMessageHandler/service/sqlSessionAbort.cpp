// The abort that follows a failed send or receive.
#include "JxSQLMessageHandler/service/sqlSessionAbort.h"

#include <string>

#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsTypes.h"

unsigned long SqlAbortWithLastError(CJxNetwork* session, int timeout, bool& flag) {
    unsigned long code = 0;
    std::string text;
    (void)session->GetLastErrorGenericText(&code, text, 0);  // only reads the session's record
    jxsStatus status{2, code, 2};
    // The session is given up either way; the caller logs what led here.
    (void)session->AbortConnection(status, timeout, flag);
    return code;
}
