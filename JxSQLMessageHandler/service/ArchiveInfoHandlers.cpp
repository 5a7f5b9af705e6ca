// Archive information (answered by the object-level restore layer on the
// requester's session) and the source-connectivity check of archiving.
#include "JXSQLObjectLevelRestore/CJXSQLObjectLevelRestore.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/PmnMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "Messages/XMLDecoder.h"

namespace {

constexpr int kErrorTimeoutSeconds = 120;

constexpr unsigned long kTagSchemaMapping = 0x162f5de7;   // Pmn::GetSchemaTableMappingReq
constexpr unsigned long kTagTableHierarchy = 0x1ebcd770;  // App::GetTargetTableHierarchyReq

// Decodes `xml` into `request` and lets the object-level restore layer
// answer it; a decoding failure is logged with `logFormat` and answered by
// `reply` (an SQLPmn::ErrorMessage).
template <class Request>
bool FetchAndSend(CJXSQLObjectLevelRestore& restore, const std::string& xml, CJxNetwork* session, EvDebug& log,
                  const char* logFormat, std::string& reply) {
    Request request;
    int e = request.unserialize(xml);
    if (e != kMsgOk) {
        log.Error("CSQLClientDll::GetArchiveInfo", logFormat, xml.c_str(), e);
        reply = getResponseMessage(118, "Failed to unserialize the archive information request.");
        return false;
    }
    return restore.FetchAndSendResult(request, session).IsSuccess();
}

}  // namespace

bool CSQLClientDll::GetArchiveInfo() {
    bool result = false;
    std::string errorReply;  // answered when the request fails before the layer runs
    const GetArchiveInfoReq_t* record = ReceivedRecord<GetArchiveInfoReq_t>(m_receivedBuffer);
    std::string xml = record != nullptr && record->xml != nullptr ? record->xml : "";
    XMLDecoder decoder;
    int e = decoder.initialize();
    const CNMessageBase* message = nullptr;
    if (e != 0) {
        EV_ERROR(m_event, "Failed to initialize XML decoder object with error [%d].", e);
        errorReply = getResponseMessage(-2, "Failed to parse request XML.");
    } else if ((message = decoder.unSerialize(xml)) == nullptr) {
        EV_ERROR(m_event, "Failed to unserialize using XML decoder object.");
        errorReply = getResponseMessage(-2, "Failed to parse request XML.");
    } else {
        CJXSQLObjectLevelRestore restore;
        CWzError init = restore.Initialize();
        if (init.IsError()) {
            EV_ERROR(m_event, "Failed to initialize the object-level restore with error [%s].",
                     init.GetMessage().c_str());
            errorReply = getResponseMessage(-1, "Failed to initialize the object-level restore.");
        } else {
            unsigned long tag = message->getTagID();
            if (tag == kTagSchemaMapping) {
                result = FetchAndSend<Pmn::GetSchemaTableMappingReq>(
                    restore, xml, m_session, m_event, "Failed to unserialize schema request xml [%s] with error [%d].",
                    errorReply);
            } else if (tag == kTagTableHierarchy) {
                result = FetchAndSend<App::GetTargetTableHierarchyReq>(
                    restore, xml, m_session, m_event,
                    "Failed to unserialize target table hierarchy request xml [%s] with error [%d].", errorReply);
            } else {
                EV_ERROR(m_event, "Failed to identify request type [%lu].", tag);
                errorReply = getResponseMessage(-3, "Unhandled Xml message being sent to the client.");
            }
            restore.DeInitialize();
        }
    }
    // Without an answer the requester would wait for its time-out.
    if (!errorReply.empty()) {
        bool flag = false;
        CWzError sent = m_session->SendXMLMessage(errorReply, 0, kErrorTimeoutSeconds, flag,
                                                  SQLPmn::ErrorMessage().getTagID());
        if (sent.IsError()) EV_ERROR(m_event, "Failed to send the error reply: %s", sent.GetMessage().c_str());
    }
    if (!ReleaseReceivedRequest(m_session, m_receivedBuffer, kSqlArchiveInfoReq)) return false;
    return result;
}

unsigned long CSQLClientDll::CheckSourceConnectivity() {
    SQLPmn::CheckSourceConnectivityRsp response;
    using Rsp = SQLPmn::CheckSourceConnectivityRsp;
    SQLPmn::CheckSourceConnectivityReq request;
    const CheckSourceConnectivityReq_t* record = ReceivedRecord<CheckSourceConnectivityReq_t>(m_receivedBuffer);
    std::string xml = record != nullptr && record->xml != nullptr ? record->xml : "";
    int e = request.unserialize(xml);
    const CNMessageBase* entity = request.getObjectAccessor(SQLPmn::CheckSourceConnectivityReq::kInstance);
    if (e != kMsgOk) {
        EV_ERROR(m_event, "Failed to unserialize check source request xml [%s] with error [%d].", xml.c_str(), e);
        response.setstring(Rsp::kErrorText, "Failed to unserialize check source request xml");
    } else {
        std::string instance = entity ? entity->getstring(JxEntities::GenericEntity::kInstanceName) : "";
        std::string database = request.getstring(SQLPmn::CheckSourceConnectivityReq::kDatabaseName);
        CsqlDMO dmo;
        dmo.setInstanceId(entity ? static_cast<unsigned long>(entity->getint64(JxEntities::GenericEntity::kInstanceId))
                                 : 0);
        if (!dmo.initialize(instance, true)) {
            response.setstring(Rsp::kErrorText, "Failed to initialize SQL Server");
        } else if (!dmo.isDatabaseOnline(instance, database)) {
            response.setstring(Rsp::kErrorText, "Database is not online");
        } else if (request.isSet(SQLPmn::CheckSourceConnectivityReq::kArchiveCondition)) {
            std::string condition = request.getstring(SQLPmn::CheckSourceConnectivityReq::kArchiveCondition);
            std::string rows;
            if (dmo.CheckIfRowsToArchive(database, condition, rows)) {
                response.setstring(Rsp::kRowCheckResult, rows);
            } else {
                response.setstring(Rsp::kErrorText, "No rows to archive.");
            }
        }
    }

    std::string text;
    e = SqlSerializeReply(response, text);
    if (e != kMsgOk) {
        EV_ERROR(m_event, "Failed to unserialize response object with error [%d].", e);
        // An empty document would read as a reachable source.
        text = SqlXmlFallbackDocument("SQLPmn_CheckSourceConnectivityRsp", "errorCode", e, "errorText",
                                      "Failed to serialize the check source connectivity response.");
    }
    bool released =
        sendTextReply(kSqlCheckSourceRsp, text, nullptr, "Failed to send check source connectivity response.");
    return released ? 1 : 0;
}
