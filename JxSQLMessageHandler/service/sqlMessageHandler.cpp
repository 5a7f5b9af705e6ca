// The request loop of the plug-in entry.
#include "JxSQLMessageHandler/service/sqlMessageHandler.h"

#include <cstring>
#include <memory>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSQLMessageHandler/service/sqlSessionAbort.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsDatabuf_v2.h"
#include "JxSession/jxsTypes.h"

void SqlServeConversation(CJxNetwork* session, SqlRequestWrapper (*lookup)(unsigned long code)) {
    EvDebug log;
    jxsDatabuf_v2 buffer;
    // One byte more than is lent out, so a record that fills the lent area
    // never reaches the end of the allocation.
    std::unique_ptr<char[]> area(new char[kSqlReceiveAreaBytes + 1]());
    buffer.setExternalBuffer(area.get(), kSqlReceiveAreaBytes);
    unsigned long code = 0;
    bool flag = false;

    for (;;) {
        uint64_t group = 0;
        std::memset(area.get(), 0, kSqlReceiveAreaBytes);
        jxsHostProtocolHeader header;

        CWzError received = session->ReceiveXDRMessage(&code, &buffer, &header, 0, kSqlRequestTimeoutSeconds, flag);
        if (received.IsError()) {
            log.Error("sqlMessageHandler", "Receive message failed. Error:[%s]", received.AsString().c_str());
            SqlAbortWithLastError(session, kSqlRequestTimeoutSeconds, flag);
            return;
        }

        group = header.messageGroup;
        if (group != kSqlMessageGroup) {
            // The receive area holds any record, so its release cannot fail.
            (void)CJxNetwork::FreeReceivedMessage(code, &buffer);
            area.reset();
            if (code == JXS_MSG_DISCONNECT || code == JXS_MSG_DISCONNECT_V2) {
                // The peer asked to end the session: a lost reply leaves nothing to do.
                (void)session->ReplyDisconnect(kSqlRequestTimeoutSeconds, flag);
                return;
            }
            jxsStatus status{2, kSqlForeignMessageStatus, 2};
            // The session ends here whether or not the peer hears why.
            (void)session->AbortConnection(status, kSqlRequestTimeoutSeconds, flag);
            return;
        }

        if (code >= kSqlFirstRequestCode && code <= kSqlLastRequestCode) {
            SqlRequestWrapper wrapper = lookup(code);
            if (wrapper != nullptr && !SqlRunRequestWrapper(wrapper, session, code, &buffer)) {
                (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // the receive area holds any record
                SqlAbortWithLastError(session, kSqlRequestTimeoutSeconds, flag);
                return;
            }
        }

        (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // the receive area holds any record
        code = 0;
    }
}

extern "C" __attribute__((visibility("default"))) void sqlMessageHandler(CJxNetwork* session, unsigned long) {
    if (session == nullptr) return;
    SqlRegisterRecordCodecs();
    SqlServeConversation(session, &SqlFindRequestWrapper);
}
