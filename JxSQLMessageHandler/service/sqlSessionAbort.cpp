// The abort that follows a failed send or receive.
#include "JxSQLMessageHandler/service/sqlSessionAbort.h"

#include <string>

#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsTypes.h"

unsigned long sqlAbortWithLastError(CJxNetwork* session, int timeout, bool& flag) {
    unsigned long code = 0;
    std::string text;
    session->GetLastErrorGenericText(&code, text, 0);
    jxsStatus status{2, code, 2};
    session->AbortConnection(status, timeout, flag);
    return code;
}
