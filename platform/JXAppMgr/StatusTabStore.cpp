// StatusTabStore: the status tabs and database information in SQLite.
#include "JXAppMgr/StatusTabStore.h"

#include <memory>

#include "WzSQLite/CSQLite3DB.h"
#include "WzSQLite/CSQLite3Exception.h"
#include "WzUtils/PlatformRoot.h"

namespace statustab {

namespace {

std::unique_ptr<FX::CSQLite3DB> Open() {
    std::string path = wz::PlatformFilePath("appmgr/statustab.db");
    if (path.empty()) throw FX::CSQLite3Exception(14, "The status-tab store cannot be placed under the root.");
    auto db = std::make_unique<FX::CSQLite3DB>(path);
    // Every job writes its status rows here, the central server's stand-in
    // reads them: of two jobs at once, one waits for the other's write.
    db->SetBusyTimeout(FX::kSharedStoreBusyTimeout);
    db->ExecDML(
        "CREATE TABLE IF NOT EXISTS status_tab (job_id INTEGER, jxcell_id INTEGER, database_name TEXT, "
        "record TEXT, PRIMARY KEY (job_id, jxcell_id, database_name))");
    db->ExecDML(
        "CREATE TABLE IF NOT EXISTS database_info (instance_id INTEGER, application_id INTEGER, "
        "database_name TEXT, recovery_model INTEGER, last_backup_time INTEGER, last_failure_time INTEGER, "
        "job_id INTEGER, status INTEGER, PRIMARY KEY (instance_id, application_id, database_name))");
    return db;
}

int64_t Num(uint64_t value) { return static_cast<int64_t>(value); }

}  // namespace

void PutRecord(uint64_t jobId, uint64_t jxCellId, const std::string& database, const std::string& recordXml) {
    // The upsert keeps the row (and so the record's place in the list).
    Open()->ExecDML({"INSERT INTO status_tab (job_id, jxcell_id, database_name, record) VALUES (?, ?, ?, ?) "
                     "ON CONFLICT (job_id, jxcell_id, database_name) DO UPDATE SET record = excluded.record",
                     {Num(jobId), Num(jxCellId), database, recordXml}});
}

std::vector<std::string> Records(uint64_t jobId, uint64_t jxCellId) {
    auto db = Open();
    auto q = db->ExecQuerySetup(
        {"SELECT record FROM status_tab WHERE job_id = ? AND jxcell_id = ? ORDER BY rowid", {Num(jobId), Num(jxCellId)}});
    std::vector<std::string> records;
    while (q->NextRow()) records.push_back(q->GetStringField(0));
    return records;
}

void PutDatabaseInfo(const DatabaseInfo& i) {
    std::vector<FX::CSQLite3Value> values{Num(i.instanceId), Num(i.applicationId), i.database, i.recoveryModel};
    // NULL stands for a time the request did not set.
    values.emplace_back(std::monostate{});
    if (i.hasLastBackupTime) values.back() = i.lastBackupTime;
    values.emplace_back(std::monostate{});
    if (i.hasLastFailureTime) values.back() = i.lastFailureTime;
    values.emplace_back(Num(i.jobId));
    values.emplace_back(i.status);
    Open()->ExecDML({"INSERT OR REPLACE INTO database_info (instance_id, application_id, database_name, "
                     "recovery_model, last_backup_time, last_failure_time, job_id, status) VALUES "
                     "(?, ?, ?, ?, ?, ?, ?, ?)",
                     std::move(values)});
}

bool GetDatabaseInfo(uint64_t instanceId, uint64_t applicationId, const std::string& database, DatabaseInfo& info) {
    auto db = Open();
    auto q = db->ExecQuerySetup({"SELECT recovery_model, last_backup_time IS NOT NULL, last_backup_time, "
                                 "last_failure_time IS NOT NULL, last_failure_time, job_id, status FROM "
                                 "database_info WHERE instance_id = ? AND application_id = ? AND database_name = ?",
                                 {Num(instanceId), Num(applicationId), database}});
    if (!q->NextRow()) return false;
    info.instanceId = instanceId;
    info.applicationId = applicationId;
    info.database = database;
    info.recoveryModel = q->GetInt64Field(0);
    info.hasLastBackupTime = q->GetInt64Field(1) != 0;
    info.lastBackupTime = q->GetInt64Field(2);
    info.hasLastFailureTime = q->GetInt64Field(3) != 0;
    info.lastFailureTime = q->GetInt64Field(4);
    info.jobId = static_cast<uint64_t>(q->GetInt64Field(5));
    info.status = q->GetInt64Field(6);
    return true;
}

}  // namespace statustab
