// SqlSimChanges: the changes of a simulated database and what backups and
// restores need to know about them.
//
// A change writes data pages (8 KB) in place in the database's data files
// and appends one log record per page to its log file (SqlSimLogRecord).
// The catalogue keeps per database (tables added beside the catalogue's own
// the first time they are needed): the LSN state (current LSN, the LSN of
// the last full backup, the LSN up to which log backups have taken the log,
// a broken-chain flag, the end of the log file's records), the extents
// (64 KB) changed since the last full backup's checkpoint (each with the LSN
// of its newest change), and an index of the log records still in the log.
// In the SIMPLE recovery model every change truncates the log at once, which
// also breaks the log chain; a running full or differential backup holds
// truncation back from its checkpoint on.
//
// Every change of a database's LSN state is a read-modify-write inside one
// write transaction, so sessions changing a database at once, and backups
// recording beside them, never write back a state another one moved on.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimLogRecord.h"
#include "WzUtils/CWzError.h"

struct SqlSimChangeRequest {
    std::string database;
    uint32_t pages = 1;
    uint64_t seed = 0;
    std::string mark;     // marks the change's last record when not empty
    int64_t timeMs = 0;   // time of the records, ms since 1970; 0 = now
};

struct SqlSimLsnState {
    uint64_t currentLsn = 0;     // LSN of the last record written
    uint64_t lastFullLsn = 0;    // checkpoint LSN of the last full backup, 0 = none
    uint64_t logBackupLsn = 0;   // log backups have taken records below this LSN; 0 = no chain
    bool brokenChain = false;
    uint64_t logEnd = 0;         // where the next record goes in the log file
};

struct SqlSimFileRow {
    int64_t id = 0;
    int type = 0;  // 0 data, 1 log
    std::string logicalName;
    std::string fileGroup;  // empty for a log file
    std::string path;
    uint64_t size = 0;
};

// Bytes [offset, offset + length) of file `fileId` of a database.
struct SqlSimFileRange {
    int64_t fileId = 0;
    uint64_t offset = 0;
    uint64_t length = 0;
};

struct SqlSimLogIndexRow {
    uint64_t lsn = 0;
    int64_t timeMs = 0;
    std::string mark;
    uint64_t logOffset = 0;   // of the encoded record in the log file
    uint64_t length = 0;      // encoded length
};

class SqlSimChanges {
public:
    static constexpr uint64_t kPageSize = 8192;
    static constexpr uint64_t kExtentSize = 65536;
    static constexpr uint64_t kFirstLsn = 1000;
    static constexpr uint32_t kMaxPagesPerChange = 65536;

    explicit SqlSimChanges(SqlSimInstance& instance) : m_instance(instance) {}

    // How long a change waits, in real milliseconds, for a snapshot that
    // holds the database's writes.
    static constexpr int64_t kWritesWaitMs = 120000;

    // Writes `pages` pages and their log records; `lastLsn` (may be null)
    // receives the LSN of the last record.
    CWzError Change(const SqlSimChangeRequest& request, uint64_t* lastLsn = nullptr);

    CWzError Files(int64_t databaseId, std::vector<SqlSimFileRow>& files);
    CWzError State(int64_t databaseId, SqlSimLsnState& state);
    CWzError SetState(int64_t databaseId, const SqlSimLsnState& state);
    // Reads, updates and writes the LSN state in one write transaction (a
    // savepoint of the caller's when one is open).
    CWzError UpdateState(int64_t databaseId, const std::function<void(SqlSimLsnState&)>& update);
    CWzError RecoveryModel(int64_t databaseId, std::string& model);

    // (file id, extent number) of every extent changed since the last full's
    // checkpoint.
    CWzError ChangedExtents(int64_t databaseId, std::vector<std::pair<int64_t, uint64_t>>& extents);
    // Unmarks the extents whose newest change came before `lsn` (a full's
    // checkpoint): those changed while the full ran stay marked.
    CWzError ClearChangedExtentsBefore(int64_t databaseId, uint64_t lsn);
    CWzError MarkExtentChanged(int64_t databaseId, int64_t fileId, uint64_t offset, uint64_t length);
    // Marks the extents of every range as changed, all or none: a savepoint
    // of its own, so that it also nests in a transaction the caller holds.
    CWzError MarkExtentsChanged(int64_t databaseId, const std::vector<SqlSimFileRange>& ranges);
    // Marks every extent of the database's data files as changed.
    CWzError MarkDataFilesChanged(int64_t databaseId);

    // Records still in the log with an LSN of at least `fromLsn`, by LSN.
    CWzError LogRecords(int64_t databaseId, uint64_t fromLsn, std::vector<SqlSimLogIndexRow>& rows);
    // Drops the records below `lsn` from the log, but none a data backup
    // still holds (HoldLog).
    CWzError TruncateLog(int64_t databaseId, uint64_t lsn);
    // While a full or differential backup runs, the log keeps every record
    // from its checkpoint `fromLsn` on (it carries them to its end), as the
    // engine holds truncation back during a data backup. One hold per
    // database: data backups of a database run one at a time.
    CWzError HoldLog(int64_t databaseId, uint64_t fromLsn);
    CWzError ReleaseLog(int64_t databaseId);
    // Appends an encoded record to the database's log file and indexes it.
    CWzError AppendLogRecord(int64_t databaseId, const SqlSimLogRecord& record);
    // The same for records in LSN order, written with one write and recorded
    // in one catalogue transaction (a restore appends all it applied).
    CWzError AppendLogRecords(int64_t databaseId, const std::vector<const SqlSimLogRecord*>& records);

    // Records that the data file `logicalName` was just added to `database`:
    // once the database has a full backup, the file is zero-filled, a
    // file-added record goes to the log, every extent of the file counts as
    // changed and the database's files-changed time is now. Before the first
    // full backup nothing is recorded.
    CWzError LogAddedFile(const std::string& database, const std::string& logicalName);

    // Removes every row this file keeps about a database (before it is
    // dropped or replaced).
    CWzError Forget(int64_t databaseId);

private:
    CWzError Ensure();
    // Runs `sql` with the database id and an LSN as its two parameters.
    CWzError RunForLsn(const char* sql, int64_t databaseId, uint64_t lsn);
    CWzError LogFile(int64_t databaseId, SqlSimFileRow& file);
    // In the SIMPLE recovery model: truncates the log after `lsn` and breaks
    // the log chain.
    CWzError TruncateIfSimple(int64_t databaseId, uint64_t lsn);
    CWzError LogAddedFileIn(const std::string& database, int64_t databaseId, const std::string& logicalName);

    SqlSimInstance& m_instance;
};
