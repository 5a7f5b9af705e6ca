// App_ExecuteSP: dispatch of stored-procedure requests by request id.
#include "JXAppMgr/App_ExecuteSP.h"

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/StoredProcedures.h"
#include "JxLib/EvDebug.h"

namespace {

using StoredProcedure = int (*)(const std::string& requestXml, std::string& responseXml);

struct ProcedureEntry {
    uint32_t requestId;
    StoredProcedure run;
};

constexpr ProcedureEntry kProcedures[] = {
    {kSpGetSqlClientAndInstance, &SpGetSqlClientAndInstance},
    {kSpUpdateJobStatusTab, &SpUpdateJobStatusTab},
    {kSpUpdateDatabaseInfo, &SpUpdateDatabaseInfo},
};

}  // namespace

int App_ExecuteSP::executeStoredProcedure(uint32_t requestId, const std::string& requestXml, std::string& responseXml,
                                          void* /*reserved*/) {
    EvDebug log;
    if (AppModel::Get("domain", "storedProceduresUnavailable").value_or("0") == "1") {
        log.Error("executeStoredProcedure", "Stored procedures are unavailable (request id [0x%x]).", requestId);
        return JXAPPMGR_E_SP_UNAVAILABLE;
    }
    for (const ProcedureEntry& entry : kProcedures) {
        if (entry.requestId == requestId) return entry.run(requestXml, responseXml);
    }
    log.Error("executeStoredProcedure", "No stored procedure answers request id [0x%x].", requestId);
    return JXAPPMGR_E_NO_PROCEDURE;
}
