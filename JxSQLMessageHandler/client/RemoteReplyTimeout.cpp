// The process-wide receive time-out shared by the central-server and peer
// exchanges.
#include "JxSQLMessageHandler/client/RemoteReplyTimeout.h"

#include <cstdint>

#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"

unsigned long giTimeoutSecondsArg = 21600;
bool bFetchTimeOutString = true;

int RemoteReplyTimeoutSeconds(EvDebug& log) {
    while (bFetchTimeOutString) {
        JXPI_Session session(0, 1);
        session.setFocus(JXPI_Focus::getFocus());
        unsigned long attach = session.getAttachTimeOut(true);
        EV_DEBUG(log, 3, "nAttachTimeout = [%lu], Default timeout = [%lu]", attach, giTimeoutSecondsArg);
        if (attach > giTimeoutSecondsArg) giTimeoutSecondsArg = attach;
        bFetchTimeOutString = false;
    }
    return static_cast<int>(static_cast<uint32_t>(giTimeoutSecondsArg));
}
