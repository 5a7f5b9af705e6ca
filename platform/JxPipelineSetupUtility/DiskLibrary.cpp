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

#include "JxPipelineSetupUtility/DiskLibraryIndex.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS archive_files(
    id INTEGER PRIMARY KEY, jxcell_id INTEGER NOT NULL, group_id INTEGER NOT NULL, job_id INTEGER NOT NULL,
    stream INTEGER NOT NULL, path TEXT NOT NULL, created INTEGER NOT NULL, writing INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS pieces(
    id INTEGER PRIMARY KEY, afile_id INTEGER NOT NULL, offset INTEGER NOT NULL, length INTEGER NOT NULL,
    job_id INTEGER NOT NULL, database TEXT NOT NULL, type TEXT NOT NULL, set_id TEXT NOT NULL,
    first_lsn TEXT NOT NULL, last_lsn TEXT NOT NULL, stream INTEGER NOT NULL, streams INTEGER NOT NULL,
    committed INTEGER NOT NULL, commit_time INTEGER NOT NULL);
CREATE INDEX IF NOT EXISTS pieces_by_file ON pieces(afile_id, offset);
CREATE TABLE IF NOT EXISTS commits(
    id INTEGER PRIMARY KEY, job_id INTEGER NOT NULL, time INTEGER NOT NULL, restart TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS last_archive_file(id INTEGER NOT NULL);
)sql";

constexpr uint32_t kFirstArchiveFileId = 1000;

// Adds the column that marks the archive files a job writes to an index made
// before it existed (their files count as written to the end).
CWzError AddWritingColumn(sqlite3* db) {
    auto present = [db] {
        disklib::Stmt q(db, "SELECT COUNT(*) FROM pragma_table_info('archive_files') WHERE name = 'writing'");
        return q.Row() && q.I(0) > 0;
    };
    if (present()) return CWzError::Success();
    CWzError e = disklib::Exec(FXCODELOC, db, "ALTER TABLE archive_files ADD COLUMN writing INTEGER NOT NULL DEFAULT 0",
                               "cannot add the writing column");
    // Another process may have added it meanwhile.
    return e.IsError() && present() ? CWzError::Success() : e;
}

}  // namespace

using disklib::kFileColumns;
using disklib::kPieceColumns;
using disklib::ReadFile;
using disklib::ReadPiece;
using disklib::SqlError;
using disklib::Stmt;

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
    if (CWzError e = AddWritingColumn(db->handle); e.IsError()) return e;
    m_db = db.release();
    return CWzError::Success();
}

CWzError DiskLibrary::CreateArchiveFile(uint32_t jxCellId, uint64_t jobId, uint32_t stream, MediaArchiveFile& file) {
    return CreateFile(jxCellId, jobId, stream, file, nullptr);
}

CWzError DiskLibrary::CreateArchiveFileForWriting(uint32_t jxCellId, uint64_t jobId, uint32_t stream,
                                                  MediaArchiveFile& file, int& fd) {
    fd = -1;
    return CreateFile(jxCellId, jobId, stream, file, &fd);
}

// The file is created, and for a writer locked, before its row is committed,
// so a job that finds the row of a file being written finds it locked.
CWzError DiskLibrary::CreateFile(uint32_t jxCellId, uint64_t jobId, uint32_t stream, MediaArchiveFile& file,
                                 int* writerFd) {
    if (CWzError e = Open(); e.IsError()) return e;
    if (IsOffline()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "The media (disk library [%s]) is offline.",
                                         Directory().c_str());
    }
    sqlite3* db = m_db->handle;
    if (sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        return SqlError(FXCODELOC, db, "cannot begin");
    }
    // Ids are never given twice, not even those of removed files: a record
    // elsewhere that names a removed file must not find another one.
    CWzError err;
    {
        Stmt next(db,
                  "SELECT MAX(COALESCE((SELECT MAX(id) FROM archive_files), ?1 - 1), "
                  "COALESCE((SELECT MAX(id) FROM last_archive_file), ?1 - 1)) + 1");
        next.Int(1, kFirstArchiveFileId);
        if (!next.Row()) err = SqlError(FXCODELOC, db, "cannot number an archive file");
        file.id.archiveFileId = static_cast<uint32_t>(next.I(0));
    }
    if (err.IsSuccess()) err = disklib::Exec(FXCODELOC, db, "DELETE FROM last_archive_file", "cannot number an archive file");
    if (err.IsSuccess()) {
        Stmt last(db, "INSERT INTO last_archive_file VALUES(?)");
        last.Int(1, file.id.archiveFileId);
        err = last.Run(FXCODELOC, "cannot number an archive file");
    }
    if (err.IsError()) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        return err;
    }
    file.id.jxCellId = jxCellId;
    file.id.archiveGroupId = static_cast<uint32_t>(jobId & 0xFFFFFFFFu);
    file.jobId = jobId;
    file.stream = stream;
    file.created = static_cast<int64_t>(std::time(nullptr));
    file.writing = writerFd != nullptr;
    std::string folder = Directory() + wz::Format("/afiles/%u/%u", jxCellId, file.id.archiveGroupId);
    file.path = folder + wz::Format("/%u", file.id.archiveFileId);
    int fd = -1;
    if (wz::MakeDirectoryTree(folder) != 0) {
        err = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create [%s]", folder.c_str());
    } else if ((fd = wz::Fs().Open(file.path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644)) < 0) {
        err = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create archive file [%s]", file.path.c_str());
    } else if (writerFd != nullptr && !disklib::TryWriterLock(fd)) {
        err = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot lock archive file [%s]", file.path.c_str());
    } else {
        Stmt add(db, "INSERT INTO archive_files(id, jxcell_id, group_id, job_id, stream, path, created, writing) "
                     "VALUES(?, ?, ?, ?, ?, ?, ?, ?)");
        add.Int(1, file.id.archiveFileId).Int(2, jxCellId).Int(3, file.id.archiveGroupId);
        add.Int(4, static_cast<int64_t>(jobId)).Int(5, stream).Text(6, file.path).Int(7, file.created);
        add.Int(8, file.writing ? 1 : 0);
        err = add.Run(FXCODELOC, "cannot add an archive file");
    }
    if (err.IsSuccess() && sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        err = SqlError(FXCODELOC, db, "cannot commit");
    }
    if (err.IsError()) {
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (fd >= 0) {
            (void)wz::Fs().Unlink(file.path);  // not indexed, so not kept
            (void)wz::Fs().Close(fd);          // empty and removed: nothing to lose
        }
        return err;
    }
    if (writerFd != nullptr) {
        *writerFd = fd;
    } else {
        (void)wz::Fs().Close(fd);  // an empty file; nothing written that could be lost
    }
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
