// The plug-in's entry point and its request loop.
//
// sqlMessageHandler serves one conversation on a session the host accepted:
// it receives one request after another (120-second receive time-out),
// requires the request group kSqlMessageGroup, runs the handler of each code
// through the dispatch table and releases every message. A disconnect
// request ends the conversation with a disconnect reply; any other message
// of a foreign group ends it with an abort {2, 0x900001d, 2}; a failed or
// timed-out receive is logged and ends it with an abort carrying the
// session's last error code, as does a handler that throws (logged). Codes
// of the group without a handler are ignored. The host owns the session before and after the call.
#pragma once

#include "JxSQLMessageHandler/service/sqlDispatchTable.h"

class CJxNetwork;

// The status code of the abort that answers a message of a foreign group.
constexpr unsigned long kSqlForeignMessageStatus = 0x900001d;
// Receive, disconnect and abort time-out of the loop, in seconds.
constexpr int kSqlRequestTimeoutSeconds = 120;
// Bytes of the receive area lent to the receive buffer.
constexpr unsigned long kSqlReceiveAreaBytes = 8144;

// The loop itself, with the handler lookup as a parameter (the entry passes
// SqlFindRequestWrapper).
void SqlServeConversation(CJxNetwork* session, SqlRequestWrapper (*lookup)(unsigned long code));

extern "C" {
// The exported entry; the second argument is not used.
void sqlMessageHandler(CJxNetwork* session, unsigned long unused);
}
