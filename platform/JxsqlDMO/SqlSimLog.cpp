// The transaction-log state of the simulated databases and the log shrink.
#include "JxsqlDMO/SqlSimLog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFormat.h"

namespace {

// File type of a log file in the catalogue's files table.
constexpr int64_t kFileLog = 1;

constexpr const char* kLogUsageTable =
    "CREATE TABLE IF NOT EXISTS log_usage("
    "database_id INTEGER PRIMARY KEY REFERENCES databases(id) ON DELETE CASCADE, "
    "used_bytes INTEGER, open_transactions INTEGER NOT NULL DEFAULT 0)";

}  // namespace

CWzError SqlSimLog::EnsureTable() { return m_instance.Db().Exec(kLogUsageTable); }

CWzError SqlSimLog::LogFiles(int64_t databaseId, std::vector<LogFile>& files) {
    SimSqlStatement q =
        m_instance.Db().Prepare("SELECT id, physical_path, size FROM files WHERE database_id = ? AND type = ? ORDER BY id");
    q.Bind(1, databaseId).Bind(2, kFileLog);
    while (q.Step()) files.push_back({q.Int(0), q.Text(1), static_cast<uint64_t>(q.Int(2))});
    return q.Error();
}

CWzError SqlSimLog::SpaceOf(int64_t databaseId, SqlSimLogSpace& space) {
    std::vector<LogFile> files;
    CWzError err = LogFiles(databaseId, files);
    if (err.IsError()) return err;
    space.sizeBytes = 0;
    for (const LogFile& f : files) space.sizeBytes += f.size;
    space.usedBytes = space.sizeBytes;
    space.openTransactions = 0;
    SimSqlStatement q = m_instance.Db().Prepare("SELECT used_bytes, open_transactions FROM log_usage WHERE database_id = ?");
    q.Bind(1, databaseId);
    if (q.Step()) {
        if (!q.IsNull(0)) space.usedBytes = std::min<uint64_t>(static_cast<uint64_t>(std::max<int64_t>(q.Int(0), 0)), space.sizeBytes);
        space.openTransactions = q.Int(1);
    }
    return q.Error();
}

CWzError SqlSimLog::SetUsage(const std::string& database, const char* column, int64_t value) {
    CWzError err = EnsureTable();
    if (err.IsError()) return err;
    int64_t id = 0;
    err = m_instance.DatabaseId(database, id);
    if (err.IsError()) return err;
    err = m_instance.Db().Prepare("INSERT OR IGNORE INTO log_usage(database_id) VALUES(?)").Bind(1, id).Run();
    if (err.IsError()) return err;
    return m_instance.Db()
        .Prepare(std::string("UPDATE log_usage SET ") + column + " = ? WHERE database_id = ?")
        .Bind(1, value)
        .Bind(2, id)
        .Run();
}

CWzError SqlSimLog::SetUsedBytes(const std::string& database, uint64_t usedBytes) {
    SqlSimLogSpace space;
    CWzError err = Space(database, space);
    if (err.IsError()) return err;
    if (usedBytes > space.sizeBytes) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG,
                                         "%llu bytes in use do not fit the %llu-byte log of database [%s]",
                                         static_cast<unsigned long long>(usedBytes),
                                         static_cast<unsigned long long>(space.sizeBytes), database.c_str());
    }
    return SetUsage(database, "used_bytes", static_cast<int64_t>(usedBytes));
}

CWzError SqlSimLog::SetOpenTransactions(const std::string& database, int64_t count) {
    if (count < 0) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "negative open transaction count %lld",
                                         static_cast<long long>(count));
    }
    return SetUsage(database, "open_transactions", count);
}

CWzError SqlSimLog::Space(const std::string& database, SqlSimLogSpace& space) {
    CWzError err = EnsureTable();
    if (err.IsError()) return err;
    int64_t id = 0;
    err = m_instance.DatabaseId(database, id);
    if (err.IsError()) return err;
    space.database = database;
    return SpaceOf(id, space);
}

CWzError SqlSimLog::AllSpaces(std::vector<SqlSimLogSpace>& spaces) {
    CWzError err = EnsureTable();
    if (err.IsError()) return err;
    SimSqlStatement q = m_instance.Db().Prepare("SELECT id, name FROM databases ORDER BY id");
    while (q.Step()) {
        SqlSimLogSpace space;
        space.database = q.Text(1);
        err = SpaceOf(q.Int(0), space);
        if (err.IsError()) return err;
        spaces.push_back(space);
    }
    return q.Error();
}

CWzError SqlSimLog::Shrink(const std::string& database, uint64_t& sizeBytes) {
    SqlSimLogSpace space;
    CWzError err = Space(database, space);
    if (err.IsError()) return err;
    int64_t id = 0;
    err = m_instance.DatabaseId(database, id);
    if (err.IsError()) return err;
    std::vector<LogFile> files;
    err = LogFiles(id, files);
    if (err.IsError()) return err;

    // The used part fills the log files in order; each keeps at least the
    // minimum size and none grows.
    uint64_t toKeep = space.usedBytes;
    sizeBytes = 0;
    for (const LogFile& f : files) {
        uint64_t target = std::min(f.size, std::max(kMinLogFileBytes, toKeep));
        toKeep -= std::min(toKeep, target);
        if (target < f.size) {
            if (::truncate(f.path.c_str(), static_cast<off_t>(target)) != 0) {
                return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot shrink log file [%s]", f.path.c_str());
            }
            err = m_instance.Db()
                      .Prepare("UPDATE files SET size = ? WHERE database_id = ? AND id = ?")
                      .Bind(1, static_cast<int64_t>(target))
                      .Bind(2, id)
                      .Bind(3, f.id)
                      .Run();
            if (err.IsError()) return err;
        }
        sizeBytes += target;
    }
    return CWzError::Success();
}
