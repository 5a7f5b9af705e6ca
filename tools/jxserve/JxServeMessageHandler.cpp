// The central-server stand-in's entry: serves one session of requests that
// the agent's requester operations send to "sLNSQLServer61"/"sLPSQLMSG".
//
// Like the agent's own request loop it receives one request after another,
// answers a disconnect request and ends on anything else outside the SQL
// agent's message group. A request code without a handler ends the session
// with an abort, so that a requester waiting for a reply the stand-in cannot
// give fails at once instead of waiting out its receive time-out.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsDatabuf_v2.h"
#include "JxSession/jxsSocket.h"
#include "JxSession/jxsTypes.h"
#include "tools/jxserve/JxServeHandlers.h"

namespace {

constexpr int kReceiveTimeoutSeconds = 120;
// A job keeps its session open across the backups of its databases, each of
// which may take hours: its next request is waited for as long as the
// session layer waits at most. The peer's close, or the host's stop, ends
// the wait at once.
constexpr int kNextRequestTimeoutSeconds = kJxsDefaultTimeoutSeconds;
constexpr uint64_t kForeignMessageStatus = 0x900001d;
// Every request record of the agent's protocol fits; a larger one is refused
// by the network layer before anything is decoded.
constexpr size_t kRequestAreaBytes = 16384;

struct HandlerTable {
    std::mutex mutex;
    std::map<unsigned long, JxServeHandler> handlers;
};

HandlerTable& Table() {
    static HandlerTable table;
    return table;
}

void Abort(CJxNetwork* session, uint64_t code, bool& flag) {
    jxsStatus status{2, code, 2};
    // The session ends here whether or not the peer hears why.
    (void)session->AbortConnection(status, kReceiveTimeoutSeconds, flag);
}

// Runs the handler of one request; false when the session must end.
bool Serve(CJxNetwork* session, unsigned long code, jxsDatabuf_v2& buffer, EvDebug& log) {
    JxServeHandler handler = JxServeFindHandler(code);
    if (handler == nullptr) {
        EV_ERROR(log, "No handler for request code 0x%lx.", code);
        return false;
    }
    jxsRecordCodec codec;
    JxServeRequest request{session, code, jxsFindRecordCodec(code, codec) ? buffer.getDataBuffer() : nullptr, log};
    // The stores are SQLite files that refuse a busy writer at once: the
    // requests of concurrent sessions (parallel backup workers) take turns.
    static std::mutex storeTurn;
    std::lock_guard<std::mutex> turn(storeTurn);
    try {
        return handler(request);
    } catch (const std::exception& e) {
        EV_ERROR(log, "Request 0x%lx failed: %s", code, e.what());
    } catch (...) {
        EV_ERROR(log, "Request 0x%lx failed with an unknown exception.", code);
    }
    return false;
}

}  // namespace

JxServeRegistration::JxServeRegistration(std::initializer_list<JxServeHandlerEntry> entries) {
    HandlerTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (const JxServeHandlerEntry& e : entries) t.handlers[e.requestCode] = e.handler;
}

JxServeHandler JxServeFindHandler(unsigned long code) {
    HandlerTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.handlers.find(code);
    return it == t.handlers.end() ? nullptr : it->second;
}

bool JxServeReply(JxServeRequest& request, unsigned long replyCode, void* record, size_t size) {
    jxsDatabuf_v2 reply;
    reply.setExternalBuffer(record, size);
    bool flag = false;
    CWzError e = request.session->SendXDRMessage(replyCode, &reply, 0, kReceiveTimeoutSeconds, flag);
    if (e.IsSuccess()) return true;
    EV_ERROR(request.log, "Sending reply 0x%lx failed. Error:[%s]", replyCode, e.AsString().c_str());
    return false;
}

extern "C" void jxServeMessageHandler(CJxNetwork* session, unsigned long) {
    EvDebug log("JxServe");
    SqlRegisterRecordCodecs();
    std::vector<std::max_align_t> area(kRequestAreaBytes / sizeof(std::max_align_t));
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(area.data(), area.size() * sizeof(std::max_align_t));
    bool flag = false;
    for (;;) {
        unsigned long code = 0;
        jxsHostProtocolHeader header;
        CWzError e = session->ReceiveXDRMessage(&code, &buffer, &header, 0, kNextRequestTimeoutSeconds, flag);
        if (e.IsError()) {
            EV_ERROR(log, "Receive message failed. Error:[%s]", e.AsString().c_str());
            unsigned long last = 0;
            std::string text;
            (void)session->GetLastErrorGenericText(&last, text, 0);  // only reads the session's record
            Abort(session, last, flag);
            return;
        }
        if (header.messageGroup != kSqlMessageGroup) {
            (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // the receive area holds any record
            if (code == JXS_MSG_DISCONNECT || code == JXS_MSG_DISCONNECT_V2) {
                (void)session->ReplyDisconnect(kReceiveTimeoutSeconds, flag);  // the session ends either way
            } else {
                Abort(session, kForeignMessageStatus, flag);
            }
            return;
        }
        bool goOn = Serve(session, code, buffer, log);
        (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // the receive area holds any record
        if (!goOn) {
            Abort(session, kForeignMessageStatus, flag);
            return;
        }
    }
}
