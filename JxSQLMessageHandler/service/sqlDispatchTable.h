// The request-code to handler table of the request loop.
//
// Each row names a request wrapper: a function that builds a served-role
// CSQLClientDll around (session, received buffer, code), runs one handler of
// it and destroys it. To serve a code, give CSQLClientDll the handler, define
// its body in the file of its feature, and add or point the row in
// sqlDispatchTable.cpp.
#pragma once

class CJxNetwork;
class jxsDatabuf_v2;

// The request group, and the range of request codes the table may hold.
constexpr unsigned long kSqlRequestGroup = 0x1e000000;
constexpr unsigned long kSqlFirstRequestCode = 0x1e00008d;
constexpr unsigned long kSqlLastRequestCode = 0x1e00011f;

// A wrapper's result is 1 or the handler's result cut to 32 bits; the loop
// does not use it.
using sqlRequestWrapper = unsigned long (*)(CJxNetwork* session, unsigned long code, jxsDatabuf_v2* received);

// The wrapper of `code`, or null when the code has no row.
sqlRequestWrapper sqlFindRequestWrapper(unsigned long code);
