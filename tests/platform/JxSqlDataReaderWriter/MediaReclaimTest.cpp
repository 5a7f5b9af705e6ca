// What failed and killed backups leave on the media: the pipeline removes
// its own uncommitted data when it closes, the next job reclaims that of a
// killed writer, and neither a running writer's file nor committed data is
// ever touched.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "JxJobClient/JXJobClient.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "VdiHarness.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

using namespace vditest;

class MediaReclaimTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        for (auto [name, size] : {std::pair{"Big", 3u}, std::pair{"Small", 1u}}) {
            SqlSimDatabaseSpec db;
            db.name = name;
            db.dataSize = size * 1024 * 1024;
            ASSERT_FALSE(sim.AddDatabase(db).IsError());
        }
    }

    static std::vector<MediaArchiveFile> Files() {
        std::vector<MediaArchiveFile> files;
        EXPECT_FALSE(DiskLibrary().ListArchiveFiles(files).IsError());
        return files;
    }

    static std::vector<MediaPiece> Pieces(const MediaArchiveFile& file) {
        std::vector<MediaPiece> pieces;
        EXPECT_FALSE(DiskLibrary().PiecesOf(file.id.archiveFileId, pieces).IsError());
        return pieces;
    }

    static int64_t Size(const std::string& path) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
    }

    // A whole job of one database on one stream; true when it committed.
    static bool Job(uint64_t jobId, const char* database) {
        SqlDataTransferHandler handler(true, jobId, 7, 2, "cs", 1, 0);
        Outcome o = Backup(handler, database, 'D', 1);
        EXPECT_TRUE(o.ok) << o.text;
        return o.ok && handler.closePipeline(1, false);
    }

    SqlSimInstance sim;
};

TEST_F(MediaReclaimTest, AFailedSyncAtCommitLeavesThePiecesUncommittedAndStoresNoRestartString) {
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    SqlDataTransferHandler handler(true, 70, 7, 2, "cs", 1, 0);
    ASSERT_TRUE(Backup(handler, "Small", 'D', 1).ok);
    faulty.FailCall(jxtest::FsCall::kFsync, 1, EIO, true);
    EXPECT_FALSE(handler.commitData());
    EXPECT_NE(handler.getLastErrorString().find("Cannot sync"), std::string::npos) << handler.getLastErrorString();
    EXPECT_TRUE(handler.isStopJob());
    ASSERT_EQ(Files().size(), 1u);
    const MediaArchiveFile file = Files()[0];
    ASSERT_EQ(Pieces(file).size(), 1u);
    EXPECT_FALSE(Pieces(file)[0].committed);
    std::string stored;
    ASSERT_FALSE(DiskLibrary().RestartString(70, stored).IsError());
    EXPECT_EQ(stored, "");
    EXPECT_EQ(JXJobClient(70).getRestartString(0), "");

    // The job ends failed: nothing of it stays on the media.
    EXPECT_FALSE(handler.closePipeline(1, false));
    EXPECT_TRUE(Files().empty());
    EXPECT_EQ(Size(file.path), -1);
    EXPECT_EQ(JXJobClient(70).getRestartString(0), "");
}

// A staged log dump that cannot be read fails its database: the dumps of
// that database copied before it leave neither bytes nor pieces behind, and
// the job's later commit keeps only what it backed up.
TEST_F(MediaReclaimTest, AFailedCopyOfStagedLogDumpsLeavesNothingOfThemOnTheMedia) {
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    SqlDataTransferHandler handler(true, 75, 7, 2, "cs", 1, 0);
    ASSERT_TRUE(Backup(handler, "Small", 'D', 1).ok);
    ASSERT_TRUE(handler.commitData());
    ASSERT_EQ(Files().size(), 1u);
    const MediaArchiveFile file = Files()[0];
    const int64_t committed = Size(file.path);
    ASSERT_GT(committed, 0);

    root.WriteFile("staged/one.bak", std::string(100 * 1024, 'a'));
    root.WriteFile("staged/two.bak", std::string(200 * 1024, 'b'));
    faulty.FailCallOn("two.bak", jxtest::FsCall::kRead, 2, EIO);  // after its first block was written
    EXPECT_FALSE(handler.backupDBLogFiles({root.File("staged/one.bak"), root.File("staged/two.bak")}));
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kRead), 1);
    EXPECT_NE(handler.getLastErrorString().find("two.bak"), std::string::npos) << handler.getLastErrorString();
    EXPECT_EQ(Size(file.path), committed) << "the copied dumps are cut off the archive file";
    EXPECT_EQ(Pieces(file).size(), 1u);

    // The job ends with its other database committed.
    EXPECT_TRUE(handler.closePipeline(1, false));
    const std::vector<MediaPiece> pieces = Pieces(file);
    ASSERT_EQ(pieces.size(), 1u);
    EXPECT_TRUE(pieces[0].committed);
    EXPECT_EQ(Size(file.path), committed);
}

// The cut of a failed database's bytes fails too: they stay in the file and
// the next database goes after them; those left at the file's end are cut
// off when the job finishes it. Nothing committed moves or is lost.
TEST_F(MediaReclaimTest, AFailedCutOfAFailedDatabaseLeavesItsBytesToTheFinishOfTheFile) {
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    SqlDataTransferHandler handler(true, 76, 7, 2, "cs", 1, 0);
    ASSERT_TRUE(Backup(handler, "Small", 'D', 1).ok);
    ASSERT_TRUE(handler.commitData());
    ASSERT_EQ(Files().size(), 1u);
    const MediaArchiveFile file = Files()[0];
    const std::string committed = ReadAll(file.path);
    ASSERT_FALSE(committed.empty());

    root.WriteFile("staged/one.bak", std::string(100 * 1024, 'a'));
    faulty.FailCallOn("one.bak", jxtest::FsCall::kRead, 2, EIO);  // after its first block was written
    faulty.FailCall(jxtest::FsCall::kFtruncate, 1, EIO);
    EXPECT_FALSE(handler.backupDBLogFiles({root.File("staged/one.bak")}));
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kFtruncate), 1);
    const int64_t uncut = Size(file.path);
    EXPECT_GT(uncut, static_cast<int64_t>(committed.size())) << "the failed cut left the copied bytes";

    ASSERT_TRUE(Backup(handler, "Small", 'D', 1).ok);
    ASSERT_TRUE(handler.commitData());
    faulty.FailCallOn("one.bak", jxtest::FsCall::kRead, 2, EIO);
    faulty.FailCall(jxtest::FsCall::kFtruncate, 1, EIO);
    EXPECT_FALSE(handler.backupDBLogFiles({root.File("staged/one.bak")}));
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kFtruncate), 2);
    EXPECT_TRUE(handler.closePipeline(1, false));
    const std::vector<MediaPiece> pieces = Pieces(file);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_TRUE(pieces[0].committed && pieces[1].committed);
    EXPECT_EQ(static_cast<int64_t>(pieces[1].offset), uncut) << "the next piece goes after the uncut bytes";
    const std::string after = ReadAll(file.path);
    EXPECT_EQ(after.substr(0, committed.size()), committed);
    EXPECT_EQ(static_cast<int64_t>(after.size()), uncut + static_cast<int64_t>(pieces[1].length))
        << "the uncut bytes at the end are gone";

    RestoreArchiveInfo a;
    a.archiveFileId = file.id.archiveFileId;
    a.offset = pieces[1].offset;
    RestoreOptions o;
    o.recovery = true;
    o.moves = {{"Small", root.File("r/small.mdf")}, {"Small_log", root.File("r/small.ldf")}};
    Outcome r = Restore("SmallCopy", {a}, o);
    EXPECT_TRUE(r.ok) << r.text;
}

TEST_F(MediaReclaimTest, AfterTheMediaFillsTheNextBackupThatFitsSucceedsWithNothingFreedByHand) {
    // The quota is reached: the failed job's partial file counted against it.
    root.WriteFile("media/quota", std::to_string(2 * 1024 * 1024 + 512 * 1024));
    {
        SqlDataTransferHandler handler(true, 71, 7, 2, "cs", 1, 0);
        Outcome o = Backup(handler, "Big", 'D', 1);
        EXPECT_FALSE(o.ok);
        EXPECT_NE(o.text.find("quota"), std::string::npos) << o.text;
        EXPECT_TRUE(handler.closePipeline(0, false));
    }
    EXPECT_TRUE(Files().empty());
    ASSERT_TRUE(Job(72, "Small"));

    // The disk is full: writes fail with ENOSPC part-way.
    {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailWritesAfter(512 * 1024, ENOSPC);
        SqlDataTransferHandler handler(true, 73, 7, 2, "cs", 1, 0);
        Outcome o = Backup(handler, "Big", 'D', 1);
        EXPECT_FALSE(o.ok);
        EXPECT_TRUE(handler.isStopJob());
        EXPECT_TRUE(handler.closePipeline(0, false));
    }
    ASSERT_TRUE(Job(74, "Small"));
    // Only the two committed backups are left, whole and nothing more.
    std::vector<MediaArchiveFile> files = Files();
    ASSERT_EQ(files.size(), 2u);
    for (const MediaArchiveFile& f : files) {
        std::vector<MediaPiece> pieces = Pieces(f);
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_TRUE(pieces[0].committed);
        EXPECT_EQ(Size(f.path), static_cast<int64_t>(pieces[0].length));
    }
}

// A child process that backs Small up and commits it, then streams Big
// without committing and waits to be killed.
class Writer {
public:
    Writer() {
        int ready[2];
        if (::pipe(ready) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            SqlDataTransferHandler handler(true, 80, 7, 2, "cs", 1, 0);
            bool ok = Backup(handler, "Small", 'D', 1).ok && handler.commitData();
            ok = ok && Backup(handler, "Big", 'D', 1).ok;
            if (!ok || ::write(ready[1], "r", 1) != 1) ::_exit(3);
            for (;;) ::pause();
        }
        ::close(ready[1]);
        char c = 0;
        m_ready = m_pid > 0 && ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
    }
    ~Writer() { Kill(); }
    bool Ready() const { return m_ready; }
    bool Kill() {
        if (m_pid <= 0) return false;
        ::kill(m_pid, SIGKILL);
        int status = 0;
        const bool killed = ::waitpid(m_pid, &status, 0) == m_pid && WIFSIGNALED(status);
        m_pid = -1;
        return killed;
    }

private:
    pid_t m_pid = -1;
    bool m_ready = false;
};

TEST_F(MediaReclaimTest, AKilledWritersDataIsReclaimedByTheNextJobAndARunningWritersIsNeverTouched) {
    Writer writer;
    ASSERT_TRUE(writer.Ready());
    ASSERT_EQ(Files().size(), 1u);
    const MediaArchiveFile file = Files()[0];
    const std::vector<MediaPiece> before = Pieces(file);
    ASSERT_EQ(before.size(), 2u);
    const int64_t size = Size(file.path);

    // A job while the writer lives leaves its file as it is.
    ASSERT_TRUE(Job(81, "Small"));
    EXPECT_EQ(Size(file.path), size);
    EXPECT_EQ(Pieces(file).size(), 2u);

    // Once it is killed, the next job cuts its file back to its committed piece.
    ASSERT_TRUE(writer.Kill());
    EXPECT_EQ(Size(file.path), size);
    ASSERT_TRUE(Job(82, "Small"));
    EXPECT_EQ(Size(file.path), static_cast<int64_t>(before[0].offset + before[0].length));
    std::vector<MediaPiece> after = Pieces(file);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].database, "Small");
    EXPECT_TRUE(after[0].committed);

    RestoreArchiveInfo a;
    a.archiveFileId = file.id.archiveFileId;
    RestoreOptions o;
    o.recovery = true;
    o.moves = {{"Small", root.File("r/small.mdf")}, {"Small_log", root.File("r/small.ldf")}};
    Outcome r = Restore("SmallCopy", {a}, o);
    EXPECT_TRUE(r.ok) << r.text;
}

}  // namespace
