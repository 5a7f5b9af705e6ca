// The central-server stand-in's XML-over-XDR request: finds the handler of
// the document's tag id and sends its reply text in the one-text record.
#include <map>
#include <mutex>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeXmlHandlers.h"

namespace {

struct XmlHandlerTable {
    std::mutex mutex;
    std::map<unsigned long, JxServeXmlHandler> handlers;
};

XmlHandlerTable& Table() {
    static XmlHandlerTable table;
    return table;
}

JxServeXmlHandler FindXmlHandler(unsigned long tagId) {
    XmlHandlerTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.handlers.find(tagId);
    return it == t.handlers.end() ? nullptr : it->second;
}

bool ServeXmlRequest(JxServeRequest& request) {
    const char* xml = request.As<SQLGenericXmlReq_t>().xml;
    std::string document = xml != nullptr ? xml : "";
    unsigned long tagId = GetXmlTagID(document);
    std::string replyText;
    if (JxServeXmlHandler handler = FindXmlHandler(tagId); handler != nullptr) {
        replyText = handler(document, request.log);
    } else {
        EV_ERROR(request.log, "No handler for XML message tag %lu.", tagId);
        replyText = getResponseMessage(1, "The central server does not handle XML message tag " +
                                              std::to_string(tagId) + ".");
    }
    SQLGenericErrorXmlRsp_t reply;
    reply.xml = replyText.data();
    return JxServeReply(request, kSqlXmlRsp, reply);
}

const JxServeRegistration kXmlRequests{{kSqlXmlReqV2, &ServeXmlRequest}};

}  // namespace

JxServeXmlRegistration::JxServeXmlRegistration(std::initializer_list<JxServeXmlHandlerEntry> entries) {
    XmlHandlerTable& t = Table();
    std::lock_guard<std::mutex> lock(t.mutex);
    for (const JxServeXmlHandlerEntry& e : entries) t.handlers[e.tagId] = e.handler;
}
