// DiskLibrary: the media of this platform, a disk library under the
// platform root ("media/").
//
// Archive files are real files ("media/afiles/<jxcell>/<group>/<id>"), one
// per stream of a job; each database backed up on that stream appends its
// piece at a recorded offset. The index ("media/index.db", SQLite) lists the
// archive files, their pieces (database, type, LSN range, stream i of n,
// backup set) and the commits. A piece is committed only after its bytes
// were synced; a restore reads committed pieces only.
//
// A job writes an archive file through a descriptor that holds an
// open-file-description lock on the whole file for as long as the job
// writes it; the kernel drops the lock when the descriptor is closed or the
// process ends, however it ends. Data nobody committed is reclaimed: the
// writer reclaims its own when it finishes the file (FinishWriting), and a
// later job reclaims that of a writer whose lock is gone (ReclaimAbandoned).
// Reclaiming truncates the file back to the end of its last committed piece,
// or deletes a file that holds no committed piece, and drops the uncommitted
// pieces from the index. Committed pieces are never touched, nor is a file
// whose writer still holds its lock.
//
// Switches for tests: the file "media/offline" makes the library refuse to
// open archive files; "media/quota" holds a byte count that the archive
// files together may not pass.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JxPipelineSetupUtility/ArchiveFileId.h"
#include "WzUtils/CWzError.h"

struct MediaArchiveFile {
    ArchiveFileId_t id;
    uint64_t jobId = 0;
    uint32_t stream = 0;     // 1-based stream of the job
    std::string path;        // absolute
    int64_t created = 0;     // seconds since 1970
    bool writing = false;    // a job writes it (or did, until reclaimed)
};

struct MediaPiece {
    int64_t id = 0;
    uint32_t archiveFileId = 0;
    uint64_t offset = 0;
    uint64_t length = 0;
    uint64_t jobId = 0;
    std::string database;
    std::string type;            // history letter
    std::string backupSetId;     // hex
    std::string firstLsn;
    std::string lastLsn;
    uint32_t stream = 0;         // 1-based
    uint32_t streams = 0;
    bool committed = false;
    int64_t commitTime = 0;
};

class DiskLibrary {
public:
    // The library's directory under the platform root.
    static std::string Directory();
    static bool IsOffline();
    // 0 = no quota.
    static uint64_t QuotaBytes();

    DiskLibrary() = default;
    ~DiskLibrary();
    DiskLibrary(const DiskLibrary&) = delete;
    DiskLibrary& operator=(const DiskLibrary&) = delete;

    // Opens (and on first use creates) the index.
    CWzError Open();

    // A new, empty archive file with a fresh 32-bit id, that nobody writes
    // (snapshot backups record their volumes under it).
    CWzError CreateArchiveFile(uint32_t jxCellId, uint64_t jobId, uint32_t stream, MediaArchiveFile& file);
    // A new, empty archive file for this job to write: `fd` is open for
    // writing and holds the file's lock. The job ends with FinishWriting and
    // then closes `fd`.
    CWzError CreateArchiveFileForWriting(uint32_t jxCellId, uint64_t jobId, uint32_t stream, MediaArchiveFile& file,
                                         int& fd);
    // The writer's last step on `file` through its `fd` (the lock held):
    // reclaims what was not committed (see above). `reclaimed` (optional)
    // receives the bytes freed.
    CWzError FinishWriting(const MediaArchiveFile& file, int fd, uint64_t* reclaimed = nullptr);
    // Reclaims the uncommitted data of every archive file whose writer is
    // gone; files of live writers are left alone. Tries every such file and
    // returns the first failure.
    CWzError ReclaimAbandoned(uint64_t* reclaimed = nullptr);
    // Where the committed data of an archive file with these pieces ends:
    // the end of its last committed piece (0 when none is).
    static uint64_t CommittedEnd(const std::vector<MediaPiece>& pieces);
    CWzError FindArchiveFile(uint32_t archiveFileId, MediaArchiveFile& file);
    CWzError ListArchiveFiles(std::vector<MediaArchiveFile>& files);
    // Bytes of every archive file together (for the quota).
    CWzError TotalBytes(uint64_t& bytes);

    // Records an uncommitted piece; `piece.id` receives its id.
    CWzError AddPiece(MediaPiece& piece);
    CWzError SetPieceLength(int64_t pieceId, uint64_t length);
    CWzError DropPiece(int64_t pieceId);
    // Marks the pieces committed in one transaction and stores the job's
    // restart string with the commit.
    CWzError CommitPieces(const std::vector<int64_t>& pieceIds, uint64_t jobId, const std::string& restart);
    CWzError PiecesOf(uint32_t archiveFileId, std::vector<MediaPiece>& pieces);
    // The piece of an archive file at `offset`; with `anyOffset` its only
    // (or first) piece.
    CWzError FindPiece(uint32_t archiveFileId, uint64_t offset, bool anyOffset, MediaPiece& piece);
    // The restart string of the job's last commit; empty when none.
    CWzError RestartString(uint64_t jobId, std::string& restart);

private:
    struct Db;  // the open index (DiskLibraryIndex.h)
    CWzError CreateFile(uint32_t jxCellId, uint64_t jobId, uint32_t stream, MediaArchiveFile& file, int* fd);
    // Reclaims the uncommitted data of `file` through `fd`, which holds its lock.
    CWzError Reclaim(const MediaArchiveFile& file, int fd, uint64_t* reclaimed);
    // Removes the index rows of an archive file that holds no committed piece.
    CWzError ForgetFile(uint32_t archiveFileId);

    Db* m_db = nullptr;
};
