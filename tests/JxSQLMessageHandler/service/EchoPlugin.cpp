// A test plug-in: runs the real request loop with one handler that echoes an
// EchoRecord_t (number + 1) through CSQLClientDll::sendReply and releases
// the request itself, as served handlers do.
#include <cstdint>
#include <new>

#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlMessageHandler.h"
#include "tests/platform/JxSession/EchoRecord.h"

namespace {

unsigned long EchoRequest(CJxNetwork* session, unsigned long code, jxsDatabuf_v2* received) {
    auto* request = reinterpret_cast<EchoRecord_t*>(received->getDataBuffer());
    CSQLClientDll served(session, received, code);
    EchoRecord_t reply{};
    served.getDataBuffer()->setExternalBuffer(&reply, sizeof reply);
    reply.number = request->number + 1;
    reply.text = request->text;
    reply.count = request->count;
    reply.values = request->values;
    unsigned long sent = served.sendReply(kEchoReplyCode);
    (void)CJxNetwork::FreeReceivedMessage(code, received);  // the host's receive area holds any record
    return sent;
}

unsigned long ThrowingRequest(CJxNetwork*, unsigned long, jxsDatabuf_v2*) { throw std::bad_alloc(); }

SqlRequestWrapper EchoLookup(unsigned long code) {
    if (code == kEchoThrowingRequestCode) return &ThrowingRequest;
    return code == kEchoRequestCode ? &EchoRequest : nullptr;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void echoMessageHandler(CJxNetwork* session, unsigned long) {
    RegisterEchoRecord();
    SqlServeConversation(session, &EchoLookup);
}
