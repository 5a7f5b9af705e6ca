// Changes of simulated databases: data pages, log records and the LSN state.
#include "JxsqlDMO/SqlSimChanges.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <chrono>
#include <ctime>

#include "JxsqlDMO/SimSqlDb.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "JxsqlDMO/SqlSimLogMarks.h"
#include "JxsqlDMO/SqlSimRecoveryPath.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kTables = R"sql(
CREATE TABLE IF NOT EXISTS db_lsn_state(
    database_id INTEGER PRIMARY KEY, current_lsn INTEGER NOT NULL, last_full_lsn INTEGER NOT NULL,
    log_backup_lsn INTEGER NOT NULL, broken_chain INTEGER NOT NULL, log_end INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS changed_extents(
    database_id INTEGER NOT NULL, file_id INTEGER NOT NULL, extent INTEGER NOT NULL, lsn INTEGER NOT NULL DEFAULT 0,
    PRIMARY KEY(database_id, file_id, extent));
CREATE TABLE IF NOT EXISTS log_holds(database_id INTEGER PRIMARY KEY, from_lsn INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS log_records(
    database_id INTEGER NOT NULL, lsn INTEGER NOT NULL, time_ms INTEGER NOT NULL, mark TEXT NOT NULL,
    log_offset INTEGER NOT NULL, length INTEGER NOT NULL, PRIMARY KEY(database_id, lsn));
)sql";

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::string UtcText(int64_t timeMs) {
    time_t seconds = static_cast<time_t>(timeMs / 1000);
    struct tm parts {};
    gmtime_r(&seconds, &parts);
    char text[32];
    strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return text;
}

CWzError WriteAt(const std::string& path, const std::string& bytes, uint64_t offset) {
    int fd = wz::Fs().Open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot open [%s]", path.c_str());
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = wz::Fs().PWrite(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            int err = errno;
            (void)wz::Fs().Close(fd);  // the write error is the one to report
            return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "cannot write [%s]", path.c_str());
        }
        done += static_cast<size_t>(n);
    }
    if (wz::Fs().Close(fd) != 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot close [%s]", path.c_str());
    return CWzError::Success();
}

}  // namespace

CWzError SqlSimChanges::Ensure() {
    if (CWzError e = m_instance.Db().Exec(kTables); e.IsError()) return e;
    // Catalogues made before extents carried the LSN of their last change
    // gain the column; their marks count as made before any backup now.
    if (m_instance.Db().Prepare("SELECT lsn FROM changed_extents LIMIT 0").Error().IsSuccess()) {
        return CWzError::Success();
    }
    return m_instance.Db().Exec("ALTER TABLE changed_extents ADD COLUMN lsn INTEGER NOT NULL DEFAULT 0");
}

CWzError SqlSimChanges::Files(int64_t databaseId, std::vector<SqlSimFileRow>& files) {
    files.clear();
    SimSqlStatement q = m_instance.Db().Prepare(
        "SELECT f.id, f.type, f.logical_name, COALESCE(g.name, ''), f.physical_path, f.size FROM files f "
        "LEFT JOIN filegroups g ON g.database_id = f.database_id AND g.id = f.filegroup_id "
        "WHERE f.database_id = ? ORDER BY f.id");
    q.Bind(1, databaseId);
    while (q.Step()) {
        SqlSimFileRow row;
        row.id = q.Int(0);
        row.type = static_cast<int>(q.Int(1));
        row.logicalName = q.Text(2);
        row.fileGroup = q.Text(3);
        row.path = q.Text(4);
        row.size = static_cast<uint64_t>(q.Int(5));
        files.push_back(row);
    }
    return q.Error();
}

CWzError SqlSimChanges::LogFile(int64_t databaseId, SqlSimFileRow& file) {
    std::vector<SqlSimFileRow> files;
    if (CWzError e = Files(databaseId, files); e.IsError()) return e;
    for (const SqlSimFileRow& f : files) {
        if (f.type == 1) {
            file = f;
            return CWzError::Success();
        }
    }
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "database %lld has no log file",
                                     static_cast<long long>(databaseId));
}

CWzError SqlSimChanges::RecoveryModel(int64_t databaseId, std::string& model) {
    SimSqlStatement q = m_instance.Db().Prepare("SELECT recovery_model FROM databases WHERE id = ?");
    q.Bind(1, databaseId);
    if (q.Step()) {
        model = q.Text(0);
        return CWzError::Success();
    }
    if (q.Error().IsError()) return q.Error();
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "database %lld does not exist",
                                     static_cast<long long>(databaseId));
}

CWzError SqlSimChanges::State(int64_t databaseId, SqlSimLsnState& state) {
    if (CWzError e = Ensure(); e.IsError()) return e;
    SimSqlStatement q = m_instance.Db().Prepare(
        "SELECT current_lsn, last_full_lsn, log_backup_lsn, broken_chain, log_end FROM db_lsn_state "
        "WHERE database_id = ?");
    q.Bind(1, databaseId);
    if (q.Step()) {
        state.currentLsn = static_cast<uint64_t>(q.Int(0));
        state.lastFullLsn = static_cast<uint64_t>(q.Int(1));
        state.logBackupLsn = static_cast<uint64_t>(q.Int(2));
        state.brokenChain = q.Int(3) != 0;
        state.logEnd = static_cast<uint64_t>(q.Int(4));
        return CWzError::Success();
    }
    if (q.Error().IsError()) return q.Error();
    // A database nobody changed yet: its log holds no records.
    SqlSimFileRow log;
    if (CWzError e = LogFile(databaseId, log); e.IsError()) return e;
    state = SqlSimLsnState{};
    state.currentLsn = kFirstLsn;
    state.logEnd = log.size;
    return SetState(databaseId, state);
}

CWzError SqlSimChanges::SetState(int64_t databaseId, const SqlSimLsnState& s) {
    if (CWzError e = Ensure(); e.IsError()) return e;
    return m_instance.Db()
        .Prepare("INSERT OR REPLACE INTO db_lsn_state VALUES(?, ?, ?, ?, ?, ?)")
        .Bind(1, databaseId)
        .Bind(2, static_cast<int64_t>(s.currentLsn))
        .Bind(3, static_cast<int64_t>(s.lastFullLsn))
        .Bind(4, static_cast<int64_t>(s.logBackupLsn))
        .Bind(5, int64_t{s.brokenChain})
        .Bind(6, static_cast<int64_t>(s.logEnd))
        .Run();
}

CWzError SqlSimChanges::ChangedExtents(int64_t databaseId, std::vector<std::pair<int64_t, uint64_t>>& extents) {
    extents.clear();
    if (CWzError e = Ensure(); e.IsError()) return e;
    SimSqlStatement q = m_instance.Db().Prepare(
        "SELECT file_id, extent FROM changed_extents WHERE database_id = ? ORDER BY file_id, extent");
    q.Bind(1, databaseId);
    while (q.Step()) extents.emplace_back(q.Int(0), static_cast<uint64_t>(q.Int(1)));
    return q.Error();
}

CWzError SqlSimChanges::UpdateState(int64_t databaseId, const std::function<void(SqlSimLsnState&)>& update) {
    return m_instance.Db().RunInTransaction([&] {
        SqlSimLsnState state;
        if (CWzError e = State(databaseId, state); e.IsError()) return e;
        update(state);
        return SetState(databaseId, state);
    });
}

CWzError SqlSimChanges::RunForLsn(const char* sql, int64_t databaseId, uint64_t lsn) {
    if (CWzError e = Ensure(); e.IsError()) return e;
    return m_instance.Db().Prepare(sql).Bind(1, databaseId).Bind(2, static_cast<int64_t>(lsn)).Run();
}

CWzError SqlSimChanges::ClearChangedExtentsBefore(int64_t databaseId, uint64_t lsn) {
    return RunForLsn("DELETE FROM changed_extents WHERE database_id = ? AND lsn < ?", databaseId, lsn);
}

CWzError SqlSimChanges::MarkExtentChanged(int64_t databaseId, int64_t fileId, uint64_t offset, uint64_t length) {
    return MarkExtentsChanged(databaseId, {{fileId, offset, length}});
}

CWzError SqlSimChanges::MarkExtentsChanged(int64_t databaseId, const std::vector<SqlSimFileRange>& ranges) {
    if (CWzError e = Ensure(); e.IsError()) return e;
    SimSqlDb& db = m_instance.Db();
    // Joins the transaction of a restore's commit, or makes one of its own.
    return db.RunInTransaction([&] {
        // Each extent keeps the LSN of its newest change: a full backup
        // unmarks only what changed before its checkpoint.
        SqlSimLsnState state;
        if (CWzError e = State(databaseId, state); e.IsError()) return e;
        for (const SqlSimFileRange& r : ranges) {
            if (r.length == 0) continue;
            for (uint64_t extent = r.offset / kExtentSize; extent <= (r.offset + r.length - 1) / kExtentSize;
                 ++extent) {
                CWzError e = db.Prepare("INSERT INTO changed_extents(database_id, file_id, extent, lsn) "
                                        "VALUES(?, ?, ?, ?) ON CONFLICT(database_id, file_id, extent) "
                                        "DO UPDATE SET lsn = MAX(lsn, excluded.lsn)")
                                 .Bind(1, databaseId)
                                 .Bind(2, r.fileId)
                                 .Bind(3, static_cast<int64_t>(extent))
                                 .Bind(4, static_cast<int64_t>(state.currentLsn))
                                 .Run();
                if (e.IsError()) return e;
            }
        }
        return CWzError::Success();
    });
}

CWzError SqlSimChanges::MarkDataFilesChanged(int64_t databaseId) {
    std::vector<SqlSimFileRow> files;
    if (CWzError e = Files(databaseId, files); e.IsError()) return e;
    std::vector<SqlSimFileRange> ranges;
    for (const SqlSimFileRow& f : files) {
        if (f.type == 0) ranges.push_back({f.id, 0, f.size});
    }
    return MarkExtentsChanged(databaseId, ranges);
}

CWzError SqlSimChanges::LogRecords(int64_t databaseId, uint64_t fromLsn, std::vector<SqlSimLogIndexRow>& rows) {
    rows.clear();
    if (CWzError e = Ensure(); e.IsError()) return e;
    SimSqlStatement q = m_instance.Db().Prepare(
        "SELECT lsn, time_ms, mark, log_offset, length FROM log_records WHERE database_id = ? AND lsn >= ? "
        "ORDER BY lsn");
    q.Bind(1, databaseId).Bind(2, static_cast<int64_t>(fromLsn));
    while (q.Step()) {
        SqlSimLogIndexRow row;
        row.lsn = static_cast<uint64_t>(q.Int(0));
        row.timeMs = q.Int(1);
        row.mark = q.Text(2);
        row.logOffset = static_cast<uint64_t>(q.Int(3));
        row.length = static_cast<uint64_t>(q.Int(4));
        rows.push_back(row);
    }
    return q.Error();
}

CWzError SqlSimChanges::TruncateLog(int64_t databaseId, uint64_t lsn) {
    return RunForLsn("DELETE FROM log_records WHERE database_id = ?1 AND lsn < MIN(?2, COALESCE((SELECT from_lsn "
                     "FROM log_holds WHERE database_id = ?1), ?2))",
                     databaseId, lsn);
}

CWzError SqlSimChanges::HoldLog(int64_t databaseId, uint64_t fromLsn) {
    return RunForLsn("INSERT OR REPLACE INTO log_holds VALUES(?, ?)", databaseId, fromLsn);
}

CWzError SqlSimChanges::ReleaseLog(int64_t databaseId) {
    if (CWzError e = Ensure(); e.IsError()) return e;
    return m_instance.Db().Prepare("DELETE FROM log_holds WHERE database_id = ?").Bind(1, databaseId).Run();
}

CWzError SqlSimChanges::AppendLogRecord(int64_t databaseId, const SqlSimLogRecord& record) {
    return AppendLogRecords(databaseId, {&record});
}

CWzError SqlSimChanges::AppendLogRecords(int64_t databaseId, const std::vector<const SqlSimLogRecord*>& records) {
    if (records.empty()) return CWzError::Success();
    return m_instance.Db().RunInTransaction([&] {
        SqlSimLsnState state;
        if (CWzError e = State(databaseId, state); e.IsError()) return e;
        SqlSimFileRow log;
        if (CWzError e = LogFile(databaseId, log); e.IsError()) return e;
        std::string encoded;
        for (const SqlSimLogRecord* record : records) {
            const size_t at = encoded.size();
            encoded += SqlSimEncodeLogRecord(*record);
            CWzError e = m_instance.Db()
                             .Prepare("INSERT OR REPLACE INTO log_records VALUES(?, ?, ?, ?, ?, ?)")
                             .Bind(1, databaseId)
                             .Bind(2, static_cast<int64_t>(record->lsn))
                             .Bind(3, record->timeMs)
                             .Bind(4, record->mark)
                             .Bind(5, static_cast<int64_t>(state.logEnd + at))
                             .Bind(6, static_cast<int64_t>(encoded.size() - at))
                             .Run();
            if (e.IsError()) return e;
            if (record->lsn > state.currentLsn) state.currentLsn = record->lsn;
        }
        if (CWzError e = WriteAt(log.path, encoded, state.logEnd); e.IsError()) return e;
        state.logEnd += encoded.size();
        return SetState(databaseId, state);
    });
}

CWzError SqlSimChanges::Forget(int64_t databaseId) {
    if (CWzError e = Ensure(); e.IsError()) return e;
    for (const char* sql : {"DELETE FROM db_lsn_state WHERE database_id = ?",
                            "DELETE FROM changed_extents WHERE database_id = ?",
                            "DELETE FROM log_records WHERE database_id = ?",
                            "DELETE FROM log_holds WHERE database_id = ?"}) {
        if (CWzError e = m_instance.Db().Prepare(sql).Bind(1, databaseId).Run(); e.IsError()) return e;
    }
    return SqlSimForgetRecoveryPath(m_instance, databaseId);
}

CWzError SqlSimChanges::TruncateIfSimple(int64_t databaseId, uint64_t lsn) {
    std::string model;
    if (CWzError e = RecoveryModel(databaseId, model); e.IsError() || model != "SIMPLE") return e;
    // The log is truncated at once; no log backup can follow these records.
    if (CWzError e = TruncateLog(databaseId, lsn + 1); e.IsError()) return e;
    return UpdateState(databaseId, [](SqlSimLsnState& after) {
        after.brokenChain = true;
        after.logBackupLsn = 0;
    });
}

CWzError SqlSimChanges::LogAddedFile(const std::string& database, const std::string& logicalName) {
    int64_t databaseId = 0;
    if (CWzError e = m_instance.DatabaseId(database, databaseId); e.IsError()) return e;
    // One write transaction from reading the LSN state to the last write, so
    // no change takes the record's LSN meanwhile.
    return m_instance.Db().RunInTransaction([&] { return LogAddedFileIn(database, databaseId, logicalName); });
}

CWzError SqlSimChanges::LogAddedFileIn(const std::string& database, int64_t databaseId, const std::string& logicalName) {
    SqlSimLsnState state;
    if (CWzError e = State(databaseId, state); e.IsError() || state.lastFullLsn == 0) return e;
    std::vector<SqlSimFileRow> files;
    if (CWzError e = Files(databaseId, files); e.IsError()) return e;
    auto file = std::find_if(files.begin(), files.end(), [&](const SqlSimFileRow& f) {
        return f.type == 0 && f.logicalName == logicalName;
    });
    if (file == files.end()) return CWzError::Success();  // a log file: its records need no replay
    // A new file holds zeros, as a restore that creates it from the log
    // writes it.
    int fd = wz::Fs().Open(file->path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot open [%s]", file->path.c_str());
    if (wz::Fs().Ftruncate(fd, 0) != 0 || wz::Fs().Ftruncate(fd, static_cast<off_t>(file->size)) != 0) {
        int err = errno;
        (void)wz::Fs().Close(fd);  // the truncation's error is the one to report
        return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "cannot clear [%s]", file->path.c_str());
    }
    if (wz::Fs().Close(fd) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot close [%s]", file->path.c_str());
    }
    const int64_t nowMs = NowMs();
    SqlSimLogRecord record;
    record.kind = SqlSimLogRecordKind::FileAdded;
    record.lsn = state.currentLsn + 1;
    record.timeMs = nowMs;
    record.fileId = static_cast<uint32_t>(file->id);
    record.offset = file->size;
    record.data = SqlSimAddedFileData(file->logicalName, file->fileGroup, file->path);
    if (CWzError e = AppendLogRecord(databaseId, record); e.IsError()) return e;
    if (CWzError e = MarkExtentChanged(databaseId, file->id, 0, file->size); e.IsError()) return e;
    CWzError e = SqlSimSetDatabaseOption(m_instance, database, kSqlSimOptionFilesChanged, std::to_string(nowMs / 1000));
    if (e.IsError()) return e;
    return TruncateIfSimple(databaseId, record.lsn);
}

CWzError SqlSimChanges::Change(const SqlSimChangeRequest& request, uint64_t* lastLsn) {
    if (request.pages == 0 || request.pages > kMaxPagesPerChange) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "pages must be 1 to %u", kMaxPagesPerChange);
    }
    if (request.mark.size() > SqlSimLogRecord::kMaxMark) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "mark name longer than %u characters",
                                         SqlSimLogRecord::kMaxMark);
    }
    int64_t databaseId = 0;
    if (CWzError e = m_instance.DatabaseId(request.database, databaseId); e.IsError()) return e;
    std::vector<SqlSimFileRow> files, data;
    if (CWzError e = Files(databaseId, files); e.IsError()) return e;
    for (const SqlSimFileRow& f : files) {
        if (f.type == 0 && f.size >= kPageSize) data.push_back(f);
    }
    if (data.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "database [%s] has no data page to change",
                                         request.database.c_str());
    }
    // A snapshot being taken holds writes out until it is recorded.
    SqlSimDatabaseHold writes;
    std::string holdError;
    switch (writes.TakeWaiting(m_instance.Location(), request.database, SqlSimDatabaseHold::Mode::kShared, holdError,
                               SqlSimDatabaseHold::Purpose::kWrites, kWritesWaitMs)) {
        case SqlSimDatabaseHold::Result::kTaken:
            break;
        case SqlSimDatabaseHold::Result::kBusy:
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "database [%s] is frozen by a snapshot",
                                             request.database.c_str());
        case SqlSimDatabaseHold::Result::kFailed:
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s", holdError.c_str());
    }

    const int64_t timeMs = request.timeMs != 0 ? request.timeMs : NowMs();
    // The LSN state is read inside the write transaction: a change made at
    // the same time by another session takes the LSNs after this one's.
    if (CWzError e = m_instance.Db().Exec("BEGIN IMMEDIATE"); e.IsError()) return e;
    SqlSimLsnState state;
    CWzError err = State(databaseId, state);
    uint64_t rng = request.seed ^ (state.currentLsn * 0x9E3779B97F4A7C15ull);
    uint64_t lsn = state.currentLsn;
    std::vector<SqlSimFileRange> written;
    for (uint32_t page = 0; page < request.pages && err.IsSuccess(); ++page) {
        const SqlSimFileRow& file = data[SplitMix(rng) % data.size()];
        SqlSimLogRecord record;
        record.lsn = ++lsn;
        record.timeMs = timeMs;
        record.fileId = static_cast<uint32_t>(file.id);
        record.offset = (SplitMix(rng) % (file.size / kPageSize)) * kPageSize;
        record.data.resize(kPageSize);
        for (size_t i = 0; i < kPageSize; i += 8) {
            uint64_t word = SplitMix(rng);
            std::memcpy(&record.data[i], &word, 8);
        }
        if (page + 1 == request.pages) record.mark = request.mark;
        err = WriteAt(file.path, record.data, record.offset);
        if (err.IsSuccess()) err = AppendLogRecord(databaseId, record);
        written.push_back({file.id, record.offset, kPageSize});
    }
    if (err.IsSuccess()) err = MarkExtentsChanged(databaseId, written);
    if (err.IsSuccess() && !request.mark.empty()) {
        // The mark's value is the instance's next one (not its LSN): a
        // restore to an older point starts LSNs lower again, and the marks
        // made after it must still come after the ones already sent on.
        SqlSimLogMarkSpec mark;
        mark.database = request.database;
        mark.markName = request.mark;
        mark.lsn = std::to_string(lsn);
        mark.markTime = UtcText(timeMs);
        err = SqlSimAddLogMark(m_instance, mark);
    }
    if (err.IsSuccess()) err = TruncateIfSimple(databaseId, lsn);
    if (err.IsError()) {
        (void)m_instance.Db().Exec("ROLLBACK");  // the change's own error is the one to report
        return err.Push(FXCODELOC, "cannot change database [%s]", request.database.c_str());
    }
    if (CWzError e = m_instance.Db().Exec("COMMIT"); e.IsError()) return e;
    if (lastLsn != nullptr) *lastLsn = lsn;
    return CWzError::Success();
}
