// The stand-in's discovery and restore records in its SQLite store.
#include "tools/jxserve/JxServeRestoreStore.h"

#include <utility>

#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeStore.h"

using FX::CSQLite3Sql;
using FX::CSQLite3Value;

namespace {

const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS discovered_databases(app_id INTEGER NOT NULL, name TEXT NOT NULL, "
    "creation_time INTEGER NOT NULL, database_id INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS discovery_refusals(app_id INTEGER PRIMARY KEY)",
    "CREATE TABLE IF NOT EXISTS restore_tasks(task_id INTEGER PRIMARY KEY, archive_selector INTEGER, "
    "source_client INTEGER, destination_client INTEGER, source_instance INTEGER, destination_instance INTEGER, "
    "copy_precedence INTEGER, point_in_time INTEGER, option_flags INTEGER, has_standby INTEGER, standby TEXT, "
    "date_format_kind INTEGER)",
    // kind: 'd' database entry, 'r' relocation entry of a restore task;
    // 'ad' database entry, 'ar' relocation entry of an Analysis task.
    "CREATE TABLE IF NOT EXISTS task_entries(task_id INTEGER NOT NULL, kind TEXT NOT NULL, "
    "position INTEGER NOT NULL, text TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS backups(restore_id INTEGER PRIMARY KEY AUTOINCREMENT, instance_id INTEGER, "
    "database TEXT COLLATE NOCASE, job_id INTEGER, application_id INTEGER, backup_type INTEGER, vss_flag INTEGER, "
    "word6 INTEGER, reference_time INTEGER, start_time INTEGER, end_time INTEGER, word10 INTEGER, word11 INTEGER, "
    "first_lsn TEXT, last_lsn TEXT, backup_size INTEGER, checkpoint_lsn TEXT NOT NULL DEFAULT '', "
    "database_backup_lsn TEXT NOT NULL DEFAULT '', copy_only INTEGER NOT NULL DEFAULT 0, "
    "recovery_path TEXT NOT NULL DEFAULT '', forked_from_path TEXT NOT NULL DEFAULT '', "
    "fork_lsn TEXT NOT NULL DEFAULT '')",
    "CREATE TABLE IF NOT EXISTS archive_files(restore_id INTEGER NOT NULL, position INTEGER NOT NULL, "
    "jxcell_id INTEGER, archive_file_id INTEGER, offset INTEGER, path TEXT)",
    "CREATE TABLE IF NOT EXISTS backup_file_groups(restore_id INTEGER NOT NULL, position INTEGER NOT NULL, "
    "name TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS backup_data_files(restore_id INTEGER NOT NULL, position INTEGER NOT NULL, "
    "name TEXT NOT NULL)",
    "CREATE TABLE IF NOT EXISTS log_tail_not_backed_up(instance_id INTEGER, database TEXT COLLATE NOCASE, "
    "PRIMARY KEY(instance_id, database))",
    "CREATE TABLE IF NOT EXISTS live_sync_status(instance_id INTEGER, database TEXT COLLATE NOCASE, "
    "status INTEGER, PRIMARY KEY(instance_id, database))",
    "CREATE TABLE IF NOT EXISTS analysis_tasks(task_id INTEGER PRIMARY KEY, w1 INTEGER, w2 INTEGER, w3 INTEGER, "
    "w4 INTEGER, w5 INTEGER, w6 INTEGER, w7 INTEGER, w8 INTEGER, has_standby INTEGER, standby TEXT, "
    "status INTEGER)",
    "CREATE TABLE IF NOT EXISTS analysis_details(task_id INTEGER NOT NULL, database_position INTEGER NOT NULL, "
    "position INTEGER NOT NULL, t1 TEXT, t2 TEXT, t3 TEXT, t4 TEXT, t5 TEXT, t6 TEXT, t7 TEXT, n1 INTEGER, "
    "n2 INTEGER)",
};

// Columns of the backups added after stores were first written; a store
// written before them gets them empty.
const std::pair<const char*, const char*> kAddedBackupColumns[] = {
    {"checkpoint_lsn", "TEXT NOT NULL DEFAULT ''"},
    {"database_backup_lsn", "TEXT NOT NULL DEFAULT ''"},
    {"copy_only", "INTEGER NOT NULL DEFAULT 0"},
    {"recovery_path", "TEXT NOT NULL DEFAULT ''"},
    {"forked_from_path", "TEXT NOT NULL DEFAULT ''"},
    {"fork_lsn", "TEXT NOT NULL DEFAULT ''"},
};

CSQLite3Value Int(uint64_t value) { return static_cast<int64_t>(value); }

void PutEntries(FX::CSQLite3DB& db, uint64_t taskId, const char* kind, const std::vector<std::string>& texts) {
    db.ExecDML(CSQLite3Sql("DELETE FROM task_entries WHERE task_id = ? AND kind = ?", {Int(taskId), kind}));
    for (size_t i = 0; i < texts.size(); ++i) {
        db.ExecDML(CSQLite3Sql("INSERT INTO task_entries VALUES(?, ?, ?, ?)",
                               {Int(taskId), kind, Int(i), texts[i]}));
    }
}

std::vector<std::string> Names(FX::CSQLite3DB& db, const std::string& table, int64_t restoreId) {
    auto rows = db.ExecQuerySetup(
        CSQLite3Sql("SELECT name FROM " + table + " WHERE restore_id = ? ORDER BY position", {restoreId}));
    std::vector<std::string> out;
    while (rows->NextRow()) out.push_back(rows->GetStringField(0));
    return out;
}

JxServeBackup BackupOfRow(FX::CSQLite3DB& db, FX::CSQLite3Query& row) {
    JxServeBackup b;
    b.instanceId = static_cast<uint64_t>(row.GetInt64Field(1));
    b.database = row.GetStringField(2);
    b.jobId = static_cast<uint64_t>(row.GetInt64Field(3));
    b.applicationId = static_cast<uint64_t>(row.GetInt64Field(4));
    b.backupType = static_cast<char>(row.GetInt64Field(5));
    b.vssFlag = static_cast<int32_t>(row.GetInt64Field(6));
    b.word6 = static_cast<uint64_t>(row.GetInt64Field(7));
    b.referenceTime = static_cast<uint64_t>(row.GetInt64Field(8));
    b.startTime = static_cast<uint64_t>(row.GetInt64Field(9));
    b.endTime = static_cast<uint64_t>(row.GetInt64Field(10));
    b.word10 = static_cast<uint64_t>(row.GetInt64Field(11));
    b.word11 = static_cast<uint64_t>(row.GetInt64Field(12));
    b.firstLsn = row.GetStringField(13);
    b.lastLsn = row.GetStringField(14);
    b.backupSize = static_cast<uint64_t>(row.GetInt64Field(15));
    b.restoreId = static_cast<uint64_t>(row.GetInt64Field(0));
    b.checkpointLsn = row.GetStringField(16);
    b.databaseBackupLsn = row.GetStringField(17);
    b.copyOnly = row.GetInt64Field(18) != 0;
    b.recoveryPath = row.GetStringField(19);
    b.forkedFromPath = row.GetStringField(20);
    b.forkLsn = row.GetStringField(21);
    auto files = db.ExecQuerySetup(CSQLite3Sql(
        "SELECT jxcell_id, archive_file_id, offset, path FROM archive_files WHERE restore_id = ? ORDER BY position",
        {row.GetInt64Field(0)}));
    while (files->NextRow()) {
        JxServeArchiveFile f;
        f.jxCellId = static_cast<uint32_t>(files->GetInt64Field(0));
        f.archiveFileId = static_cast<uint32_t>(files->GetInt64Field(1));
        f.offset = static_cast<uint64_t>(files->GetInt64Field(2));
        f.path = files->GetStringField(3);
        b.archiveFiles.push_back(f);
    }
    b.fileGroups = Names(db, "backup_file_groups", row.GetInt64Field(0));
    b.dataFiles = Names(db, "backup_data_files", row.GetInt64Field(0));
    return b;
}

// `names` become the list of `table` (backup_file_groups or
// backup_data_files) of a restore id.
void PutNames(FX::CSQLite3DB& db, const std::string& table, int64_t restoreId, const std::vector<std::string>& names) {
    db.ExecDML(CSQLite3Sql("DELETE FROM " + table + " WHERE restore_id = ?", {restoreId}));
    for (size_t i = 0; i < names.size(); ++i) {
        db.ExecDML(CSQLite3Sql("INSERT INTO " + table + " VALUES(?, ?, ?)", {restoreId, Int(i), names[i]}));
    }
}

std::vector<std::string> Entries(FX::CSQLite3DB& db, uint64_t taskId, const char* kind) {
    auto rows = db.ExecQuerySetup(
        CSQLite3Sql("SELECT text FROM task_entries WHERE task_id = ? AND kind = ? ORDER BY position", {Int(taskId), kind}));
    std::vector<std::string> out;
    while (rows->NextRow()) out.push_back(rows->GetStringField(0));
    return out;
}

constexpr const char* kBackupColumns =
    "SELECT restore_id, instance_id, database, job_id, application_id, backup_type, vss_flag, word6, "
    "reference_time, start_time, end_time, word10, word11, first_lsn, last_lsn, backup_size, checkpoint_lsn, "
    "database_backup_lsn, copy_only, recovery_path, forked_from_path, fork_lsn FROM backups ";

// Every read of the backups goes through here: the jobs' backup sets whose
// data the media has committed since the last question join them first.
// `where` follows kBackupColumns.
std::shared_ptr<FX::CSQLite3Query> BackupRows(FX::CSQLite3DB& db, const std::string& where,
                                              std::vector<CSQLite3Value> values) {
    JxServePublishCommittedSets();
    return db.ExecQuerySetup(CSQLite3Sql(std::string(kBackupColumns) + where, std::move(values)));
}

// The backups of a database in the order added; with a point in time (not
// 0) only those that ended by it.
std::shared_ptr<FX::CSQLite3Query> BackupRowsOf(FX::CSQLite3DB& db, uint64_t instanceId, const std::string& database,
                                                uint64_t pointInTime) {
    return BackupRows(db, "WHERE instance_id = ? AND database = ? AND (? = 0 OR end_time <= ?) ORDER BY restore_id",
                      {Int(instanceId), database, Int(pointInTime), Int(pointInTime)});
}

}  // namespace

std::unique_ptr<FX::CSQLite3DB> JxServeOpenRestoreStore() {
    auto db = JxServeOpenStore({});
    for (const char* statement : kSchema) db->ExecDML(statement);
    for (const auto& [column, declaration] : kAddedBackupColumns) JxServeAddColumn(*db, "backups", column, declaration);
    return db;
}

std::vector<JxServeDiscoveredDatabase> JxServeDiscoveredDatabases(uint64_t appId) {
    auto db = JxServeOpenRestoreStore();
    auto rows = db->ExecQuerySetup(CSQLite3Sql(
        "SELECT name, creation_time, database_id FROM discovered_databases WHERE app_id = ? ORDER BY rowid",
        {Int(appId)}));
    std::vector<JxServeDiscoveredDatabase> out;
    while (rows->NextRow()) {
        out.push_back({appId, rows->GetStringField(0), static_cast<uint64_t>(rows->GetInt64Field(1)),
                       static_cast<uint64_t>(rows->GetInt64Field(2))});
    }
    return out;
}

void JxServeRefuseAutoDiscovery(uint64_t appId) {
    JxServeOpenRestoreStore()->ExecDML(
        CSQLite3Sql("INSERT OR IGNORE INTO discovery_refusals VALUES(?)", {Int(appId)}));
}

void JxServePutRestoreTask(uint64_t taskId, const JxServeRestoreTask& t) {
    auto db = JxServeOpenRestoreStore();
    db->ExecDML(CSQLite3Sql(
        "INSERT OR REPLACE INTO restore_tasks VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Int(taskId), Int(t.archiveSelector), Int(t.sourceClientId), Int(t.destinationClientId),
         Int(t.sourceInstanceId), Int(t.destinationInstanceId), Int(t.copyPrecedence), Int(t.pointInTime),
         Int(t.optionFlags), Int(t.standbyUndoFile.has_value() ? 1 : 0), t.standbyUndoFile.value_or(""),
         Int(t.dateFormatKind)}));
    PutEntries(*db, taskId, "d", t.databases);
    PutEntries(*db, taskId, "r", t.relocations);
}

uint64_t JxServePutBackup(const JxServeBackup& b) {
    auto db = JxServeOpenRestoreStore();
    db->ExecDML(CSQLite3Sql(
        "INSERT INTO backups(instance_id, database, job_id, application_id, backup_type, vss_flag, word6, "
        "reference_time, start_time, end_time, word10, word11, first_lsn, last_lsn, backup_size, checkpoint_lsn, "
        "database_backup_lsn, copy_only, recovery_path, forked_from_path, fork_lsn) "
        "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
        {Int(b.instanceId), b.database, Int(b.jobId), Int(b.applicationId),
         Int(static_cast<unsigned char>(b.backupType)), int64_t{b.vssFlag}, Int(b.word6), Int(b.referenceTime),
         Int(b.startTime), Int(b.endTime), Int(b.word10), Int(b.word11), b.firstLsn, b.lastLsn, Int(b.backupSize),
         b.checkpointLsn, b.databaseBackupLsn, Int(b.copyOnly ? 1 : 0), b.recoveryPath, b.forkedFromPath,
         b.forkLsn}));
    int64_t id = db->ExecScalarInt64("SELECT MAX(restore_id) FROM backups", 0);
    for (size_t i = 0; i < b.archiveFiles.size(); ++i) {
        const JxServeArchiveFile& f = b.archiveFiles[i];
        db->ExecDML(CSQLite3Sql("INSERT INTO archive_files VALUES(?, ?, ?, ?, ?, ?)",
                                {id, Int(i), Int(f.jxCellId), Int(f.archiveFileId), Int(f.offset), f.path}));
    }
    PutNames(*db, "backup_file_groups", id, b.fileGroups);
    PutNames(*db, "backup_data_files", id, b.dataFiles);
    return static_cast<uint64_t>(id);
}

void JxServeSetLiveSyncStatus(uint64_t instanceId, const std::string& database, uint64_t status) {
    JxServeOpenRestoreStore()->ExecDML(CSQLite3Sql("INSERT OR REPLACE INTO live_sync_status VALUES(?, ?, ?)",
                                                   {Int(instanceId), database, Int(status)}));
}

void JxServeSetBackupFileGroups(uint64_t restoreId, const std::vector<std::string>& names) {
    PutNames(*JxServeOpenRestoreStore(), "backup_file_groups", static_cast<int64_t>(restoreId), names);
}

void JxServeSetLogTailNotBackedUp(uint64_t instanceId, const std::string& database, bool notBackedUp) {
    auto db = JxServeOpenRestoreStore();
    if (notBackedUp) {
        db->ExecDML(CSQLite3Sql("INSERT OR REPLACE INTO log_tail_not_backed_up VALUES(?, ?)",
                                {Int(instanceId), database}));
    } else {
        db->ExecDML(CSQLite3Sql("DELETE FROM log_tail_not_backed_up WHERE instance_id = ? AND database = ?",
                                {Int(instanceId), database}));
    }
}

void JxServePutAnalysisTask(uint64_t taskId, const JxServeAnalysisTask& t) {
    auto db = JxServeOpenRestoreStore();
    std::vector<CSQLite3Value> values{Int(taskId)};
    for (uint64_t w : t.words) values.push_back(Int(w));
    values.push_back(Int(t.standbyUndoFile.has_value() ? 1 : 0));
    values.push_back(t.standbyUndoFile.value_or(""));
    values.push_back(Int(t.status));
    db->ExecDML(CSQLite3Sql("INSERT OR REPLACE INTO analysis_tasks VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                            std::move(values)));
    std::vector<std::string> entries;
    db->ExecDML(CSQLite3Sql("DELETE FROM analysis_details WHERE task_id = ?", {Int(taskId)}));
    for (size_t d = 0; d < t.databases.size(); ++d) {
        entries.push_back(t.databases[d].entry);
        for (size_t i = 0; i < t.databases[d].details.size(); ++i) {
            const JxServeAnalysisDetail& x = t.databases[d].details[i];
            db->ExecDML(CSQLite3Sql(
                "INSERT INTO analysis_details VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                {Int(taskId), Int(d), Int(i), x.texts[0], x.texts[1], x.texts[2], x.texts[3], x.texts[4], x.texts[5],
                 x.texts[6], Int(x.numbers[0]), Int(x.numbers[1])}));
        }
    }
    PutEntries(*db, taskId, "ad", entries);
    PutEntries(*db, taskId, "ar", t.relocations);
}

std::vector<JxServeBackup> JxServeBackupsOf(FX::CSQLite3DB& db, uint64_t instanceId, const std::string& database,
                                            uint64_t pointInTime) {
    auto rows = BackupRowsOf(db, instanceId, database, pointInTime);
    std::vector<JxServeBackup> out;
    while (rows->NextRow()) out.push_back(BackupOfRow(db, *rows));
    return out;
}

bool JxServeBackupById(FX::CSQLite3DB& db, uint64_t restoreId, JxServeBackup& backup) {
    auto rows = BackupRows(db, "WHERE restore_id = ?", {Int(restoreId)});
    if (!rows->NextRow()) return false;
    backup = BackupOfRow(db, *rows);
    return true;
}

bool JxServeGetRestoreTask(FX::CSQLite3DB& db, uint64_t taskId, JxServeRestoreTask& t) {
    auto row = db.ExecQuerySetup(CSQLite3Sql(
        "SELECT archive_selector, source_client, destination_client, source_instance, destination_instance, "
        "copy_precedence, point_in_time, option_flags, has_standby, standby, date_format_kind FROM restore_tasks "
        "WHERE task_id = ?",
        {Int(taskId)}));
    if (!row->NextRow()) return false;
    uint64_t* words[] = {&t.archiveSelector, &t.sourceClientId, &t.destinationClientId, &t.sourceInstanceId,
                         &t.destinationInstanceId, &t.copyPrecedence, &t.pointInTime, &t.optionFlags};
    for (int i = 0; i < 8; ++i) *words[i] = static_cast<uint64_t>(row->GetInt64Field(i));
    if (row->GetInt64Field(8) != 0) t.standbyUndoFile = row->GetStringField(9);
    t.dateFormatKind = static_cast<uint64_t>(row->GetInt64Field(10));
    t.databases = Entries(db, taskId, "d");
    t.relocations = Entries(db, taskId, "r");
    return true;
}

bool JxServeGetAnalysisTask(FX::CSQLite3DB& db, uint64_t taskId, JxServeAnalysisTask& t) {
    auto row = db.ExecQuerySetup(CSQLite3Sql(
        "SELECT w1, w2, w3, w4, w5, w6, w7, w8, has_standby, standby, status FROM analysis_tasks WHERE task_id = ?",
        {Int(taskId)}));
    if (!row->NextRow()) return false;
    for (int i = 0; i < 8; ++i) t.words[i] = static_cast<uint64_t>(row->GetInt64Field(i));
    if (row->GetInt64Field(8) != 0) t.standbyUndoFile = row->GetStringField(9);
    t.status = static_cast<uint64_t>(row->GetInt64Field(10));
    std::vector<std::string> entries = Entries(db, taskId, "ad");
    for (size_t d = 0; d < entries.size(); ++d) {
        JxServeAnalysisDatabase database;
        database.entry = entries[d];
        auto details = db.ExecQuerySetup(CSQLite3Sql(
            "SELECT t1, t2, t3, t4, t5, t6, t7, n1, n2 FROM analysis_details WHERE task_id = ? AND "
            "database_position = ? ORDER BY position",
            {Int(taskId), Int(d)}));
        while (details->NextRow()) {
            JxServeAnalysisDetail x;
            for (int i = 0; i < 7; ++i) x.texts[i] = details->GetStringField(i);
            x.numbers[0] = static_cast<uint32_t>(details->GetInt64Field(7));
            x.numbers[1] = static_cast<uint32_t>(details->GetInt64Field(8));
            database.details.push_back(x);
        }
        t.databases.push_back(std::move(database));
    }
    t.relocations = Entries(db, taskId, "ar");
    return true;
}
