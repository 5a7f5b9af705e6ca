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

    // A new, empty archive file with a fresh 32-bit id.
    CWzError CreateArchiveFile(uint32_t jxCellId, uint64_t jobId, uint32_t stream, MediaArchiveFile& file);
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
    struct Db;
    Db* m_db = nullptr;
};
