// The stand-in's answer to database auto-discovery: stores the databases a
// client adds to an instance's default subclient and adds them to that
// subclient's content, marked as added by auto-discovery.
#include "JXAppMgr/ApplProperties.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlAutoDiscoveryRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

bool ServeAutoDiscover(JxServeRequest& request) {
    const SQLAutoDiscoverReq_t& req = request.As<SQLAutoDiscoverReq_t>();
    const auto appId = static_cast<int64_t>(req.applicationId);
    SQLAutoDiscoverRsp_t reply;
    auto db = JxServeOpenRestoreStore();
    if (db->ExecScalarInt64(FX::CSQLite3Sql("SELECT COUNT(*) FROM discovery_refusals WHERE app_id = ?", {appId}),
                            0) != 0) {
        EV_ERROR(request.log, "Refusing the databases discovered for application %lld.",
                 static_cast<long long>(appId));
        reply.error = 1;
        return JxServeReply(request, kSqlAutoDiscoverRsp, reply);
    }
    for (uint32_t i = 0; i < req.count && req.databases != nullptr; ++i) {
        const SQL_DatabaseInfo_t& d = req.databases[i];
        db->ExecDML(FX::CSQLite3Sql("INSERT INTO discovered_databases VALUES(?, ?, ?, ?)",
                                    {appId, std::string(d.name != nullptr ? d.name : ""),
                                     static_cast<int64_t>(d.creationTime), static_cast<int64_t>(d.databaseId)}));
        if (d.name != nullptr && *d.name != '\0') {
            // A subclient the model does not have keeps the databases only here.
            (void)ApplProperties(req.applicationId).addDatabase(d.name, true);
        }
    }
    return JxServeReply(request, kSqlAutoDiscoverRsp, reply);
}

const JxServeRegistration kAutoDiscovery{{kSqlAutoDiscoverReq, &ServeAutoDiscover}};

}  // namespace
