// Recovery paths of simulated databases and of their backups.
#include "JxsqlDMO/SqlSimRecoveryPath.h"

#include <mutex>
#include <random>

#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kTables = R"sql(
CREATE TABLE IF NOT EXISTS db_recovery_path(
    database_id INTEGER PRIMARY KEY, path TEXT NOT NULL, forked_from TEXT NOT NULL, fork_lsn INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS backup_recovery_path(
    history_id INTEGER PRIMARY KEY, path TEXT NOT NULL, forked_from TEXT NOT NULL, fork_lsn INTEGER NOT NULL);
)sql";

CWzError Ensure(SqlSimInstance& instance) { return instance.Db().Exec(kTables); }

// A new path id, in the form of a GUID.
std::string NewPathId() {
    static std::mutex guard;
    static std::mt19937_64 random{std::random_device{}()};
    std::lock_guard<std::mutex> lock(guard);
    const uint64_t high = random();
    const uint64_t low = random();
    return wz::Format("%08llX-%04llX-%04llX-%04llX-%012llX", static_cast<unsigned long long>(high >> 32),
                      static_cast<unsigned long long>((high >> 16) & 0xFFFF),
                      static_cast<unsigned long long>(high & 0xFFFF), static_cast<unsigned long long>(low >> 48),
                      static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
}

CWzError Read(SqlSimInstance& instance, const char* sql, int64_t key, SqlSimRecoveryPath& path, bool& found) {
    path = SqlSimRecoveryPath{};
    if (CWzError e = Ensure(instance); e.IsError()) return e;
    SimSqlStatement q = instance.Db().Prepare(sql);
    q.Bind(1, key);
    found = q.Step();
    if (found) {
        path.id = q.Text(0);
        path.forkedFrom = q.Text(1);
        path.forkLsn = static_cast<uint64_t>(q.Int(2));
    }
    return q.Error();
}

CWzError Write(SqlSimInstance& instance, const char* table, int64_t key, const SqlSimRecoveryPath& path) {
    if (CWzError e = Ensure(instance); e.IsError()) return e;
    return instance.Db()
        .Prepare(std::string("INSERT OR REPLACE INTO ") + table + " VALUES(?, ?, ?, ?)")
        .Bind(1, key)
        .Bind(2, path.id)
        .Bind(3, path.forkedFrom)
        .Bind(4, static_cast<int64_t>(path.forkLsn))
        .Run();
}

// The database's path after a restore from a set on `setPath`.
SqlSimRecoveryPath Following(const SqlSimRecoveryPath& setPath, bool keepsLogChain, uint64_t nextLsn) {
    if (keepsLogChain && !setPath.id.empty()) return setPath;
    return {NewPathId(), setPath.id, nextLsn};
}

}  // namespace

CWzError SqlSimDatabaseRecoveryPath(SqlSimInstance& instance, int64_t databaseId, SqlSimRecoveryPath& path) {
    bool found = false;
    if (CWzError e = Read(instance, "SELECT path, forked_from, fork_lsn FROM db_recovery_path WHERE database_id = ?",
                          databaseId, path, found);
        e.IsError() || found) {
        return e;
    }
    path = {NewPathId(), "", 0};
    return Write(instance, "db_recovery_path", databaseId, path);
}

CWzError SqlSimRecordBackupRecoveryPath(SqlSimInstance& instance, int64_t historyId, int64_t databaseId) {
    SqlSimRecoveryPath path;
    if (CWzError e = SqlSimDatabaseRecoveryPath(instance, databaseId, path); e.IsError()) return e;
    return Write(instance, "backup_recovery_path", historyId, path);
}

CWzError SqlSimBackupRecoveryPath(SqlSimInstance& instance, int64_t historyId, SqlSimRecoveryPath& path) {
    bool found = false;
    return Read(instance, "SELECT path, forked_from, fork_lsn FROM backup_recovery_path WHERE history_id = ?",
                historyId, path, found);
}

CWzError SqlSimFollowRestoredSet(SqlSimInstance& instance, int64_t databaseId, int64_t historyId, bool keepsLogChain,
                                 uint64_t nextLsn) {
    SqlSimRecoveryPath setPath;
    if (historyId != 0) {
        if (CWzError e = SqlSimBackupRecoveryPath(instance, historyId, setPath); e.IsError()) return e;
    }
    return Write(instance, "db_recovery_path", databaseId, Following(setPath, keepsLogChain, nextLsn));
}

CWzError SqlSimFollowRevertedSnapshot(SqlSimInstance& instance, int64_t databaseId, const std::string& database,
                                      bool keepsLogChain, uint64_t nextLsn) {
    int64_t historyId = 0;
    {
        // Let go before the write below.
        SimSqlStatement q = instance.Db().Prepare(
            "SELECT id FROM backup_history WHERE database_name = ? AND device = 'snapshot' AND last_lsn = ? "
            "ORDER BY id DESC LIMIT 1");
        q.Bind(1, database).Bind(2, static_cast<int64_t>(nextLsn));
        historyId = q.Step() ? q.Int(0) : 0;
        if (q.Error().IsError()) return q.Error();
    }
    return SqlSimFollowRestoredSet(instance, databaseId, historyId, keepsLogChain, nextLsn);
}

CWzError SqlSimForgetRecoveryPath(SqlSimInstance& instance, int64_t databaseId) {
    if (CWzError e = Ensure(instance); e.IsError()) return e;
    return instance.Db().Prepare("DELETE FROM db_recovery_path WHERE database_id = ?").Bind(1, databaseId).Run();
}

void SqlSimPutRecoveryPath(SQLPmn::SQLDBBackupInfo& info, const SqlSimRecoveryPath& path) {
    using Info = SQLPmn::SQLDBBackupInfo;
    if (path.id.empty()) return;
    info.setstring(Info::kRecoveryPath, path.id);
    if (path.forkedFrom.empty()) return;
    info.setstring(Info::kForkedFromPath, path.forkedFrom);
    info.setstring(Info::kForkLsn, std::to_string(path.forkLsn));
}
