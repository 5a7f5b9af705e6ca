// Backup-set and log-mark requests of the central-server stand-in.
#include "tools/jxserve/JxServeBackupSets.h"

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlCentralServerRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeLsn.h"
#include "tools/jxserve/JxServeRecoveryPaths.h"
#include "tools/jxserve/JxServeRestoreRecords.h"
#include "tools/jxserve/JxServeStore.h"

namespace {

constexpr uint64_t kBrokenChainError = 6;
constexpr int64_t kSnapshotMethod = 2;

// A store written before the backup method was kept gets its column. Its
// snapshot sets are those whose archive entries name the snapped volume
// (a streamed set's entries carry no source path); the rest were streamed.
void AddMethodColumn(FX::CSQLite3DB& db) {
    JxServeAddColumn(db, "backup_sets", "backup_method", "INTEGER NOT NULL DEFAULT 0",
                     {"UPDATE backup_sets SET backup_method = ? WHERE id IN (SELECT set_id FROM backup_set_archives "
                      "WHERE source_path IS NOT NULL AND source_path <> '')",
                      {kSnapshotMethod}});
}

// A store written before the recovery paths were kept gets their columns,
// empty: its sets fit every path, as before.
void AddRecoveryPathColumns(FX::CSQLite3DB& db) {
    for (const char* column : {"recovery_path", "forked_from_path", "fork_lsn"}) {
        JxServeAddColumn(db, "backup_sets", column, "TEXT NOT NULL DEFAULT ''");
    }
}

std::unique_ptr<FX::CSQLite3DB> Store() {
    auto db = JxServeOpenStore({
        "CREATE TABLE IF NOT EXISTS backup_sets (id INTEGER PRIMARY KEY, code INTEGER, instance_id INTEGER, "
        "database_name TEXT COLLATE NOCASE, backup_type TEXT, job_id INTEGER, backup_phase INTEGER, first_lsn TEXT, "
        "last_lsn TEXT, file_count INTEGER, archive_count INTEGER, application_number INTEGER, database_id INTEGER, "
        "start_date INTEGER, finish_date INTEGER, checkpoint_lsn TEXT, database_backup_lsn TEXT, "
        "archive_group_id INTEGER, copy_only INTEGER, published INTEGER DEFAULT 0, "
        "backup_method INTEGER NOT NULL DEFAULT 0, recovery_path TEXT NOT NULL DEFAULT '', "
        "forked_from_path TEXT NOT NULL DEFAULT '', fork_lsn TEXT NOT NULL DEFAULT '')",
        "CREATE TABLE IF NOT EXISTS backup_set_files (set_id INTEGER, position INTEGER, physical_name TEXT, "
        "logical_name TEXT, filegroup_name TEXT, file_number INTEGER, file_type INTEGER, file_size INTEGER)",
        "CREATE TABLE IF NOT EXISTS backup_set_archives (set_id INTEGER, position INTEGER, jxcell_id INTEGER, "
        "archive_file_id INTEGER, offset INTEGER, source_path TEXT)",
        "CREATE TABLE IF NOT EXISTS backup_set_refusals (database_name TEXT PRIMARY KEY, error INTEGER)",
        "CREATE TABLE IF NOT EXISTS backup_set_lost_replies (database_name TEXT PRIMARY KEY COLLATE NOCASE, "
        "countdown INTEGER)",
        "CREATE TABLE IF NOT EXISTS databases (instance_id INTEGER, database_id INTEGER, database_name TEXT, "
        "PRIMARY KEY (instance_id, database_id))",
        "CREATE TABLE IF NOT EXISTS log_marks (instance_id INTEGER, database_name TEXT, mark_name TEXT, "
        "description TEXT, lsn TEXT, mark_time TEXT, value INTEGER)",
    });
    AddMethodColumn(*db);
    AddRecoveryPathColumns(*db);
    return db;
}

std::string Text(const char* text) { return text != nullptr ? text : ""; }
int64_t Num(uint64_t value) { return static_cast<int64_t>(value); }

std::string PathText(const SQLBackupSetInfoReq_VER5_t& set, size_t index) { return Text(set.extraTexts[index]); }

// The recovery path of `set` (JxServeRecoveryPaths.h), as its own texts and
// the stored sets of its database describe it.
JxServeRecoveryPathScope PathScopeOf(FX::CSQLite3DB& db, const SQLBackupSetInfoReq_VER5_t& set) {
    std::vector<JxServeBackup> known(1);
    known[0].recoveryPath = PathText(set, SQLBackupSetInfoReq_VER5_t::kRecoveryPathText);
    known[0].forkedFromPath = PathText(set, SQLBackupSetInfoReq_VER5_t::kForkedFromPathText);
    known[0].forkLsn = PathText(set, SQLBackupSetInfoReq_VER5_t::kForkLsnText);
    auto q = db.ExecQuerySetup({"SELECT recovery_path, forked_from_path, fork_lsn FROM backup_sets WHERE code = ? AND "
                                "instance_id = ? AND database_name = ? AND forked_from_path <> ''",
                                {Num(kSqlBackupSetReq), Num(set.instanceId), Text(set.databaseName)}});
    while (q->NextRow()) {
        JxServeBackup& b = known.emplace_back();
        b.recoveryPath = q->GetStringField(0);
        b.forkedFromPath = q->GetStringField(1);
        b.forkLsn = q->GetStringField(2);
    }
    return JxServeRecoveryPathScope(known, known[0].recoveryPath);
}

// Whether a stored backup set can be built on: its data are committed, or
// are in its snapshot, or it belongs to `jobId`, the job of the set that
// builds on it, whose commit may still come. A streamed set of an earlier
// job whose data were never committed can never be restored, nor can
// anything that needs it.
bool UsableBase(FX::CSQLite3DB& db, int64_t setId, bool published, int64_t method, uint64_t setJobId,
                uint64_t jobId) {
    return published || JxServeIsSnapshotMethod(method) || setJobId == jobId || JxServeSetDataCommitted(db, setId);
}

// Whether a usable stored backup set (see UsableBase) of `set`'s database
// on `set`'s recovery path whose type `kinds` admits has `lsn` in its LSN
// column `column`. A set of a path the database left is no predecessor.
bool HoldsSetAt(FX::CSQLite3DB& db, const SQLBackupSetInfoReq_VER5_t& set, const std::string& column,
                const std::string& kinds, const std::string& lsn) {
    const JxServeRecoveryPathScope path = PathScopeOf(db, set);
    const std::string sql = "SELECT id, published, backup_method, job_id, " + column +
                            ", recovery_path, last_lsn FROM backup_sets WHERE code = ? AND instance_id = ? AND "
                            "database_name = ? AND " + kinds;
    auto q = db.ExecQuerySetup({sql, {Num(kSqlBackupSetReq), Num(set.instanceId), Text(set.databaseName)}});
    while (q->NextRow()) {
        if (!JxServeSameLsn(q->GetStringField(4), lsn)) continue;
        if (!path.Holds(q->GetStringField(5), q->GetStringField(6))) continue;
        if (UsableBase(db, q->GetInt64Field(0), q->GetInt64Field(1) != 0, q->GetInt64Field(2),
                       static_cast<uint64_t>(q->GetInt64Field(3)), set.jobId)) {
            return true;
        }
    }
    return false;
}

// Whether `set` is a log backup the store holds already with its data
// committed: same database, first and last LSN, start and finish dates and
// recovery path. A job sends it again when the reply to its first request
// was lost, and cannot know whether it was stored; stored twice, the log
// would be in the restore chain twice. A database dropped and created again
// starts its LSNs low again, so its first logs may match a dropped one's in
// all but the recovery path, which is new; a set stored before paths were
// kept (no path on one side) is compared without it. A held copy whose data
// were never committed is no backup and does not count.
bool RepeatsCommittedLog(FX::CSQLite3DB& db, const SQLBackupSetInfoReq_VER5_t& set) {
    if (Text(set.backupType) != "L") return false;
    const std::string path = PathText(set, SQLBackupSetInfoReq_VER5_t::kRecoveryPathText);
    auto q = db.ExecQuerySetup(
        {"SELECT id, published, first_lsn, last_lsn, recovery_path FROM backup_sets WHERE code = ? AND "
         "instance_id = ? AND database_name = ? AND backup_type = 'L' AND start_date = ? AND finish_date = ?",
         {Num(kSqlBackupSetReq), Num(set.instanceId), Text(set.databaseName), Num(set.startDate),
          Num(set.finishDate)}});
    while (q->NextRow()) {
        if (!JxServeSameLsn(q->GetStringField(2), Text(set.firstLsn)) ||
            !JxServeSameLsn(q->GetStringField(3), Text(set.lastLsn))) {
            continue;
        }
        const std::string storedPath = q->GetStringField(4);
        if (!path.empty() && !storedPath.empty() && storedPath != path) continue;
        if (q->GetInt64Field(1) != 0 || JxServeSetDataCommitted(db, q->GetInt64Field(0))) return true;
    }
    return false;
}

// Whether the test switch (JxServeLoseBackupSetReply) withholds the reply to
// this update of `databaseName`; counts the update.
bool LoseReply(FX::CSQLite3DB& db, const std::string& databaseName) {
    const int64_t left = db.ExecScalarInt64(
        {"SELECT countdown FROM backup_set_lost_replies WHERE database_name = ?", {databaseName}}, 0);
    if (left <= 0) return false;
    if (left == 1) {
        db.ExecDML({"DELETE FROM backup_set_lost_replies WHERE database_name = ?", {databaseName}});
        return true;
    }
    db.ExecDML({"UPDATE backup_set_lost_replies SET countdown = ? WHERE database_name = ?", {left - 1, databaseName}});
    return false;
}

// A log backup continues its database's chain when it starts where a stored
// log backup, or the full backup that began the chain, ended; or where a
// differential ended, when a restore that ended at that differential
// carried the log chain on from there.
bool ContinuesLogChain(FX::CSQLite3DB& db, const SQLBackupSetInfoReq_VER5_t& set) {
    return HoldsSetAt(db, set, "last_lsn", "backup_type IN ('L', 'D', 'I')", Text(set.firstLsn));
}

// A differential holds the changes since its base, the full (or file) backup
// whose checkpoint LSN is the differential's database backup LSN; without
// that base stored it could never be restored.
bool HoldsDifferentialBase(FX::CSQLite3DB& db, const SQLBackupSetInfoReq_VER5_t& set) {
    return HoldsSetAt(db, set, "checkpoint_lsn", "backup_type IN ('D', 'F') AND copy_only = 0",
                      Text(set.databaseBackupLsn));
}

// kBrokenChainError when `set` builds on a backup the store does not hold.
uint64_t ChainError(FX::CSQLite3DB& db, const SQLBackupSetInfoReq_VER5_t& set, EvDebug& log) {
    const std::string type = Text(set.backupType);
    if (type == "L" && !ContinuesLogChain(db, set)) {
        EV_ERROR(log, "Log backup of [%s] starting at LSN [%s] does not continue its chain.",
                 Text(set.databaseName).c_str(), Text(set.firstLsn).c_str());
        return kBrokenChainError;
    }
    if ((type == "I" || type == "G") && !HoldsDifferentialBase(db, set)) {
        EV_ERROR(log, "Differential backup of [%s] is based on the backup at LSN [%s], which is not stored.",
                 Text(set.databaseName).c_str(), Text(set.databaseBackupLsn).c_str());
        return kBrokenChainError;
    }
    return 0;
}

void StoreSet(FX::CSQLite3DB& db, unsigned long code, const SQLBackupSetInfoReq_VER5_t& set) {
    db.ExecDML({"INSERT OR REPLACE INTO databases (instance_id, database_id, database_name) VALUES (?, ?, ?)",
                {Num(set.instanceId), Num(set.databaseId), Text(set.databaseName)}});
    JxServeClearRestoreRecords(db, set.instanceId, Text(set.databaseName));
    db.ExecDML({"INSERT INTO backup_sets (code, instance_id, database_name, backup_type, job_id, backup_phase, "
                "first_lsn, last_lsn, file_count, archive_count, application_number, database_id, start_date, "
                "finish_date, checkpoint_lsn, database_backup_lsn, archive_group_id, copy_only, backup_method, "
                "recovery_path, forked_from_path, fork_lsn) "
                "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                {Num(code), Num(set.instanceId), Text(set.databaseName), Text(set.backupType), Num(set.jobId),
                 Num(set.backupPhase), Text(set.firstLsn), Text(set.lastLsn), Num(set.fileCount),
                 Num(set.archiveCount), Num(set.applicationNumber), Num(set.databaseId), Num(set.startDate),
                 Num(set.finishDate), Text(set.checkpointLsn), Text(set.databaseBackupLsn), Num(set.archiveGroupId),
                 Num(set.copyOnly), Num(set.backupMethod), PathText(set, SQLBackupSetInfoReq_VER5_t::kRecoveryPathText),
                 PathText(set, SQLBackupSetInfoReq_VER5_t::kForkedFromPathText),
                 PathText(set, SQLBackupSetInfoReq_VER5_t::kForkLsnText)}});
    const int64_t id = db.ExecScalarInt64("SELECT MAX(id) FROM backup_sets", 0);
    for (uint32_t i = 0; set.files != nullptr && i < set.fileCount; ++i) {
        const JXSQLBackupFileInfo_V1_t& f = set.files[i];
        db.ExecDML({"INSERT INTO backup_set_files VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                    {id, Num(i), Text(f.physicalName), Text(f.logicalName), Text(f.filegroupName), Num(f.fileNumber),
                     Num(f.fileType), Num(f.fileSize)}});
    }
    for (uint32_t i = 0; set.archives != nullptr && i < set.archiveCount; ++i) {
        const JXSQLBackupArchiveInfo_VER1_t& a = set.archives[i];
        db.ExecDML({"INSERT INTO backup_set_archives VALUES (?, ?, ?, ?, ?, ?)",
                    {id, Num(i), Num(a.jxCellId), Num(a.archiveFileId), Num(a.offset), Text(a.sourcePath)}});
    }
}

bool ServeBackupSet(JxServeRequest& request) {
    const auto& set = request.As<SQLBackupSetInfoReq_VER5_t>();
    auto db = Store();
    uint64_t error = static_cast<uint64_t>(db->ExecScalarInt64(
        {"SELECT error FROM backup_set_refusals WHERE database_name = ?", {Text(set.databaseName)}}, 0));
    bool repeated = false;
    if (error == 0 && request.code == kSqlBackupSetReq) {
        repeated = RepeatsCommittedLog(*db, set);
        if (repeated) {
            EV_INFO(request.log, "Log backup of [%s] from LSN [%s] to [%s] is stored already; it is not stored again.",
                    Text(set.databaseName).c_str(), Text(set.firstLsn).c_str(), Text(set.lastLsn).c_str());
        } else {
            error = ChainError(*db, set, request.log);
        }
    }
    if (error == 0 && !repeated) StoreSet(*db, request.code, set);
    if (LoseReply(*db, Text(set.databaseName))) {
        // As a reply lost on the way: the session ends without an answer.
        EV_INFO(request.log, "The reply to the backup set of [%s] is withheld.", Text(set.databaseName).c_str());
        return false;
    }
    if (request.code == kSqlAnalysisBackupSetReq) {
        SQLAnalysisBackupSetInfoRsp_t reply;
        reply.ulError = error;
        return JxServeReply(request, kSqlAnalysisBackupSetRsp, reply);
    }
    SQLBackupSetInfoRsp_t reply;
    reply.ulError = error;
    return JxServeReply(request, kSqlBackupSetRsp, reply);
}

bool ServeLastLogMark(JxServeRequest& request) {
    const auto& ask = request.As<SQLLastLogMarkInCSReq_t>();
    auto db = Store();
    auto q = db->ExecQuerySetup({"SELECT mark_name, value FROM log_marks WHERE instance_id = ? AND "
                                 "database_name = ? ORDER BY value DESC LIMIT 1",
                                 {Num(ask.instanceId), Text(ask.databaseName)}});
    SQLLastLogMarkInCSRsp_t reply;
    std::string name;
    if (q->NextRow()) {
        name = q->GetStringField(0);
        reply.markText = name.data();
        reply.markValue = q->GetInt64Field(1);
    }
    return JxServeReply(request, kSqlLastLogMarkRsp, reply);
}

bool ServeLogMarkUpdate(JxServeRequest& request) {
    const auto& update = request.As<SQLLogMarkUpdateReq_t>();
    auto db = Store();
    // The marks name their database by SQL Server's id, which the central
    // server knows from the database's backup sets.
    auto name = db->ExecQuerySetup({"SELECT database_name FROM databases WHERE instance_id = ? AND database_id = ?",
                                    {Num(update.instanceId), Num(update.databaseId)}});
    if (!name->NextRow()) {
        EV_ERROR(request.log, "Log marks of unknown database %llu of instance %llu.",
                 static_cast<unsigned long long>(update.databaseId), static_cast<unsigned long long>(update.instanceId));
        SQLLogMarkUpdateRsp_t refused;
        refused.reserved1 = 1;
        return JxServeReply(request, kSqlLogMarkUpdateRsp, refused);
    }
    std::string database = name->GetStringField(0);
    for (uint32_t i = 0; i < update.count; ++i) {
        const SQLLogMarkInfo_t& mark = update.marks[i];
        db->ExecDML({"INSERT INTO log_marks (instance_id, database_name, mark_name, description, lsn, mark_time, "
                     "value) VALUES (?, ?, ?, ?, ?, ?, ?)",
                     {Num(update.instanceId), database, Text(mark.markName), Text(mark.description), Text(mark.lsn),
                      Text(mark.markTime), mark.value}});
    }
    SQLLogMarkUpdateRsp_t reply;
    return JxServeReply(request, kSqlLogMarkUpdateRsp, reply);
}

}  // namespace

std::unique_ptr<FX::CSQLite3DB> JxServeOpenBackupSetStore() { return Store(); }

namespace {

const JxServeRegistration kBackupSetHandlers{
    {kSqlBackupSetReq, &ServeBackupSet},         {kSqlAzureBackupSetReq, &ServeBackupSet},
    {kSqlAnalysisBackupSetReq, &ServeBackupSet}, {kSqlLastLogMarkReq, &ServeLastLogMark},
    {kSqlLogMarkUpdateReq, &ServeLogMarkUpdate},
};

}  // namespace

void JxServeRefuseBackupSets(const std::string& databaseName, uint64_t error) {
    Store()->ExecDML({"INSERT OR REPLACE INTO backup_set_refusals (database_name, error) VALUES (?, ?)",
                      {databaseName, Num(error)}});
}

void JxServeLoseBackupSetReply(const std::string& databaseName, int nth) {
    Store()->ExecDML({"INSERT OR REPLACE INTO backup_set_lost_replies (database_name, countdown) VALUES (?, ?)",
                      {databaseName, static_cast<int64_t>(nth)}});
}

std::vector<JxServeBackupSet> JxServeStoredBackupSets() {
    auto db = Store();
    auto q = db->ExecQuerySetup("SELECT code, instance_id, database_name, backup_type, job_id, backup_phase, "
                                "first_lsn, last_lsn, file_count, archive_count FROM backup_sets ORDER BY id");
    std::vector<JxServeBackupSet> sets;
    while (q->NextRow()) {
        JxServeBackupSet s;
        s.code = static_cast<unsigned long>(q->GetInt64Field(0));
        s.instanceId = static_cast<uint64_t>(q->GetInt64Field(1));
        s.databaseName = q->GetStringField(2);
        s.backupType = q->GetStringField(3);
        s.jobId = static_cast<uint64_t>(q->GetInt64Field(4));
        s.backupPhase = static_cast<uint64_t>(q->GetInt64Field(5));
        s.firstLsn = q->GetStringField(6);
        s.lastLsn = q->GetStringField(7);
        s.fileCount = static_cast<uint64_t>(q->GetInt64Field(8));
        s.archiveCount = static_cast<uint64_t>(q->GetInt64Field(9));
        sets.push_back(s);
    }
    return sets;
}

void JxServeAddDatabase(uint64_t instanceId, uint64_t databaseId, const std::string& databaseName) {
    Store()->ExecDML({"INSERT OR REPLACE INTO databases (instance_id, database_id, database_name) VALUES (?, ?, ?)",
                      {Num(instanceId), Num(databaseId), databaseName}});
}

void JxServeAddLogMark(const JxServeLogMark& mark) {
    Store()->ExecDML({"INSERT INTO log_marks (instance_id, database_name, mark_name, description, lsn, mark_time, "
                      "value) VALUES (?, ?, ?, ?, ?, ?, ?)",
                      {Num(mark.instanceId), mark.databaseName, mark.markName, mark.description, mark.lsn,
                       mark.markTime, mark.value}});
}

std::vector<JxServeLogMark> JxServeLogMarks(uint64_t instanceId, const std::string& databaseName) {
    auto db = Store();
    auto q = db->ExecQuerySetup({"SELECT mark_name, description, lsn, mark_time, value FROM log_marks WHERE "
                                 "instance_id = ? AND database_name = ? ORDER BY value",
                                 {Num(instanceId), databaseName}});
    std::vector<JxServeLogMark> marks;
    while (q->NextRow()) {
        JxServeLogMark m;
        m.instanceId = instanceId;
        m.databaseName = databaseName;
        m.markName = q->GetStringField(0);
        m.description = q->GetStringField(1);
        m.lsn = q->GetStringField(2);
        m.markTime = q->GetStringField(3);
        m.value = q->GetInt64Field(4);
        marks.push_back(m);
    }
    return marks;
}
