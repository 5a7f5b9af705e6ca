// Reclaiming what no job committed: a writer's own uncommitted data when it
// finishes an archive file, and the data of writers whose lock is gone.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "JxLib/EvDebug.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxPipelineSetupUtility/DiskLibraryIndex.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

using disklib::SqlError;
using disklib::Stmt;

namespace {

EvDebug& Log() {
    static EvDebug log("DiskLibrary");
    return log;
}

// An archive file is reclaimed only where the library puts it: its path is
// taken from the index, and nothing outside the library's folder of archive
// files may be truncated or removed because a row says so.
CWzError CheckPlace(const MediaArchiveFile& f) {
    const std::string expected = DiskLibrary::Directory() + wz::Format("/afiles/%u/%u/%u", f.id.jxCellId,
                                                                        f.id.archiveGroupId, f.id.archiveFileId);
    const std::string folder = wz::ResolveThroughLinks(DiskLibrary::Directory() + "/afiles");
    const std::string resolved = wz::ResolveThroughLinks(f.path);
    if (f.path != expected || folder.empty() || resolved.empty() || !wz::PathIsUnder(resolved, folder)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG,
                                         "archive file %u: its path [%s] is not where the disk library keeps it",
                                         f.id.archiveFileId, f.path.c_str());
    }
    return CWzError::Success();
}

}  // namespace

bool disklib::TryWriterLock(int fd) {
    struct flock region {};
    region.l_type = F_WRLCK;
    region.l_whence = SEEK_SET;
    region.l_start = 0;
    region.l_len = 0;  // the whole file
    return ::fcntl(fd, F_OFD_SETLK, &region) == 0;
}

uint64_t DiskLibrary::CommittedEnd(const std::vector<MediaPiece>& pieces) {
    uint64_t end = 0;
    for (const MediaPiece& p : pieces) {
        if (p.committed) end = std::max(end, p.offset + p.length);
    }
    return end;
}

CWzError DiskLibrary::FinishWriting(const MediaArchiveFile& file, int fd, uint64_t* reclaimed) {
    if (reclaimed != nullptr) *reclaimed = 0;
    CWzError e = Open();
    if (e.IsSuccess()) e = Reclaim(file, fd, reclaimed);
    if (e.IsError()) {
        EV_ERROR(Log(), "Cannot reclaim the uncommitted data of archive file %u of job %llu: %s",
                 file.id.archiveFileId, static_cast<unsigned long long>(file.jobId), e.GetMessage().c_str());
    }
    return e;
}

CWzError DiskLibrary::ForgetFile(uint32_t archiveFileId) {
    sqlite3* db = m_db->handle;
    if (CWzError e = disklib::Exec(FXCODELOC, db, "BEGIN IMMEDIATE", "cannot begin"); e.IsError()) return e;
    Stmt pieces(db, "DELETE FROM pieces WHERE afile_id = ? AND committed = 0");
    pieces.Int(1, archiveFileId);
    CWzError err = pieces.Run(FXCODELOC, "cannot drop uncommitted pieces");
    if (err.IsSuccess()) {
        // A file that holds committed pieces keeps its row whatever happened
        // to the file; it is only no longer looked after as written.
        Stmt file(db,
                  "DELETE FROM archive_files WHERE id = ?1 AND NOT EXISTS "
                  "(SELECT 1 FROM pieces WHERE afile_id = ?1 AND committed = 1)");
        file.Int(1, archiveFileId);
        err = file.Run(FXCODELOC, "cannot drop an archive file");
    }
    if (err.IsSuccess()) {
        Stmt done(db, "UPDATE archive_files SET writing = 0 WHERE id = ?");
        done.Int(1, archiveFileId);
        err = done.Run(FXCODELOC, "cannot mark an archive file written");
    }
    if (err.IsSuccess()) err = disklib::Exec(FXCODELOC, db, "COMMIT", "cannot commit");
    if (err.IsError()) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    return err;
}

CWzError DiskLibrary::Reclaim(const MediaArchiveFile& file, int fd, uint64_t* reclaimed) {
    std::vector<MediaPiece> pieces;
    if (CWzError e = PiecesOf(file.id.archiveFileId, pieces); e.IsError()) return e;
    const bool holdsCommitted = std::any_of(pieces.begin(), pieces.end(), [](const MediaPiece& p) { return p.committed; });
    const uint64_t keep = CommittedEnd(pieces);
    struct stat st {};
    if (wz::Fs().Fstat(fd, &st) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot look at archive file [%s]", file.path.c_str());
    }
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    uint64_t freed = 0;
    if (!holdsCommitted) {
        // The file goes before its row: a row without its file is forgotten
        // by the next reclaim, a file without its row would never be found.
        if (wz::Fs().Unlink(file.path) != 0 && errno != ENOENT) {
            return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot remove archive file [%s]", file.path.c_str());
        }
        if (CWzError e = ForgetFile(file.id.archiveFileId); e.IsError()) return e;
        freed = size;
    } else {
        if (size > keep) {
            // The row is marked done only once the shorter file is durable.
            if (wz::Fs().Ftruncate(fd, static_cast<off_t>(keep)) != 0 || wz::Fs().Fsync(fd) != 0) {
                return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot cut archive file [%s] back to %llu bytes",
                                               file.path.c_str(), static_cast<unsigned long long>(keep));
            }
            freed = size - keep;
        }
        if (CWzError e = ForgetFile(file.id.archiveFileId); e.IsError()) return e;
    }
    if (freed > 0) {
        EV_INFO(Log(), "Reclaimed %llu uncommitted bytes of archive file %u of job %llu (%s).",
                static_cast<unsigned long long>(freed), file.id.archiveFileId,
                static_cast<unsigned long long>(file.jobId), holdsCommitted ? "cut back" : "removed");
    }
    if (reclaimed != nullptr) *reclaimed += freed;
    return CWzError::Success();
}

CWzError DiskLibrary::ReclaimAbandoned(uint64_t* reclaimed) {
    if (reclaimed != nullptr) *reclaimed = 0;
    if (CWzError e = Open(); e.IsError()) return e;
    std::vector<MediaArchiveFile> files;
    {
        Stmt q(m_db->handle, (std::string(disklib::kFileColumns) + " WHERE writing = 1 ORDER BY id").c_str());
        while (q.Row()) {
            MediaArchiveFile f;
            disklib::ReadFile(q, f);
            files.push_back(f);
        }
        if (q.Failed()) return SqlError(FXCODELOC, m_db->handle, "cannot list archive files being written");
    }
    CWzError first;
    for (const MediaArchiveFile& listed : files) {
        CWzError err = CheckPlace(listed);
        const int fd = err.IsSuccess() ? wz::Fs().Open(listed.path, O_WRONLY | O_NOFOLLOW | O_CLOEXEC) : -1;
        if (err.IsSuccess() && fd < 0) {
            // Gone already: its writer removed it and ended before the index knew.
            err = errno == ENOENT ? ForgetFile(listed.id.archiveFileId)
                                  : FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot open archive file [%s]",
                                                            listed.path.c_str());
        }
        if (fd >= 0) {
            struct stat held {}, named {};
            MediaArchiveFile now;
            if (!disklib::TryWriterLock(fd)) {
                // EAGAIN or EACCES: its writer lives, and its file is its own.
                if (errno != EAGAIN && errno != EACCES) {
                    err = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot lock archive file [%s]", listed.path.c_str());
                }
            } else if (wz::Fs().Fstat(fd, &held) != 0 || wz::Fs().Lstat(listed.path, &named) != 0 ||
                       held.st_ino != named.st_ino || held.st_dev != named.st_dev || !S_ISREG(held.st_mode)) {
                // Removed or replaced meanwhile by whoever held the lock before.
            } else if (FindArchiveFile(listed.id.archiveFileId, now).IsSuccess() && now.writing) {
                // Its writer may have finished it between the listing and the lock.
                err = Reclaim(now, fd, reclaimed);
            }
            (void)wz::Fs().Close(fd);  // gives the lock back; only a synced truncation went through it
        }
        if (err.IsError()) {
            EV_ERROR(Log(), "Cannot reclaim archive file %u of job %llu: %s", listed.id.archiveFileId,
                     static_cast<unsigned long long>(listed.jobId), err.GetMessage().c_str());
            if (first.IsSuccess()) first = err;
        }
    }
    return first;
}
