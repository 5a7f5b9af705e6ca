// The stand-in's test of a file or file-group restore against the log's
// tail (see JxServeLogTail.h). It runs in the host, beside the engine's
// stand-in, and reads the database's state from the simulated instance.
#include "tools/jxserve/JxServeLogTail.h"

#include <strings.h>

#include <string>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlNameLookups.h"
#include "JxSQLCommon/records/SqlRestoreRequestRecords.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRestoreCatalog.h"
#include "tools/jxserve/JxServeLsn.h"
#include "tools/jxserve/JxServeRestoreRecords.h"

namespace {

// What a test set: the answer is forced for this database.
bool Forced(FX::CSQLite3DB& db, uint64_t instanceId, const std::string& database) {
    return db.ExecScalarInt64(FX::CSQLite3Sql("SELECT COUNT(*) FROM log_tail_not_backed_up WHERE instance_id = ? AND "
                                              "database = ?",
                                              {static_cast<int64_t>(instanceId), database}),
                              0) != 0;
}

// Whether the request's task restores `database` of the request's instance
// into itself.
bool RestoresInPlace(FX::CSQLite3DB& db, const SQLAFilesForFFGRstReq_t& request, const std::string& database) {
    JxServeRestoreTask task;
    if (!JxServeGetRestoreTask(db, request.restoreTaskId, task)) return false;
    if (task.destinationInstanceId != request.sourceInstanceId) return false;
    for (const std::string& name : JxServeDestinationNames(task)) {
        if (strcasecmp(name.c_str(), database.c_str()) == 0) return true;
    }
    return false;
}

// The LSN of the last log record the database holds, when it is ONLINE in a
// recovery model whose log can be backed up; false otherwise or when it
// cannot be read.
bool CurrentLsnOfLoggedDatabase(uint64_t instanceId, const std::string& database, uint64_t& currentLsn) {
    std::string instanceName;
    if (GetSQLPmnInstanceName(static_cast<unsigned long>(instanceId), instanceName).IsError()) return false;
    SqlSimInstance instance;
    if (instance.Open(instanceName).IsError()) return false;
    bool exists = false;
    int64_t id = 0;
    int state = 0;
    if (SqlSimDatabaseState(instance, database, exists, id, state).IsError() || !exists ||
        state != SQLDB_STATE_ONLINE) {
        return false;
    }
    SqlSimChanges changes(instance);
    std::string model;
    SqlSimLsnState lsns;
    if (changes.RecoveryModel(id, model).IsError() || (model != "FULL" && model != "BULK_LOGGED")) return false;
    if (changes.State(id, lsns).IsError()) return false;
    currentLsn = lsns.currentLsn;
    return true;
}

}  // namespace

bool JxServeLogTailNotBackedUp(FX::CSQLite3DB& db, const SQLAFilesForFFGRstReq_t& request,
                               const std::vector<JxServeBackup>& latestChain, EvDebug& log) {
    const std::string database = request.databaseName != nullptr ? request.databaseName : "";
    if (Forced(db, request.sourceInstanceId, database)) return true;
    if (latestChain.empty() || latestChain.back().lastLsn.empty()) return false;
    if (!RestoresInPlace(db, request, database)) return false;
    uint64_t currentLsn = 0;
    if (!CurrentLsnOfLoggedDatabase(request.sourceInstanceId, database, currentLsn)) return false;
    // A backup's last LSN is that of the first record it does not hold.
    const std::string& backedUpBelow = latestChain.back().lastLsn;
    if (JxServeLsnBelow(std::to_string(currentLsn), backedUpBelow)) return false;
    EV_INFO(log,
            "The log of database [%s] holds records up to LSN [%llu]; its last backup ends below LSN [%s]: the tail "
            "of the log must be backed up before its files are restored.",
            database.c_str(), static_cast<unsigned long long>(currentLsn), backedUpBelow.c_str());
    return true;
}
