// Reclaiming uncommitted data: what a writer leaves when it finishes, what a
// writer whose lock is gone left, and what is never touched (committed
// pieces, files of live writers, files nobody writes, paths outside the
// library).
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <iterator>
#include <string>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

class DiskLibraryReclaimTest : public jxtest::RootedTest {
protected:
    // A new archive file of `job` being written, with `bytes` bytes in it.
    MediaArchiveFile Writing(uint64_t job, uint64_t bytes, int& fd) {
        MediaArchiveFile file;
        EXPECT_FALSE(library.CreateArchiveFileForWriting(2, job, 1, file, fd).IsError());
        const std::string data(bytes, 'x');
        EXPECT_TRUE(wz::PWriteAll(fd, data.data(), data.size(), 0));
        return file;
    }

    int64_t AddPiece(const MediaArchiveFile& file, uint64_t offset, uint64_t length, bool commit) {
        MediaPiece p;
        p.archiveFileId = file.id.archiveFileId;
        p.offset = offset;
        p.length = length;
        p.jobId = file.jobId;
        p.database = "db" + std::to_string(offset);
        EXPECT_FALSE(library.AddPiece(p).IsError());
        if (commit) {
            EXPECT_FALSE(library.CommitPieces({p.id}, file.jobId, "-o 1").IsError());
        }
        return p.id;
    }

    static int64_t Size(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }

    static std::string Contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    bool Listed(uint32_t id, MediaArchiveFile& file) { return DiskLibrary().FindArchiveFile(id, file).IsSuccess(); }
    // The archive file holds exactly one piece, and that one committed.
    static void ExpectOneCommittedPiece(uint32_t archiveFileId) {
        std::vector<MediaPiece> pieces;
        ASSERT_FALSE(DiskLibrary().PiecesOf(archiveFileId, pieces).IsError());
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_TRUE(pieces[0].committed);
    }

    DiskLibrary library;
};

TEST_F(DiskLibraryReclaimTest, AFinishingWriterKeepsItsCommittedPiecesAndDropsTheRest) {
    int kept = -1, dropped = -1;
    MediaArchiveFile a = Writing(10, 300, kept);
    AddPiece(a, 0, 100, true);
    AddPiece(a, 100, 120, false);  // and 80 bytes no piece names
    MediaArchiveFile b = Writing(10, 50, dropped);
    AddPiece(b, 0, 50, false);

    uint64_t freed = 0;
    ASSERT_FALSE(library.FinishWriting(a, kept, &freed).IsError());
    EXPECT_EQ(freed, 200u);
    EXPECT_EQ(Size(a.path), 100);
    ExpectOneCommittedPiece(a.id.archiveFileId);
    MediaArchiveFile listed;
    ASSERT_TRUE(Listed(a.id.archiveFileId, listed));
    EXPECT_FALSE(listed.writing);

    ASSERT_FALSE(library.FinishWriting(b, dropped, &freed).IsError());
    EXPECT_EQ(freed, 50u);
    EXPECT_EQ(Size(b.path), -1);
    EXPECT_FALSE(Listed(b.id.archiveFileId, listed));
    std::vector<MediaPiece> pieces;
    ASSERT_FALSE(library.PiecesOf(b.id.archiveFileId, pieces).IsError());
    EXPECT_TRUE(pieces.empty());
    EXPECT_EQ(::close(kept), 0);
    EXPECT_EQ(::close(dropped), 0);

    // Ids are never given twice, not even that of the removed file.
    MediaArchiveFile c;
    ASSERT_FALSE(library.CreateArchiveFile(2, 11, 1, c).IsError());
    EXPECT_GT(c.id.archiveFileId, b.id.archiveFileId);
}

TEST_F(DiskLibraryReclaimTest, AnAbandonedFileIsReclaimedOnlyOnceItsWriterLetsGoOfItsLock) {
    int fd = -1;
    MediaArchiveFile file = Writing(20, 400, fd);
    AddPiece(file, 0, 150, true);
    AddPiece(file, 150, 250, false);
    MediaArchiveFile snapshot;  // nobody writes it, and it holds no piece
    ASSERT_FALSE(library.CreateArchiveFile(2, 21, 1, snapshot).IsError());

    // The writer lives (here in this very process, through its own open
    // file description): its file is left as it is.
    uint64_t freed = 0;
    ASSERT_FALSE(DiskLibrary().ReclaimAbandoned(&freed).IsError());
    EXPECT_EQ(freed, 0u);
    EXPECT_EQ(Size(file.path), 400);

    // Its descriptor closes without finishing the file, as when its process
    // is killed: the kernel drops the lock, and the next job reclaims.
    ASSERT_EQ(::close(fd), 0);
    ASSERT_FALSE(DiskLibrary().ReclaimAbandoned(&freed).IsError());
    EXPECT_EQ(freed, 250u);
    EXPECT_EQ(Size(file.path), 150);
    ExpectOneCommittedPiece(file.id.archiveFileId);
    MediaArchiveFile listed;
    ASSERT_TRUE(Listed(snapshot.id.archiveFileId, listed));
    EXPECT_EQ(Size(snapshot.path), 0);
    ASSERT_FALSE(DiskLibrary().ReclaimAbandoned(&freed).IsError());
    EXPECT_EQ(freed, 0u);
}

// Whether the cut itself or the sync that makes it durable fails, the file
// stays marked as written, its committed bytes as they were, and a later
// reclaim cuts it.
TEST_F(DiskLibraryReclaimTest, AFailedCutOrSyncOfTheCutLeavesTheFileToALaterReclaim) {
    for (jxtest::FsCall step : {jxtest::FsCall::kFtruncate, jxtest::FsCall::kFsync}) {
        SCOPED_TRACE(step == jxtest::FsCall::kFtruncate ? "cut" : "sync");
        int fd = -1;
        MediaArchiveFile file = Writing(30, 200, fd);
        AddPiece(file, 0, 100, true);
        {
            jxtest::FaultyFileSystem faulty;
            wz::ScopedFileSystem use(faulty);
            faulty.FailCall(step, 1, EIO);
            EXPECT_TRUE(library.FinishWriting(file, fd).IsError());
            EXPECT_EQ(faulty.Fired(step), 1);
        }
        MediaArchiveFile listed;
        ASSERT_TRUE(Listed(file.id.archiveFileId, listed));
        EXPECT_TRUE(listed.writing);
        ExpectOneCommittedPiece(file.id.archiveFileId);
        ASSERT_EQ(::close(fd), 0);
        uint64_t freed = 0;
        ASSERT_FALSE(DiskLibrary().ReclaimAbandoned(&freed).IsError());
        EXPECT_EQ(Contents(file.path), std::string(100, 'x')) << "the committed bytes, whole";
        ASSERT_TRUE(Listed(file.id.archiveFileId, listed));
        EXPECT_FALSE(listed.writing);
        ExpectOneCommittedPiece(file.id.archiveFileId);
    }
}

TEST_F(DiskLibraryReclaimTest, ARowThatNamesAFileOutsideTheLibraryIsNeverActedOn) {
    int fd = -1;
    MediaArchiveFile file = Writing(40, 10, fd);
    ASSERT_EQ(::close(fd), 0);
    const std::string victim = root.File("elsewhere/victim");
    root.WriteFile("elsewhere/victim", "keep me");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(root.File("media/index.db").c_str(), &db), SQLITE_OK);
    const std::string sql = "UPDATE archive_files SET path = '" + victim + "'";
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    CWzError e = DiskLibrary().ReclaimAbandoned();
    EXPECT_TRUE(e.IsError());
    EXPECT_NE(e.GetMessage().find("not where the disk library keeps it"), std::string::npos) << e.GetMessage();
    EXPECT_EQ(root.ReadFile("elsewhere/victim"), "keep me");
    EXPECT_EQ(Size(file.path), 10);
}

}  // namespace
