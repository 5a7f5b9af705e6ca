// The database status update: runs a status operation of the management
// layer on one database and answers with an SQLPmn::GenericResp.
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"

bool CSQLClientDll::updateDatabaseStatus() {
    SQLPmn::GenericResp response;
    bool result = true;
    const UpdateDbStatusReq_t* record = ReceivedRecord<UpdateDbStatusReq_t>(m_receivedBuffer);
    SQLPmn::UpdateDatabaseStatusReq request;
    // The wire cannot tell a null text from an empty one: both are "no text".
    if (record == nullptr || record->xml == nullptr || record->xml[0] == '\0') {
        EV_ERROR(m_event, "Failed to read the xml message.");
        response.setint64(SQLPmn::GenericResp::kErrorCode, 1);
        response.setstring(SQLPmn::GenericResp::kErrorText, "Failed to read the xml message.");
        result = false;
    } else if (request.unserialize(record->xml) != kMsgOk) {
        EV_ERROR(m_event, "Failed to unserialize the xml message [%s]", record->xml);
        response.setint64(SQLPmn::GenericResp::kErrorCode, 2);
        response.setstring(SQLPmn::GenericResp::kErrorText, "Failed to unserialize the xml message.");
        result = false;
    } else {
        const CNMessageBase* entity = request.getObjectAccessor(SQLPmn::UpdateDatabaseStatusReq::kInstance);
        std::string instance = entity ? entity->getstring(JxEntities::GenericEntity::kInstanceName) : "";
        std::string database = request.getstring(SQLPmn::UpdateDatabaseStatusReq::kDatabaseName);
        int operation = static_cast<int>(request.getint64(SQLPmn::UpdateDatabaseStatusReq::kOperation));
        EV_DEBUG(m_event, 1,
                 "Provided instance name [%s] and database name [%s]. Operation [%d] will be performed on database.",
                 instance.c_str(), database.c_str(), operation);
        CsqlDMO dmo;
        dmo.setInstanceId(entity ? static_cast<unsigned long>(entity->getint64(JxEntities::GenericEntity::kInstanceId))
                                 : 0);
        if (!dmo.updateDatabaseStatus(FXString::ToWstring(instance), database, operation)) {
            response.setint64(SQLPmn::GenericResp::kErrorCode, 2);
            response.setstring(SQLPmn::GenericResp::kErrorText, "Failed to udpate database status.");
        }
    }

    std::string text;
    if (SqlSerializeReply(response, text) != kMsgOk) {
        // An empty document would read as success.
        text = SqlXmlFallbackDocument(
            "SQLPmn_GenericResp", "errorCode",
            response.isSet(SQLPmn::GenericResp::kErrorCode) ? response.getint64(SQLPmn::GenericResp::kErrorCode) : 2,
            "errorText", "Failed to serialize the response.");
    }
    if (!sendTextReply(kSqlUpdateDbStatusRsp, text, "Fail to call FreeReceivedMessage()")) return false;
    EV_DEBUG(m_event, 1, "FreeReceivedMessage success.");
    return result;
}
