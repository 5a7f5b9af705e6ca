// The disk library: archive files and their index under the platform root.
#include "JxPipelineSetupUtility/DiskLibrary.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <fstream>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS archive_files(
    id INTEGER PRIMARY KEY, jxcell_id INTEGER NOT NULL, group_id INTEGER NOT NULL, job_id INTEGER NOT NULL,
    stream INTEGER NOT NULL, path TEXT NOT NULL, created INTEGER NOT NULL);
CREATE TABLE IF NOT EXISTS pieces(
    id INTEGER PRIMARY KEY, afile_id INTEGER NOT NULL, offset INTEGER NOT NULL, length INTEGER NOT NULL,
    job_id INTEGER NOT NULL, database TEXT NOT NULL, type TEXT NOT NULL, set_id TEXT NOT NULL,
    first_lsn TEXT NOT NULL, last_lsn TEXT NOT NULL, stream INTEGER NOT NULL, streams INTEGER NOT NULL,
    committed INTEGER NOT NULL, commit_time INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS pieces_by_file ON pieces(afile_id, offset);
CREATE TABLE IF NOT EXISTS commits(
    id INTEGER PRIMARY KEY, job_id INTEGER NOT NULL, time INTEGER NOT NULL, restart TEXT NOT NULL);
)sql";

constexpr uint32_t kFirstArchiveFileId = 1000;

CWzError SqlError(const FXCodeLocation& where, sqlite3* db, const char* what) {
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

void ReadFile(Stmt& q, MediaArchiveFile& f) {
    f.id.archiveFileId = static_cast<uint32_t>(q.I(0));
    f.id.jxCellId = static_cast<uint32_t>(q.I(1));
    f.id.archiveGroupId = static_cast<uint32_t>(q.I(2));
    f.jobId = static_cast<uint64_t>(q.I(3));
    f.stream = static_cast<uint32_t>(q.I(4));
    f.path = q.T(5);
    f.created = q.I(6);
}

void ReadPiece(Stmt& q, MediaPiece& p) {
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

constexpr const char* kFileColumns = "SELECT id, jxcell_id, group_id, job_id, stream, path, created FROM archive_files";
constexpr const char* kPieceColumns =
    "SELECT id, afile_id, offset, length, job_id, database, type, set_id, first_lsn, last_lsn, stream, streams, "
    "committed, commit_time FROM pieces";

}  // namespace

struct DiskLibrary::Db {
    sqlite3* handle = nullptr;
    ~Db() { sqlite3_close(handle); }
};

std::string DiskLibrary::Directory() { return wz::PlatformPath("media"); }

bool DiskLibrary::IsOffline() {
    struct stat st {};
    return ::stat((Directory() + "/offline").c_str(), &st) == 0;
}

uint64_t DiskLibrary::QuotaBytes() {
    std::ifstream in(Directory() + "/quota");
    unsigned long long quota = 0;
    if (!(in >> quota)) return 0;
    return quota;
}

DiskLibrary::~DiskLibrary() { delete m_db; }

CWzError DiskLibrary::Open() {
    if (m_db != nullptr) return CWzError::Success();
    if (wz::MakeDirectoryTree(Directory()) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create the disk library [%s]", Directory().c_str());
    }
    auto db = std::make_unique<Db>();
    std::string path = Directory() + "/index.db";
    if (sqlite3_open_v2(path.c_str(), &db->handle, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                        nullptr) != SQLITE_OK) {
        return SqlError(FXCODELOC, db->handle, "cannot open");
    }
    sqlite3_busy_timeout(db->handle, 30000);
    if (sqlite3_exec(db->handle, kSchema, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return SqlError(FXCODELOC, db->handle, "cannot create the tables");
    }
    m_db = db.release();
    return CWzError::Success();
}

CWzError DiskLibrary::CreateArchiveFile(uint32_t jxCellId, uint64_t jobId, uint32_t stream, MediaArchiveFile& file) {
    if (CWzError e = Open(); e.IsError()) return e;
    if (IsOffline()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "The media (disk library [%s]) is offline.",
                                         Directory().c_str());
    }
    sqlite3* db = m_db->handle;
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return SqlError(FXCODELOC, db, "cannot begin");
    }
    Stmt next(db, "SELECT COALESCE(MAX(id) + 1, ?) FROM archive_files");
    next.Int(1, kFirstArchiveFileId);
    if (!next.Row()) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return SqlError(FXCODELOC, db, "cannot number an archive file");
    }
    file.id.archiveFileId = static_cast<uint32_t>(next.I(0));
    file.id.jxCellId = jxCellId;
    file.id.archiveGroupId = static_cast<uint32_t>(jobId & 0xFFFFFFFFu);
    file.jobId = jobId;
    file.stream = stream;
    file.created = static_cast<int64_t>(std::time(nullptr));
    std::string folder = Directory() + wz::Format("/afiles/%u/%u", jxCellId, file.id.archiveGroupId);
    file.path = folder + wz::Format("/%u", file.id.archiveFileId);
    CWzError err;
    int fd = -1;
    if (wz::MakeDirectoryTree(folder) != 0) {
        err = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create [%s]", folder.c_str());
    } else if ((fd = wz::Fs().Open(file.path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)) < 0) {
        err = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create archive file [%s]", file.path.c_str());
    } else {
        (void)wz::Fs().Close(fd);  // an empty file; nothing written that could be lost
        Stmt add(db, "INSERT INTO archive_files VALUES(?, ?, ?, ?, ?, ?, ?)");
        add.Int(1, file.id.archiveFileId).Int(2, jxCellId).Int(3, file.id.archiveGroupId);
        add.Int(4, static_cast<int64_t>(jobId)).Int(5, stream).Text(6, file.path).Int(7, file.created);
        err = add.Run(FXCODELOC, "cannot add an archive file");
    }
    if (err.IsError()) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (fd >= 0) (void)wz::Fs().Unlink(file.path);  // not indexed, so not kept
        return err;
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return SqlError(FXCODELOC, db, "cannot commit");
    return CWzError::Success();
}

CWzError DiskLibrary::FindArchiveFile(uint32_t archiveFileId, MediaArchiveFile& file) {
    if (CWzError e = Open(); e.IsError()) return e;
    Stmt q(m_db->handle, (std::string(kFileColumns) + " WHERE id = ?").c_str());
    q.Int(1, archiveFileId);
    if (q.Row()) {
        ReadFile(q, file);
        return CWzError::Success();
    }
    if (q.Failed()) return SqlError(FXCODELOC, m_db->handle, "cannot read archive files");
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "archive file %u is not on the media", archiveFileId);
}

CWzError DiskLibrary::ListArchiveFiles(std::vector<MediaArchiveFile>& files) {
    files.clear();
    if (CWzError e = Open(); e.IsError()) return e;
    Stmt q(m_db->handle, (std::string(kFileColumns) + " ORDER BY id").c_str());
    while (q.Row()) {
        MediaArchiveFile f;
        ReadFile(q, f);
        files.push_back(f);
    }
    return q.Failed() ? SqlError(FXCODELOC, m_db->handle, "cannot list archive files") : CWzError::Success();
}

CWzError DiskLibrary::TotalBytes(uint64_t& bytes) {
    bytes = 0;
    std::vector<MediaArchiveFile> files;
    if (CWzError e = ListArchiveFiles(files); e.IsError()) return e;
    for (const MediaArchiveFile& f : files) {
        struct stat st {};
        if (wz::Fs().Stat(f.path, &st) == 0) bytes += static_cast<uint64_t>(st.st_size);
    }
    return CWzError::Success();
}

CWzError DiskLibrary::AddPiece(MediaPiece& p) {
    if (CWzError e = Open(); e.IsError()) return e;
    Stmt add(m_db->handle, "INSERT INTO pieces VALUES(NULL, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 0, 0)");
    add.Int(1, p.archiveFileId).Int(2, static_cast<int64_t>(p.offset)).Int(3, static_cast<int64_t>(p.length));
    add.Int(4, static_cast<int64_t>(p.jobId)).Text(5, p.database).Text(6, p.type).Text(7, p.backupSetId);
    add.Text(8, p.firstLsn).Text(9, p.lastLsn).Int(10, p.stream).Int(11, p.streams);
    if (CWzError e = add.Run(FXCODELOC, "cannot add a piece"); e.IsError()) return e;
    p.id = sqlite3_last_insert_rowid(m_db->handle);
    p.committed = false;
    return CWzError::Success();
}

CWzError DiskLibrary::SetPieceLength(int64_t pieceId, uint64_t length) {
    if (CWzError e = Open(); e.IsError()) return e;
    Stmt q(m_db->handle, "UPDATE pieces SET length = ? WHERE id = ?");
    q.Int(1, static_cast<int64_t>(length)).Int(2, pieceId);
    return q.Run(FXCODELOC, "cannot record a piece's length");
}

CWzError DiskLibrary::DropPiece(int64_t pieceId) {
    if (CWzError e = Open(); e.IsError()) return e;
    Stmt q(m_db->handle, "DELETE FROM pieces WHERE id = ? AND committed = 0");
    q.Int(1, pieceId);
    return q.Run(FXCODELOC, "cannot drop a piece");
}

CWzError DiskLibrary::CommitPieces(const std::vector<int64_t>& pieceIds, uint64_t jobId, const std::string& restart) {
    if (CWzError e = Open(); e.IsError()) return e;
    sqlite3* db = m_db->handle;
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return SqlError(FXCODELOC, db, "cannot begin");
    }
    const int64_t now = static_cast<int64_t>(std::time(nullptr));
    CWzError err;
    for (int64_t id : pieceIds) {
        Stmt q(db, "UPDATE pieces SET committed = 1, commit_time = ? WHERE id = ?");
        q.Int(1, now).Int(2, id);
        err = q.Run(FXCODELOC, "cannot commit a piece");
        if (err.IsError()) break;
    }
    if (err.IsSuccess()) {
        Stmt q(db, "INSERT INTO commits VALUES(NULL, ?, ?, ?)");
        q.Int(1, static_cast<int64_t>(jobId)).Int(2, now).Text(3, restart);
        err = q.Run(FXCODELOC, "cannot record the commit");
    }
    if (err.IsError()) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return err;
    }
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) return SqlError(FXCODELOC, db, "cannot commit");
    return CWzError::Success();
}

CWzError DiskLibrary::PiecesOf(uint32_t archiveFileId, std::vector<MediaPiece>& pieces) {
    pieces.clear();
    if (CWzError e = Open(); e.IsError()) return e;
    Stmt q(m_db->handle, (std::string(kPieceColumns) + " WHERE afile_id = ? ORDER BY offset").c_str());
    q.Int(1, archiveFileId);
    while (q.Row()) {
        MediaPiece p;
        ReadPiece(q, p);
        pieces.push_back(p);
    }
    return q.Failed() ? SqlError(FXCODELOC, m_db->handle, "cannot list pieces") : CWzError::Success();
}

CWzError DiskLibrary::FindPiece(uint32_t archiveFileId, uint64_t offset, bool anyOffset, MediaPiece& piece) {
    std::vector<MediaPiece> pieces;
    if (CWzError e = PiecesOf(archiveFileId, pieces); e.IsError()) return e;
    for (const MediaPiece& p : pieces) {
        if (anyOffset || p.offset == offset) {
            piece = p;
            return CWzError::Success();
        }
    }
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "archive file %u holds no piece at offset %llu",
                                     archiveFileId, static_cast<unsigned long long>(offset));
}

CWzError DiskLibrary::RestartString(uint64_t jobId, std::string& restart) {
    restart.clear();
    if (CWzError e = Open(); e.IsError()) return e;
    Stmt q(m_db->handle, "SELECT restart FROM commits WHERE job_id = ? ORDER BY id DESC LIMIT 1");
    q.Int(1, static_cast<int64_t>(jobId));
    if (q.Row()) restart = q.T(0);
    return q.Failed() ? SqlError(FXCODELOC, m_db->handle, "cannot read the restart string") : CWzError::Success();
}
