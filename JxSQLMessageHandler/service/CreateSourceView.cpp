// Active-source views for archiving: one view per table of the request,
// created by the management layer in the source database.
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFormat.h"

bool CSQLClientDll::GetSqlCreateSourceView(std::string& requestXml, std::string& reply) {
    using Req = SQLPmn::SqlCreateSourceViewInfoReq;
    EV_DEBUG(m_event, 1, "Received message to create active source views. XML: [%s].", requestXml.c_str());
    Req request;
    int e = request.unserialize(requestXml);
    if (e != kMsgOk) {
        reply = getResponseMessage(118, wz::Format("Failed to unserialize the data with error [%d].", e));
        return false;
    }
    for (CNFieldId field : {Req::kInstance, Req::kArgument1, Req::kArgument2, Req::kArgument3, Req::kArgument4,
                            Req::kTables}) {
        if (!request.isSet(field)) {
            reply = getResponseMessage(102, "Invalid parameter(s) passed in the input XML.");
            return false;
        }
    }
    std::vector<std::string> tables = request.getliststring(Req::kTables);
    if (tables.empty()) {
        reply = getResponseMessage(102, "No tables found in the input.");
        return false;
    }

    const CNMessageBase* entity = request.getObjectAccessor(Req::kInstance);
    std::string instance = entity->getstring(JxEntities::GenericEntity::kInstanceName);
    unsigned long instanceId = static_cast<unsigned long>(entity->getint64(JxEntities::GenericEntity::kInstanceId));
    CsqlDMO dmo;
    dmo.setInstanceId(instanceId);
    if (!dmo.initialize(instance, true)) {
        reply = getResponseMessage(120, wz::Format("Failed to initialize SQL server instance: [%lu - %s].",
                                                   static_cast<unsigned long>(static_cast<uint32_t>(instanceId)),
                                                   instance.c_str()));
        return false;
    }

    reply.clear();
    for (const std::string& table : tables) {
        std::vector<std::string> parts = FXString::Split(table, ".");
        std::string shortName = parts.size() == 2 ? parts[1] : parts.size() == 1 ? parts[0] : table;
        if (!dmo.CreateSourceView(request.getstring(Req::kArgument1), request.getstring(Req::kArgument2),
                                  request.getstring(Req::kArgument3), request.getstring(Req::kArgument4), table)) {
            reply = getResponseMessage(121, wz::Format("Fail to create the source view JX_SV_%s.", shortName.c_str()));
        }
    }
    if (!reply.empty()) return false;
    reply = getResponseMessage(0, "");
    return true;
}
