// The catalogue side of restores into a simulated instance.
#include "JxsqlDMO/SqlSimRestoreCatalog.h"

#include <ctime>

#include "JxsqlDMO/SimSqlDb.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimDatabaseIds.h"
#include "JxsqlDMO/SqlSimPendingFiles.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

// Adds a file row to database `id` with the next file id, and the file's
// group with the next group id when the database has none of that name (the
// first group a database gets is its default).
CWzError AddFileRow(SimSqlDb& db, int64_t id, const SqlSimRestoredFile& f) {
    int64_t groupId = 0;
    if (f.type == 0) {
        const std::string group = f.fileGroup.empty() ? "PRIMARY" : f.fileGroup;
        SimSqlStatement find = db.Prepare("SELECT id FROM filegroups WHERE database_id = ? AND name = ?");
        find.Bind(1, id).Bind(2, group);
        if (find.Step()) {
            groupId = find.Int(0);
        } else {
            if (find.Error().IsError()) return find.Error();
            SimSqlStatement next = db.Prepare("SELECT COALESCE(MAX(id), 0) + 1 FROM filegroups WHERE database_id = ?");
            next.Bind(1, id);
            if (!next.Step()) return next.Error();
            groupId = next.Int(0);
            CWzError e = db.Prepare("INSERT INTO filegroups VALUES(?, ?, ?, ?)")
                             .Bind(1, id)
                             .Bind(2, groupId)
                             .Bind(3, group)
                             .Bind(4, int64_t{groupId == 1})
                             .Run();
            if (e.IsError()) return e;
        }
    }
    SimSqlStatement next = db.Prepare("SELECT COALESCE(MAX(id), 0) + 1 FROM files WHERE database_id = ?");
    next.Bind(1, id);
    if (!next.Step()) return next.Error();
    SimSqlStatement insert = db.Prepare("INSERT INTO files VALUES(?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, id).Bind(2, next.Int(0));
    if (groupId > 0) {
        insert.Bind(3, groupId);
    } else {
        insert.BindNull(3);
    }
    insert.Bind(4, f.logicalName).Bind(5, f.path).Bind(6, int64_t{f.type}).Bind(7, static_cast<int64_t>(f.size));
    if (CWzError e = insert.Run(); e.IsError()) return e.Push(FXCODELOC, "cannot add file [%s]", f.path.c_str());
    return CWzError::Success();
}

CWzError Replace(SimSqlDb& db, SqlSimInstance& instance, const std::string& name, const std::string& model,
                 const std::vector<SqlSimRestoredFile>& files, int64_t& id) {
    bool exists = false;
    int state = 0;
    if (CWzError e = SqlSimDatabaseState(instance, name, exists, id, state); e.IsError()) return e;
    if (exists) {
        for (const char* sql : {"DELETE FROM files WHERE database_id = ?", "DELETE FROM filegroups WHERE database_id = ?"}) {
            if (CWzError e = db.Prepare(sql).Bind(1, id).Run(); e.IsError()) return e;
        }
        if (CWzError e = SqlSimChanges(instance).Forget(id); e.IsError()) return e;
        CWzError e = db.Prepare("UPDATE databases SET recovery_model = ? WHERE id = ?").Bind(1, model).Bind(2, id).Run();
        if (e.IsError()) return e;
    } else {
        if (CWzError e = SqlSimNewDatabaseId(instance, name, kSqlSimFirstUserDatabaseId, id); e.IsError()) return e;
        CWzError e = db.Prepare("INSERT INTO databases VALUES(?, ?, ?, ?, 0, 'MULTI_USER', ?, NULL, NULL)")
                         .Bind(1, id)
                         .Bind(2, name)
                         .Bind(3, int64_t{0x2})
                         .Bind(4, model)
                         .Bind(5, static_cast<int64_t>(std::time(nullptr)))
                         .Run();
        if (e.IsError()) return e;
    }
    for (const SqlSimRestoredFile& f : files) {
        if (CWzError e = AddFileRow(db, id, f); e.IsError()) return e;
    }
    // Replacing the database ends any file restore begun on it: files it left
    // pending are gone with the rest, and the next log applies to every file.
    return SqlSimSetPendingFiles(instance, name, SqlSimPendingFiles{});
}

}  // namespace

CWzError SqlSimReplaceDatabase(SqlSimInstance& instance, const std::string& name, const std::string& recoveryModel,
                               const std::vector<SqlSimRestoredFile>& files, int64_t& id) {
    SimSqlDb& db = instance.Db();
    return db.RunInTransaction([&] { return Replace(db, instance, name, recoveryModel, files, id); });
}

CWzError SqlSimAddRestoredFiles(SqlSimInstance& instance, int64_t id, const std::vector<SqlSimRestoredFile>& files) {
    if (files.empty()) return CWzError::Success();
    SimSqlDb& db = instance.Db();
    // Joins a transaction the caller may have open, or makes one of its own.
    return db.RunInTransaction([&] {
        for (const SqlSimRestoredFile& f : files) {
            if (CWzError e = AddFileRow(db, id, f); e.IsError()) return e;
        }
        return CWzError::Success();
    });
}

CWzError SqlSimSetRestoredState(SqlSimInstance& instance, int64_t id, int state, bool readOnly) {
    return instance.Db()
        .Prepare("UPDATE databases SET state = ?, read_only = ? WHERE id = ?")
        .Bind(1, int64_t{state})
        .Bind(2, int64_t{readOnly})
        .Bind(3, id)
        .Run();
}

CWzError SqlSimFileOwner(SqlSimInstance& instance, const std::string& path, std::string& database) {
    database.clear();
    SimSqlStatement q = instance.Db().Prepare(
        "SELECT d.name FROM files f JOIN databases d ON d.id = f.database_id WHERE f.physical_path = ?");
    q.Bind(1, path);
    if (q.Step()) database = q.Text(0);
    return q.Error();
}

CWzError SqlSimDatabaseState(SqlSimInstance& instance, const std::string& name, bool& exists, int64_t& id,
                             int& state) {
    SimSqlStatement q = instance.Db().Prepare("SELECT id, state FROM databases WHERE name = ?");
    q.Bind(1, name);
    exists = q.Step();
    if (exists) {
        id = q.Int(0);
        state = static_cast<int>(q.Int(1));
    }
    return q.Error();
}

CWzError SqlSimAddRestoreHistory(SqlSimInstance& instance, const SqlSimRestoreHistoryRow& row) {
    SimSqlDb& db = instance.Db();
    CWzError e = db.Exec(
        "CREATE TABLE IF NOT EXISTS restore_history(id INTEGER PRIMARY KEY, destination_database TEXT NOT NULL, "
        "type TEXT NOT NULL, restore_date INTEGER NOT NULL, backup_set_id TEXT NOT NULL, first_lsn INTEGER NOT NULL, "
        "last_lsn INTEGER NOT NULL, stop_at TEXT NOT NULL, replace INTEGER NOT NULL, state INTEGER NOT NULL, "
        "restored_to INTEGER)");
    if (e.IsError()) return e;
    bool hasPoint = false;
    if (e = SqlSimRestoreHistoryHasPoint(instance, hasPoint); e.IsError()) return e;
    if (!hasPoint) {
        // Another restore may add the column at the same moment: only a
        // column still missing afterwards is a failure.
        if (e = db.Exec("ALTER TABLE restore_history ADD COLUMN restored_to INTEGER"); e.IsError()) {
            if (SqlSimRestoreHistoryHasPoint(instance, hasPoint).IsError() || !hasPoint) return e;
        }
    }
    SimSqlStatement insert = db.Prepare(
        "INSERT INTO restore_history(destination_database, type, restore_date, backup_set_id, first_lsn, last_lsn, "
        "stop_at, replace, state, restored_to) VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.Bind(1, row.database)
        .Bind(2, std::string(1, row.type))
        .Bind(3, static_cast<int64_t>(std::time(nullptr)))
        .Bind(4, row.backupSetId)
        .Bind(5, static_cast<int64_t>(row.firstLsn))
        .Bind(6, static_cast<int64_t>(row.lastLsn))
        .Bind(7, row.stopAt)
        .Bind(8, int64_t{row.replace})
        .Bind(9, int64_t{row.state});
    if (row.restoredTo > 0) {
        insert.Bind(10, row.restoredTo);
    } else {
        insert.BindNull(10);
    }
    return insert.Run();
}

CWzError SqlSimRestoreHistoryHasPoint(SqlSimInstance& instance, bool& has) {
    SimSqlStatement q = instance.Db().Prepare(
        "SELECT COUNT(*) FROM pragma_table_info('restore_history') WHERE name = 'restored_to'");
    has = q.Step() && q.Int(0) > 0;
    return q.Error();
}
