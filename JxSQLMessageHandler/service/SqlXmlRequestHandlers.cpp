// The XML request layer: takes the document out of the request record,
// decodes it, runs the handler of its tag id and sends whatever reply text
// the handler produced in one reply record.
#include <exception>
#include <string>

#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "Messages/XMLDecoder.h"

namespace {

// Tag ids of the documents the layer dispatches.
constexpr unsigned long kTagAppReadiness = 0x76479707;        // Api::SQLAppReadinessReq
constexpr unsigned long kTagAGCollectFile = 0x22f2bad2;       // SQLPmn::SQLAGCollectFile
constexpr unsigned long kTagCloudCredentials = 0x1e7b41bf;    // App::ValidateSQLCloudCredentialsReq
constexpr unsigned long kTagCreateSourceView = 0x22517466;    // SQLPmn::SqlCreateSourceViewInfoReq

}  // namespace

bool CSQLClientDll::sendReplyXmlMsg(std::string reply) {
    return sendTextReply(m_requestCode == kSqlXmlReqV2 ? kSqlXmlRsp : kSqlXmlReq, reply,
                         "Failed to free message with error [%s].");
}

unsigned long CSQLClientDll::handleSqlXmlMsg() {
    std::string reply;
    try {
        const SQLGenericXmlReq_t* record = ReceivedRecord<SQLGenericXmlReq_t>(m_receivedBuffer);
        if (record == nullptr || record->xml == nullptr || record->xml[0] == '\0') {
            reply = getResponseMessage(-1, "Failed to get request XML.");
        } else {
            std::string request(record->xml);
            XMLDecoder decoder;
            const CNMessageBase* message = decoder.unSerialize(request);
            if (message == nullptr) {
                reply = getResponseMessage(-2, "Failed to parse request XML.");
            } else {
                switch (message->getTagID()) {
                case kTagAppReadiness: RunSQLAppReadinessCheck(request, reply); break;
                case kTagAGCollectFile: ProcessAGCollectFile(request, reply); break;
                case kTagCloudCredentials: ValidateSQLCloudCredentials(request, reply); break;
                case kTagCreateSourceView: GetSqlCreateSourceView(request, reply); break;
                default: reply = getResponseMessage(-3, "Unhandled Xml message being sent to the client.");
                }
            }
        }
    } catch (const std::exception& e) {
        // The requester still gets an answer instead of waiting for its time-out.
        EV_ERROR(m_event, "Failed to process the XML request: %s", e.what());
        reply = getResponseMessage(-4, "Failed to process request XML.");
    }
    try {
        return sendReplyXmlMsg(reply) ? 1 : 0;
    } catch (const std::exception& e) {
        EV_ERROR(m_event, "Failed to send the XML reply: %s", e.what());
        return 0;
    }
}
