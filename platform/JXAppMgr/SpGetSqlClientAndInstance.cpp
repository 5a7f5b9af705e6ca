// Stored procedure GetSqlClientAndInstance: is an availability group, known
// by its guid, configured in the backup domain as a pseudo-client?
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StoredProcedures.h"
#include "JxSQLCommon/records/AppMessages.h"

int SpGetSqlClientAndInstance(const std::string& requestXml, std::string& responseXml) {
    App::GetSqlClientAndInstanceReq request;
    if (int rc = request.unserialize(requestXml); rc != kMsgOk) return rc;
    const std::string guid = request.getstring(App::GetSqlClientAndInstanceReq::kGroupGuid);
    const bool configured = !guid.empty() && AppModel::FindByProperty("client", "agGuid", guid).has_value();

    CNMessageBase result(App::GetSqlClientAndInstanceResp::kResultModule,
                         App::GetSqlClientAndInstanceResp::kResultMessage);
    result.setint64(App::GetSqlClientAndInstanceResp::kPseudoClientConfigured, configured ? 1 : 0);
    App::GetSqlClientAndInstanceResp response;
    response.setObjectAccessor(App::GetSqlClientAndInstanceResp::kResult, result);
    std::string text;
    if (int rc = response.serialize(text); rc != kMsgOk) return rc;
    responseXml = text;
    return 0;
}
