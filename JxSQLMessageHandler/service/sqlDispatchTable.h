// The request-code to handler table of the request loop.
//
// Each row names a request wrapper: a function that builds a served-role
// CSQLClientDll around (session, received buffer, code), runs one handler of
// it and destroys it. To serve a code, give CSQLClientDll the handler, define
// its body in the file of its feature, and add or point the row in
// sqlDispatchTable.cpp.
#pragma once

#include <span>

#include "JxSQLCommon/records/SqlMessageCodes.h"

class CJxNetwork;
class jxsDatabuf_v2;

// The range of request codes the table may hold.
constexpr unsigned long kSqlFirstRequestCode = kSqlServerListReq;
constexpr unsigned long kSqlLastRequestCode = kSqlAzureInventoryReq;

// A wrapper's result is 1 or the handler's result cut to 32 bits; the loop
// does not use it.
using SqlRequestWrapper = unsigned long (*)(CJxNetwork* session, unsigned long code, jxsDatabuf_v2* received);

struct SqlDispatchRow {
    unsigned long requestCode;
    SqlRequestWrapper wrapper;
    unsigned long replyCode;  // 0 when the handler answers in XML messages of its own
};

// The wrapper of `code`, or null when the code has no row.
SqlRequestWrapper SqlFindRequestWrapper(unsigned long code);
// Every row of the table.
std::span<const SqlDispatchRow> SqlDispatchRows();

// Runs `wrapper` on one received request. An exception a handler lets out (an
// allocation failure while building a reply) must not cross the exported
// entry and end the host with all its sessions: it is logged and false is
// returned, and the caller ends only this session.
bool SqlRunRequestWrapper(SqlRequestWrapper wrapper, CJxNetwork* session, unsigned long code, jxsDatabuf_v2* received);
