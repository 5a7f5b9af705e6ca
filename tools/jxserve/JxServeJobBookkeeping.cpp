// The jobs' bookkeeping requests served by the central-server stand-in.
#include "tools/jxserve/JxServeJobBookkeeping.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "JXAppMgr/StatusTabStore.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SqlCentralServerRecords.h"
#include "JxSQLCommon/records/SqlConversionRuleRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeRestoreRecords.h"
#include "tools/jxserve/JxServeStore.h"

namespace {

std::unique_ptr<FX::CSQLite3DB> Store() {
    return JxServeOpenStore({
        "CREATE TABLE IF NOT EXISTS mark_names (instance_id INTEGER, database_name TEXT, point_in_time INTEGER, "
        "mark_name TEXT)",
        "CREATE TABLE IF NOT EXISTS conversion_rules (instance_id INTEGER, database_name TEXT, system_restored "
        "INTEGER, pit_restored INTEGER, previous_backup INTEGER, last_backup_time INTEGER, log_backups INTEGER, "
        "history_value INTEGER, PRIMARY KEY (instance_id, database_name))",
        "CREATE TABLE IF NOT EXISTS uncommitted (job_id INTEGER, database_name TEXT)",
        "CREATE TABLE IF NOT EXISTS cleanup_status (job_id INTEGER PRIMARY KEY, status INTEGER)",
        "CREATE TABLE IF NOT EXISTS vss_full_times (first INTEGER, second INTEGER, time TEXT, "
        "PRIMARY KEY (first, second))",
        "CREATE TABLE IF NOT EXISTS acl_info (instance_id INTEGER, jxcell_id INTEGER, acl TEXT, "
        "PRIMARY KEY (instance_id, jxcell_id))",
        "CREATE TABLE IF NOT EXISTS acl_reply (id INTEGER PRIMARY KEY CHECK (id = 1), error INTEGER)",
        "CREATE TABLE IF NOT EXISTS job_info (job_id INTEGER, jxcell_id INTEGER, code INTEGER, info TEXT, "
        "PRIMARY KEY (job_id, jxcell_id))",
        "CREATE TABLE IF NOT EXISTS sp_subclients (sql_client_id INTEGER, subclient_id INTEGER)",
        "CREATE TABLE IF NOT EXISTS credentials (client_id INTEGER, instance_id INTEGER, auth_type INTEGER, "
        "user_name TEXT, password TEXT, level INTEGER, PRIMARY KEY (client_id, instance_id))",
    });
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }
int64_t Num(uint64_t value) { return static_cast<int64_t>(value); }

// The first mark of `database` at or after `pointInTime` among the marks the
// log backup jobs sent. Their times are UTC texts "YYYY-MM-DD hh:mm:ss",
// which order as text against the request's time written the same way; a
// mark whose time is not such a text is never chosen.
bool MarkFromLogJobs(uint64_t instanceId, const std::string& database, uint64_t pointInTime, std::string& name) {
    if (pointInTime > static_cast<uint64_t>(INT64_MAX)) return false;  // later than any date
    auto q = JxServeOpenBackupSetStore()->ExecQuerySetup(
        {"SELECT mark_name FROM log_marks WHERE instance_id = ? AND database_name = ? COLLATE NOCASE AND "
         "mark_time GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]*' AND "
         "mark_time >= datetime(?, 'unixepoch') ORDER BY mark_time, value LIMIT 1",
         {Num(instanceId), database, Num(pointInTime)}});
    if (!q->NextRow()) return false;
    name = q->GetStringField(0);
    return true;
}

bool ServeMarkName(JxServeRequest& request) {
    const auto& ask = request.As<SQLLogMarkNameReq_t>();
    const std::string database = CSQLClientDll::ParseDatabase(Text(ask.databaseName));
    auto q = Store()->ExecQuerySetup(
        {"SELECT mark_name FROM mark_names WHERE instance_id = ? AND database_name = ? AND point_in_time >= ? "
         "ORDER BY point_in_time LIMIT 1",
         {Num(ask.sourceInstanceId), database, Num(ask.pointInTime)}});
    SQLLogMarkNameRsp_t reply;
    std::string name;
    if (q->NextRow()) {
        name = q->GetStringField(0);
        reply.markName = name.data();
    } else if (MarkFromLogJobs(ask.sourceInstanceId, database, ask.pointInTime, name)) {
        reply.markName = name.data();
    } else {
        EV_ERROR(request.log, "No log mark of [%s] of instance %llu at or after %llu.", database.c_str(),
                 static_cast<unsigned long long>(ask.sourceInstanceId),
                 static_cast<unsigned long long>(ask.pointInTime));
        reply.status = 1;
    }
    return JxServeReply(request, kSqlMarkNameRsp, reply);
}

// A database without a set-up row is answered from the backup sets the jobs
// stored: whether there is one, the finish time of the newest, and the log
// backups since the newest full (database or file) backup.
void FromStoredSets(int64_t instanceId, const std::string& name, SqlDatabaseBackupInfo_V2& d) {
    auto sets = JxServeOpenBackupSetStore();
    auto q = sets->ExecQuerySetup(
        {"SELECT COUNT(*), COALESCE(MAX(finish_date), 0), (SELECT COUNT(*) FROM backup_sets l WHERE "
         "l.instance_id = ?1 AND l.database_name = ?2 AND l.backup_type = 'L' AND l.id > COALESCE((SELECT MAX(id) "
         "FROM backup_sets f WHERE f.instance_id = ?1 AND f.database_name = ?2 AND f.backup_type IN ('D', 'F', "
         "'P')), 0)) FROM backup_sets WHERE instance_id = ?1 AND database_name = ?2",
         {instanceId, name}});
    if (!q->NextRow()) return;
    d.previousBackup = static_cast<uint64_t>(q->GetInt64Field(0));
    d.lastBackupTime = static_cast<uint64_t>(q->GetInt64Field(1));
    d.logBackupsSinceFull = static_cast<uint64_t>(q->GetInt64Field(2));
}

bool ServeConversionRules(JxServeRequest& request) {
    const auto& ask = request.As<SqlBackupConversionRulesReq_V4_t>();
    auto db = Store();
    std::vector<SqlDatabaseBackupInfo_V2> databases(ask.databaseCount);
    std::vector<std::string> names(ask.databaseCount);
    for (uint32_t i = 0; i < ask.databaseCount; ++i) {
        names[i] = Text(ask.databases[i].databaseName);
        SqlDatabaseBackupInfo_V2& d = databases[i];
        d.databaseName = names[i].data();
        auto q = db->ExecQuerySetup({"SELECT system_restored, pit_restored, previous_backup, last_backup_time, "
                                     "log_backups, history_value FROM conversion_rules WHERE instance_id = ? AND "
                                     "database_name = ?",
                                     {ask.instanceId, names[i]}});
        if (!q->NextRow()) {
            FromStoredSets(ask.instanceId, names[i], d);
            JxServeReadRestoreRecords(static_cast<uint64_t>(ask.instanceId), names[i], d);
            continue;
        }
        d.systemDatabaseRestored = static_cast<uint32_t>(q->GetInt64Field(0));
        d.pointInTimeRestored = static_cast<uint32_t>(q->GetInt64Field(1));
        d.previousBackup = static_cast<uint64_t>(q->GetInt64Field(2));
        d.lastBackupTime = static_cast<uint64_t>(q->GetInt64Field(3));
        d.logBackupsSinceFull = static_cast<uint64_t>(q->GetInt64Field(4));
        d.backupHistoryValue = static_cast<uint64_t>(q->GetInt64Field(5));
    }
    SqlBackupConversionRulesRsp_V2_t reply;
    reply.databaseCount = ask.databaseCount;
    reply.databases = databases.data();
    return JxServeReply(request, kSqlConversionRulesRsp, reply);
}

// Removes the job's uncommitted entries (of one database, or all when the
// name is empty); returns their names.
std::vector<std::string> Clean(FX::CSQLite3DB& db, uint64_t jobId, const std::string& database) {
    FX::CSQLite3Sql where{"job_id = ?", {Num(jobId)}};
    if (!database.empty()) where = where + FX::CSQLite3Sql{" AND database_name = ?", {database}};
    auto q = db.ExecQuerySetup(FX::CSQLite3Sql("SELECT database_name FROM uncommitted WHERE ") + where);
    std::vector<std::string> names;
    while (q->NextRow()) names.push_back(q->GetStringField(0));
    db.ExecDML(FX::CSQLite3Sql("DELETE FROM uncommitted WHERE ") + where);
    return names;
}

uint64_t CleanupStatus(FX::CSQLite3DB& db, uint64_t jobId) {
    return static_cast<uint64_t>(
        db.ExecScalarInt64({"SELECT status FROM cleanup_status WHERE job_id = ?", {Num(jobId)}}, 0));
}

bool ServeCleanup(JxServeRequest& request) {
    const auto& ask = request.As<SqlCleanupTablesReq_t>();
    auto db = Store();
    std::vector<std::string> names = Clean(*db, ask.jobId, Text(ask.databaseName));
    // The job's backup sets whose data the media never committed go too.
    for (const std::string& name : JxServeDropUncommittedSets(ask.jobId)) {
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    std::vector<SqlCleanedEntry_t> entries(names.size());
    for (size_t i = 0; i < names.size(); ++i) entries[i].databaseName = names[i].data();
    SqlCleanupTablesRsp_V1_t reply;
    reply.count = entries.size();
    reply.entries = entries.data();
    reply.status = CleanupStatus(*db, ask.jobId);
    return JxServeReply(request, kSqlCleanupRsp, reply);
}

bool ServeAzureCleanup(JxServeRequest& request) {
    const auto& ask = request.As<SqlCleanupTablesReq_Azure_t>();
    auto db = Store();
    Clean(*db, ask.jobId, Text(ask.databaseName));
    SqlCleanupTablesRsp_Azure_t reply;
    reply.status = CleanupStatus(*db, ask.jobId);
    return JxServeReply(request, kSqlAzureCleanupRsp, reply);
}

bool ServeLastVssFullTime(JxServeRequest& request) {
    const auto& ask = request.As<SqlGetLastVssFullTimeReq_t>();
    auto q = Store()->ExecQuerySetup(
        {"SELECT time FROM vss_full_times WHERE first = ? AND second = ?", {Num(ask.first), Num(ask.second)}});
    SqlGetLastVssFullTimeRsp_t reply;
    std::string time;
    if (q->NextRow()) {
        time = q->GetStringField(0);
        reply.time = time.data();
    } else {
        reply.status = 1;
    }
    return JxServeReply(request, kSqlLastVssFullRsp, reply);
}

bool ServeACLInfo(JxServeRequest& request) {
    const auto& ask = request.As<SQLACLInfoReq_t>();
    auto db = Store();
    db->ExecDML({"INSERT OR REPLACE INTO acl_info (instance_id, jxcell_id, acl) VALUES (?, ?, ?)",
                 {static_cast<int64_t>(ask.instanceId), Num(ask.jxCellId), Text(ask.aclInfo)}});
    SQLACLInfoRsp_t reply;
    reply.errorCode = static_cast<uint32_t>(db->ExecScalarInt64("SELECT error FROM acl_reply WHERE id = 1", 0));
    return JxServeReply(request, kSqlACLInfoRsp, reply);
}

// The job's information from the status-tab records its job stored; false
// when it stored none (or they cannot be read back).
bool StatusTabInfo(uint64_t jobId, uint64_t jxCellId, std::string& xml, JxServeRequest& request) {
    std::vector<std::string> records = statustab::Records(jobId, jxCellId);
    if (records.empty()) return false;
    JobManager::SQLJobInfo info;
    info.setint64(JobManager::SQLJobInfo::kJobId, Num(jobId));
    info.setint64(JobManager::SQLJobInfo::kJxCellId, Num(jxCellId));
    std::vector<JobManager::SQLStatusTab> tabs(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        if (tabs[i].unserialize(records[i]) != kMsgOk) {
            EV_ERROR(request.log, "Stored status-tab record of job %llu unreadable.",
                     static_cast<unsigned long long>(jobId));
            return false;
        }
    }
    info.setlistobject(JobManager::SQLJobInfo::kStatusTabs, tabs);
    return info.serialize(xml) == kMsgOk;
}

bool ServeJobInfo(JxServeRequest& request) {
    const auto& ask = request.As<SqlGetJobInfoReq_t>();
    auto q = Store()->ExecQuerySetup({"SELECT code, info FROM job_info WHERE job_id = ? AND jxcell_id = ?",
                                      {Num(ask.jobId), Num(ask.jxCellId)}});
    SqlGetJobInfoRsp_t reply;
    std::string info;
    if (q->NextRow()) {
        reply.code = static_cast<uint32_t>(q->GetInt64Field(0));
        info = q->GetStringField(1);
        reply.jobInfo = info.data();
    } else if (StatusTabInfo(ask.jobId, ask.jxCellId, info, request)) {
        reply.jobInfo = info.data();
    } else {
        reply.code = 3;  // nothing to tell of that job
    }
    return JxServeReply(request, kSqlJobInfoRsp, reply);
}

bool ServeSharePointSubclients(JxServeRequest& request) {
    const auto& ask = request.As<SpContentDBSkipBackupListReq_t>();
    auto q = Store()->ExecQuerySetup(
        {"SELECT subclient_id FROM sp_subclients WHERE sql_client_id = ? ORDER BY rowid", {Num(ask.sqlClientId)}});
    std::vector<uint64_t> ids;
    while (q->NextRow()) ids.push_back(static_cast<uint64_t>(q->GetInt64Field(0)));
    SpContentDBSkipBackupListRsp_t reply;
    reply.count = ids.size();
    reply.subclientIds = ids.data();
    return JxServeReply(request, kSqlSpContentRsp, reply);
}

bool ServeCredentials(JxServeRequest& request) {
    const auto& ask = request.As<MSSQLAuthentication_Req_t>();
    // A request that skips the instance asks for the client's credentials,
    // kept under instance id 0.
    uint64_t instanceId = ask.skipInstance != 0 ? 0 : ask.instanceId;
    auto q = Store()->ExecQuerySetup({"SELECT auth_type, user_name, password, level FROM credentials WHERE "
                                      "client_id = ? AND instance_id = ?",
                                      {Num(ask.clientId), Num(instanceId)}});
    MSSQLAuthentication_Rsp_t reply;
    std::string user, password;
    if (q->NextRow()) {
        reply.authType = static_cast<uint64_t>(q->GetInt64Field(0));
        user = q->GetStringField(1);
        password = q->GetStringField(2);
        reply.level = static_cast<uint64_t>(q->GetInt64Field(3));
    }
    reply.userName = user.data();
    reply.password = password.data();
    return JxServeReply(request, kSqlAuthenticationRsp, reply);
}

const JxServeRegistration kJobBookkeepingHandlers{
    {kSqlMarkNameReq, &ServeMarkName},
    {kSqlConversionRulesReq, &ServeConversionRules},
    {kSqlCleanupReq, &ServeCleanup},
    {kSqlAzureCleanupReq, &ServeAzureCleanup},
    {kSqlLastVssFullReq, &ServeLastVssFullTime},
    {kSqlACLInfoReq, &ServeACLInfo},
    {kSqlJobInfoReq, &ServeJobInfo},
    {kSqlSpContentReq, &ServeSharePointSubclients},
    {kSqlAuthenticationReq, &ServeCredentials},
};

}  // namespace

void JxServeAddMarkName(uint64_t sourceInstanceId, const std::string& databaseName, uint64_t pointInTime,
                        const std::string& markName) {
    Store()->ExecDML({"INSERT INTO mark_names (instance_id, database_name, point_in_time, mark_name) VALUES "
                      "(?, ?, ?, ?)",
                      {Num(sourceInstanceId), databaseName, Num(pointInTime), markName}});
}

void JxServeAddConversionRule(const JxServeConversionRule& r) {
    Store()->ExecDML({"INSERT OR REPLACE INTO conversion_rules (instance_id, database_name, system_restored, "
                      "pit_restored, previous_backup, last_backup_time, log_backups, history_value) VALUES "
                      "(?, ?, ?, ?, ?, ?, ?, ?)",
                      {r.instanceId, r.databaseName, Num(r.systemDatabaseRestored), Num(r.pointInTimeRestored),
                       Num(r.previousBackup), Num(r.lastBackupTime), Num(r.logBackupsSinceFull),
                       Num(r.backupHistoryValue)}});
}

void JxServeAddUncommittedEntry(uint64_t jobId, const std::string& databaseName) {
    Store()->ExecDML({"INSERT INTO uncommitted (job_id, database_name) VALUES (?, ?)", {Num(jobId), databaseName}});
}

void JxServeSetCleanupStatus(uint64_t jobId, uint64_t status) {
    Store()->ExecDML({"INSERT OR REPLACE INTO cleanup_status (job_id, status) VALUES (?, ?)", {Num(jobId), Num(status)}});
}

std::vector<std::string> JxServeUncommittedEntries(uint64_t jobId) {
    auto db = Store();
    auto q = db->ExecQuerySetup({"SELECT database_name FROM uncommitted WHERE job_id = ? ORDER BY rowid", {Num(jobId)}});
    std::vector<std::string> names;
    while (q->NextRow()) names.push_back(q->GetStringField(0));
    return names;
}

void JxServeSetLastVssFullTime(uint64_t first, uint64_t second, const std::string& time) {
    Store()->ExecDML({"INSERT OR REPLACE INTO vss_full_times (first, second, time) VALUES (?, ?, ?)",
                      {Num(first), Num(second), time}});
}

void JxServeSetACLReplyError(uint32_t errorCode) {
    Store()->ExecDML({"INSERT OR REPLACE INTO acl_reply (id, error) VALUES (1, ?)", {Num(errorCode)}});
}

std::string JxServeACLInfo(int64_t instanceId, uint64_t jxCellId) {
    auto db = Store();
    auto q = db->ExecQuerySetup(
        {"SELECT acl FROM acl_info WHERE instance_id = ? AND jxcell_id = ?", {instanceId, Num(jxCellId)}});
    return q->NextRow() ? q->GetStringField(0) : std::string();
}

void JxServeSetJobInfo(uint64_t jobId, uint64_t jxCellId, uint32_t code, const std::string& info) {
    Store()->ExecDML({"INSERT OR REPLACE INTO job_info (job_id, jxcell_id, code, info) VALUES (?, ?, ?, ?)",
                      {Num(jobId), Num(jxCellId), Num(code), info}});
}

void JxServeAddSharePointSubclient(uint64_t sqlClientId, uint64_t subclientId) {
    Store()->ExecDML({"INSERT INTO sp_subclients (sql_client_id, subclient_id) VALUES (?, ?)",
                      {Num(sqlClientId), Num(subclientId)}});
}

void JxServeSetCredentials(const JxServeCredentials& c) {
    Store()->ExecDML({"INSERT OR REPLACE INTO credentials (client_id, instance_id, auth_type, user_name, password, "
                      "level) VALUES (?, ?, ?, ?, ?, ?)",
                      {Num(c.clientId), Num(c.instanceId), Num(c.authType), c.userName, c.password, Num(c.level)}});
}
