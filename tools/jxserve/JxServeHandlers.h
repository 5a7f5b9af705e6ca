// Request handlers of the central-server stand-in and their registration.
//
// Each request group keeps its handlers (and the tables they use, see
// JxServeStore.h) in a file of its own and registers them with one
// file-scope object:
//
//   static const JxServeRegistration kMarks{
//       {kSqlMarkNameReq, &ServeGetMarkName},
//       {kSqlCleanupReq, &ServeCleanUncommitted},
//   };
//
// The message loop (JxServeMessageHandler.cpp) decodes a request into memory
// lent by the loop, runs the handler registered for its code and releases the
// request afterwards. A handler reads the record in place, answers with
// JxServeReply (or not at all, when a test wants the requester to wait) and
// returns false when its reply could not be sent, or to end the session
// without one (a test's lost reply). It may throw
// (FX::CSQLite3Exception from the store): the loop logs that and aborts the
// session.
#pragma once

#include <cstddef>
#include <initializer_list>

class CJxNetwork;
class EvDebug;

struct JxServeRequest {
    CJxNetwork* session;
    unsigned long code;  // the request code received
    void* record;        // the decoded request record (null when its code has no codec)
    EvDebug& log;

    template <typename Record>
    Record& As() const {
        return *static_cast<Record*>(record);
    }
};

using JxServeHandler = bool (*)(JxServeRequest& request);

struct JxServeHandlerEntry {
    unsigned long requestCode;
    JxServeHandler handler;
};

// Registers handlers at load time; a later registration of a code replaces
// an earlier one.
class JxServeRegistration {
public:
    JxServeRegistration(std::initializer_list<JxServeHandlerEntry> entries);
};

// The handler of `code`; null when none is registered.
JxServeHandler JxServeFindHandler(unsigned long code);

// Sends `record` (`size` bytes, the reply record of `replyCode`'s codec)
// under `replyCode`; logs and returns false on failure.
bool JxServeReply(JxServeRequest& request, unsigned long replyCode, void* record, size_t size);

template <typename Record>
bool JxServeReply(JxServeRequest& request, unsigned long replyCode, Record& record) {
    return JxServeReply(request, replyCode, &record, sizeof record);
}
