// The disk library's index as its own files see it: the open database, one
// prepared statement at a time, and rows read into the media records.
// Not for use outside this library.
#pragma once

#include <sqlite3.h>

#include <string>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "WzUtils/FXErrorUtil.h"

struct DiskLibrary::Db {
    sqlite3* handle = nullptr;
    ~Db() { sqlite3_close(handle); }
};

namespace disklib {

inline CWzError SqlError(const FXCodeLocation& where, sqlite3* db, const char* what) {
    return FXErrorUtil::ErrorSQLite(where, sqlite3_errcode(db), "disk library index: %s: %s", what, sqlite3_errmsg(db));
}

// One statement with bound values; finalised when it goes.
class Stmt {
public:
    Stmt(sqlite3* db, const char* sql) : m_db(db) { m_rc = sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Stmt() { sqlite3_finalize(m_stmt); }
    Stmt(const Stmt&) = delete;
    Stmt& operator=(const Stmt&) = delete;
    Stmt& Int(int i, int64_t v) {
        if (m_stmt) sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    Stmt& Text(int i, const std::string& v) {
        if (m_stmt) sqlite3_bind_text(m_stmt, i, v.c_str(), static_cast<int>(v.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True for a row; false at the end or on failure (Failed() tells).
    bool Row() {
        if (!m_stmt) return false;
        m_rc = sqlite3_step(m_stmt);
        return m_rc == SQLITE_ROW;
    }
    bool Failed() const { return m_rc != SQLITE_OK && m_rc != SQLITE_ROW && m_rc != SQLITE_DONE; }
    CWzError Run(const FXCodeLocation& where, const char* what) {
        Row();
        return Failed() ? SqlError(where, m_db, what) : CWzError::Success();
    }
    int64_t I(int c) const { return sqlite3_column_int64(m_stmt, c); }
    std::string T(int c) const {
        const unsigned char* t = sqlite3_column_text(m_stmt, c);
        return t ? reinterpret_cast<const char*>(t) : "";
    }

private:
    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
    int m_rc = SQLITE_OK;
};

inline void ReadFile(Stmt& q, MediaArchiveFile& f) {
    f.id.archiveFileId = static_cast<uint32_t>(q.I(0));
    f.id.jxCellId = static_cast<uint32_t>(q.I(1));
    f.id.archiveGroupId = static_cast<uint32_t>(q.I(2));
    f.jobId = static_cast<uint64_t>(q.I(3));
    f.stream = static_cast<uint32_t>(q.I(4));
    f.path = q.T(5);
    f.created = q.I(6);
    f.writing = q.I(7) != 0;
}

inline void ReadPiece(Stmt& q, MediaPiece& p) {
    p.id = q.I(0);
    p.archiveFileId = static_cast<uint32_t>(q.I(1));
    p.offset = static_cast<uint64_t>(q.I(2));
    p.length = static_cast<uint64_t>(q.I(3));
    p.jobId = static_cast<uint64_t>(q.I(4));
    p.database = q.T(5);
    p.type = q.T(6);
    p.backupSetId = q.T(7);
    p.firstLsn = q.T(8);
    p.lastLsn = q.T(9);
    p.stream = static_cast<uint32_t>(q.I(10));
    p.streams = static_cast<uint32_t>(q.I(11));
    p.committed = q.I(12) != 0;
    p.commitTime = q.I(13);
}

inline constexpr const char* kFileColumns = "SELECT id, jxcell_id, group_id, job_id, stream, path, created, writing FROM archive_files";
inline constexpr const char* kPieceColumns =
    "SELECT id, afile_id, offset, length, job_id, database, type, set_id, first_lsn, last_lsn, stream, streams, "
    "committed, commit_time FROM pieces";

// Runs `sql` (no values) on the index; the error names `what`.
inline CWzError Exec(const FXCodeLocation& where, sqlite3* db, const char* sql, const char* what) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK ? CWzError::Success()
                                                                       : SqlError(where, db, what);
}

// Takes the writer's lock of an archive file (an open-file-description write
// lock on the whole file) without waiting. False with errno set when it
// cannot: EAGAIN or EACCES when another open file description holds it.
bool TryWriterLock(int fd);

}  // namespace disklib
