// jxmedia as a user meets it: usage, listing, uncommitted pieces left by a
// killed backup until the next job reclaims them, damage found by verify,
// extraction.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "VdiHarness.h"

namespace {

using namespace vditest;

class JxmediaTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        for (const char* name : {"Done", "Cut"}) {
            SqlSimDatabaseSpec db;
            db.name = name;
            db.dataSize = 1024 * 1024;
            ASSERT_FALSE(sim.AddDatabase(db).IsError());
        }
    }

    int Run(const std::string& arguments, std::string& output) {
        output.clear();
        std::string command = std::string(JX_JXMEDIA_PROGRAM) + " " + arguments + " 2>&1";
        FILE* pipe = ::popen(command.c_str(), "r");
        if (pipe == nullptr) return -1;
        char buffer[512];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        int status = ::pclose(pipe);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // A child process backs "Done" up and commits it, streams "Cut" and is
    // killed before it commits.
    void KilledBackup() {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            SqlDataTransferHandler handler(true, 55, 7, 2, "cs", 1, 0);
            bool ok = Backup(handler, "Done", 'D', 2).ok && handler.commitData();
            ok = ok && Backup(handler, "Cut", 'D', 2).ok;
            if (!ok) ::_exit(3);
            ::raise(SIGKILL);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status)) << "child status " << status;
    }

    // Field `index` (0-based) of the line that `list` printed for `id`.
    static std::string ListedField(const std::string& listing, uint32_t id, size_t index) {
        std::istringstream lines(listing);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream words(line);
            std::vector<std::string> fields;
            for (std::string w; words >> w;) fields.push_back(w);
            if (!fields.empty() && fields[0] == std::to_string(id) && index < fields.size()) return fields[index];
        }
        return "";
    }

    SqlSimInstance sim;
    std::list<RestoreArchiveInfo> done;
};

TEST_F(JxmediaTest, ExplainsItselfToANewUser) {
    std::string out;
    EXPECT_EQ(Run("--help", out), 0);
    for (const char* word : {"list", "show", "verify", "extract", "UNCOMMITTED", "JX_PLATFORM_ROOT"}) {
        EXPECT_NE(out.find(word), std::string::npos) << word;
    }
    EXPECT_EQ(Run("", out), 2);
    EXPECT_NE(out.find("usage"), std::string::npos);
    EXPECT_EQ(Run("show", out), 2);
    EXPECT_NE(out.find("usage"), std::string::npos);
    EXPECT_EQ(Run("show -3", out), 2);
    EXPECT_EQ(Run("show 4294967296", out), 2);
    EXPECT_EQ(Run("show 12345", out), 1);
    EXPECT_NE(out.find("not on the media"), std::string::npos) << out;
    EXPECT_EQ(Run("list", out), 0);
    EXPECT_NE(out.find("no archive files"), std::string::npos) << out;
}

TEST_F(JxmediaTest, AKilledBackupsUncommittedBytesShowUntilTheNextJobReclaimsThemAndItsCommittedPieceStays) {
    KilledBackup();
    std::vector<MediaArchiveFile> files;
    ASSERT_FALSE(DiskLibrary().ListArchiveFiles(files).IsError());
    ASSERT_EQ(files.size(), 2u);
    std::vector<MediaPiece> pieces;
    ASSERT_FALSE(DiskLibrary().PiecesOf(files[0].id.archiveFileId, pieces).IsError());
    ASSERT_EQ(pieces.size(), 2u);
    const uint64_t doneEnd = pieces[0].offset + pieces[0].length;
    std::string out;
    ASSERT_EQ(Run("list", out), 0);
    EXPECT_NE(out.find("UNCOMMITTED BYTES"), std::string::npos) << out;
    EXPECT_EQ(ListedField(out, files[0].id.archiveFileId, 6), "1/2") << out;
    EXPECT_EQ(ListedField(out, files[0].id.archiveFileId, 7), std::to_string(pieces[1].length)) << out;
    ASSERT_EQ(Run("show " + std::to_string(files[0].id.archiveFileId), out), 0);
    EXPECT_NE(out.find("Done"), std::string::npos) << out;
    EXPECT_NE(out.find("committed"), std::string::npos) << out;
    EXPECT_NE(out.find("Cut"), std::string::npos) << out;
    EXPECT_NE(out.find("UNCOMMITTED"), std::string::npos) << out;
    EXPECT_NE(out.find("1 of 2"), std::string::npos) << out;

    // The next job (a restore of Done) reclaims them before it reads.
    std::list<RestoreArchiveInfo> cut;
    for (const MediaArchiveFile& f : files) {
        RestoreArchiveInfo a;
        a.archiveFileId = f.id.archiveFileId;
        done.push_back(a);
        a.offset = pieces[1].offset;
        cut.push_back(a);
    }
    RestoreOptions o;
    o.recovery = true;
    o.moves = {{"Done", root.File("r/done.mdf")}, {"Done_log", root.File("r/done.ldf")}};
    Outcome r = Restore("DoneCopy", done, o);
    EXPECT_TRUE(r.ok) << r.text;
    ASSERT_EQ(Run("list", out), 0);
    EXPECT_EQ(ListedField(out, files[0].id.archiveFileId, 5), std::to_string(doneEnd)) << out;
    EXPECT_EQ(ListedField(out, files[0].id.archiveFileId, 6), "1/1") << out;
    EXPECT_EQ(ListedField(out, files[0].id.archiveFileId, 7), "0") << out;
    o.moves = {{"Cut", root.File("r/cut.mdf")}, {"Cut_log", root.File("r/cut.ldf")}};
    r = Restore("CutCopy", cut, o);
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.text.find("holds no backup"), std::string::npos) << r.text;
}

TEST_F(JxmediaTest, VerifyFindsOneFlippedByteAndExtractCopiesAPiece) {
    SqlDataTransferHandler handler(true, 56, 7, 2, "cs", 1, 0);
    ASSERT_TRUE(Backup(handler, "Done", 'D', 1, &done).ok);
    ASSERT_TRUE(handler.closePipeline(1, false));
    std::string id = std::to_string(done.front().archiveFileId);
    std::string out;
    ASSERT_EQ(Run("verify", out), 0) << out;
    EXPECT_NE(out.find("OK"), std::string::npos);

    ASSERT_EQ(Run("extract " + id + " 0 " + root.File("piece.bin"), out), 0) << out;
    MediaArchiveFile file;
    ASSERT_FALSE(DiskLibrary().FindArchiveFile(static_cast<uint32_t>(done.front().archiveFileId), file).IsError());
    std::string original = ReadAll(file.path);
    EXPECT_TRUE(ReadAll(root.File("piece.bin")) == original);
    EXPECT_EQ(Run("extract " + id + " 0 " + root.File("piece.bin"), out), 1);  // never overwrites

    for (size_t at : {size_t{20}, original.size() / 2, original.size() - 3}) {
        std::string damaged = original;
        damaged[at] ^= 0x01;
        std::ofstream(file.path, std::ios::binary | std::ios::trunc) << damaged;
        EXPECT_EQ(Run("verify " + id, out), 1) << at;
        EXPECT_NE(out.find("DAMAGED"), std::string::npos) << out;
    }
    std::ofstream(file.path, std::ios::binary | std::ios::trunc) << original.substr(0, original.size() - 100);
    EXPECT_EQ(Run("verify " + id, out), 1);
    EXPECT_NE(out.find("cut short"), std::string::npos) << out;
}

}  // namespace
