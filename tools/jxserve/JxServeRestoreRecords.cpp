// The central-server stand-in's records of restores done on each database
// since its last stored backup.
#include "tools/jxserve/JxServeRestoreRecords.h"

#include <strings.h>

#include <list>
#include <set>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlConversionRuleRecords.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeRestoreStore.h"
#include "tools/jxserve/JxServeStore.h"

namespace {

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS restore_records (instance_id INTEGER, database_name TEXT COLLATE NOCASE, "
    "system_restored INTEGER DEFAULT 0, pit_restored INTEGER DEFAULT 0, PRIMARY KEY (instance_id, database_name))";

int64_t Num(uint64_t value) { return static_cast<int64_t>(value); }

// A stop time or a mark ends the restore inside a log backup; a to-time
// without either still stops at a backup older than the latest. Either way
// the database's log no longer continues the chain stored for it.
bool RestoresToPointInTime(const JxServeRestoreTask& task) {
    return (task.optionFlags & (kRstPointInTime | kRstStopAtMark | kRstStopBeforeMark)) != 0 ||
           task.pointInTime != 0;
}

bool IsSystemDatabase(const std::string& name) {
    for (const char* system : {"master", "model", "msdb"}) {
        if (strcasecmp(name.c_str(), system) == 0) return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> JxServeDestinationNames(const JxServeRestoreTask& task) {
    SqlRestoreTaskOptions_t options;
    options.databaseEntries = task.databases;
    options.relocationEntries = task.relocations;
    std::list<SqlRestoreDbInfo_t> databases;
    (void)CSQLClientDll().populateRestoreTaskOptions("", options, databases, true);  // never fails
    std::vector<std::string> names;
    for (const SqlRestoreDbInfo_t& db : databases) {
        names.push_back(db.newDbName.empty() ? CSQLClientDll::ParseDatabase(db.sDbName) : db.newDbName);
    }
    return names;
}

namespace {

// Every database the stand-in knows of `instanceId`.
std::set<std::string> KnownDatabases(uint64_t instanceId) {
    auto db = JxServeOpenBackupSetStore();
    auto q = db->ExecQuerySetup(
        {"SELECT DISTINCT database_name FROM databases WHERE instance_id = ?", {Num(instanceId)}});
    std::set<std::string> names;
    while (q->NextRow()) names.insert(q->GetStringField(0));
    return names;
}

void Flag(FX::CSQLite3DB& db, uint64_t instanceId, const std::string& name, const char* column) {
    db.ExecDML({"INSERT OR IGNORE INTO restore_records (instance_id, database_name) VALUES (?, ?)",
                {Num(instanceId), name}});
    db.ExecDML({std::string("UPDATE restore_records SET ") + column + " = 1 WHERE instance_id = ? AND database_name = ?",
                {Num(instanceId), name}});
}

}  // namespace

void JxServeRecordRestore(const JxServeRestoreTask& task, EvDebug& log) {
    // A restore to disk alone names no instance: nothing is restored into one.
    if (task.destinationInstanceId == 0) return;
    const std::vector<std::string> names = JxServeDestinationNames(task);
    const bool pointInTime = RestoresToPointInTime(task);
    bool systemDatabase = false;
    for (const std::string& name : names) systemDatabase |= IsSystemDatabase(name);
    if (!pointInTime && !systemDatabase) return;

    auto db = JxServeOpenStore({kSchema});
    if (pointInTime) {
        for (const std::string& name : names) {
            EV_INFO(log, "Database [%s] of instance %llu is restored to a point in time.", name.c_str(),
                    static_cast<unsigned long long>(task.destinationInstanceId));
            Flag(*db, task.destinationInstanceId, name, "pit_restored");
        }
    }
    if (systemDatabase) {
        EV_INFO(log, "A system database of instance %llu is restored.",
                static_cast<unsigned long long>(task.destinationInstanceId));
        std::set<std::string> all = KnownDatabases(task.destinationInstanceId);
        all.insert(names.begin(), names.end());
        for (const std::string& name : all) Flag(*db, task.destinationInstanceId, name, "system_restored");
    }
}

void JxServeClearRestoreRecords(FX::CSQLite3DB& db, uint64_t instanceId, const std::string& databaseName) {
    db.ExecDML(kSchema);
    db.ExecDML({"DELETE FROM restore_records WHERE instance_id = ? AND database_name = ?",
                {Num(instanceId), databaseName}});
}

void JxServeReadRestoreRecords(uint64_t instanceId, const std::string& databaseName, SqlDatabaseBackupInfo_V2& d) {
    auto db = JxServeOpenStore({kSchema});
    auto q = db->ExecQuerySetup({"SELECT system_restored, pit_restored FROM restore_records WHERE instance_id = ? "
                                 "AND database_name = ?",
                                 {Num(instanceId), databaseName}});
    if (!q->NextRow()) return;
    d.systemDatabaseRestored = static_cast<uint32_t>(q->GetInt64Field(0));
    d.pointInTimeRestored = static_cast<uint32_t>(q->GetInt64Field(1));
}
