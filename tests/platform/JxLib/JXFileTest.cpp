// JXFile: lines written and read back, offsets that find a line again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JxLib/JXFile.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

class JXFileTest : public jxtest::RootedTest {
protected:
    std::string path = root.File("results/list.jxf");

    std::vector<std::string> ReadAll(JXFile& file, size_t size = 1024) {
        std::vector<std::string> lines;
        std::vector<char> buffer(size);
        int rc;
        while ((rc = file.getLine(buffer.data(), buffer.size())) == 1) lines.emplace_back(buffer.data());
        EXPECT_EQ(rc, 0);
        return lines;
    }
};

TEST_F(JXFileTest, OffsetTakenBeforeALineReadsThatLineAgain) {
    JXFile out;
    ASSERT_EQ(out.open(path.c_str(), JXFile::kWrite), 0);
    for (const char* name : {"alpha", "", "gamma db", "delta"}) ASSERT_GT(out.putLine(name), 0);
    ASSERT_EQ(out.close(), 0);

    JXFile in;
    ASSERT_EQ(in.open(path.c_str(), JXFile::kRead), 0);
    char buffer[1024];
    std::vector<int64_t> offsets;
    std::vector<std::string> lines;
    for (;;) {
        offsets.push_back(in.getCurOffset());
        if (in.getLine(buffer, sizeof buffer) != 1) break;
        lines.emplace_back(buffer);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"alpha", "", "gamma db", "delta"}));
    EXPECT_EQ(offsets, (std::vector<int64_t>{0, 6, 7, 16, 22}));
    ASSERT_EQ(in.seek(offsets[2], JXFile::kFromStart), 7);
    ASSERT_EQ(in.getLine(buffer, sizeof buffer), 1);
    EXPECT_STREQ(buffer, "gamma db");
}

TEST_F(JXFileTest, AppendAtTheEndAndTruncate) {
    root.WriteFile("results/list.jxf", "one\r\ntwo");  // a last line without break, a CRLF line
    JXFile file;
    ASSERT_EQ(file.open(path.c_str(), JXFile::kWrite), 0);
    EXPECT_EQ(ReadAll(file), (std::vector<std::string>{"one", "two"}));
    ASSERT_EQ(file.seek(0, JXFile::kFromEnd), 8);
    ASSERT_GT(file.putLine("three"), 0);
    ASSERT_EQ(file.bufWriteFlush(), 0);
    EXPECT_EQ(root.ReadFile("results/list.jxf"), "one\r\ntwothree\n");
    ASSERT_EQ(file.truncate(), 0);
    ASSERT_GT(file.putLine("four"), 0);
    ASSERT_EQ(file.close(), 0);
    EXPECT_EQ(root.ReadFile("results/list.jxf"), "four\n");
}

TEST_F(JXFileTest, SyncedLinesOutliveACrashAndAFailedSyncSaysWhy) {
    root.WriteFile("results/list.jxf", "");
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.RecordForCrash(root.path());
    JXFile file;
    ASSERT_EQ(file.open(path.c_str(), JXFile::kWrite), 0);
    ASSERT_GT(file.putLine("kept"), 0);
    ASSERT_EQ(file.sync(), 0);
    ASSERT_GT(file.putLine("lost"), 0);
    ASSERT_EQ(file.bufWriteFlush(), 0);
    faulty.FailCall(jxtest::FsCall::kFsync, 1, EIO);
    ASSERT_GT(file.putLine("unsynced"), 0);
    EXPECT_EQ(file.sync(), EIO);
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kFsync), 1);
    faulty.Crash();
    EXPECT_EQ(root.ReadFile("results/list.jxf"), "kept\n");
}

TEST_F(JXFileTest, LineLongerThanTheBufferIsAnErrorNotTwoLines) {
    root.WriteFile("results/list.jxf", std::string(2000, 'x') + "\nshort\n");
    JXFile file;
    ASSERT_EQ(file.open(path.c_str(), JXFile::kRead), 0);
    char buffer[1024];
    EXPECT_EQ(file.getLine(buffer, sizeof buffer), -1);
    EXPECT_NE(file.getLastError(), 0);
    EXPECT_EQ(file.getCurOffset(), 0);
    // A name of exactly 1023 bytes still fits.
    root.WriteFile("results/list.jxf", std::string(1023, 'y') + "\n");
    ASSERT_EQ(file.open(path.c_str(), JXFile::kRead), 0);
    EXPECT_EQ(ReadAll(file), (std::vector<std::string>{std::string(1023, 'y')}));
}

TEST_F(JXFileTest, ManyLinesAcrossReadChunksKeepTheirOffsets) {
    JXFile out;
    ASSERT_EQ(out.open(path.c_str(), JXFile::kWrite), 0);
    std::vector<int64_t> expected;
    for (int i = 0; i < 20000; ++i) {
        expected.push_back(out.getCurOffset());
        ASSERT_GT(out.putLine("database_" + std::to_string(i)), 0);
    }
    ASSERT_EQ(out.close(), 0);
    JXFile in;
    ASSERT_EQ(in.open(path.c_str(), JXFile::kRead), 0);
    char buffer[64];
    for (int i = 0; i < 20000; ++i) {
        ASSERT_EQ(in.getCurOffset(), expected[static_cast<size_t>(i)]);
        ASSERT_EQ(in.getLine(buffer, sizeof buffer), 1);
        ASSERT_EQ(std::string(buffer), "database_" + std::to_string(i));
    }
    EXPECT_EQ(in.getLine(buffer, sizeof buffer), 0);
}

TEST_F(JXFileTest, MissingFileAndClosedFileFail) {
    JXFile file;
    EXPECT_NE(file.open(root.File("nowhere/x.jxf").c_str(), JXFile::kRead), 0);
    EXPECT_FALSE(file.isOpened());
    EXPECT_LT(file.putLine("x"), 0);
    char buffer[8];
    EXPECT_EQ(file.getLine(buffer, sizeof buffer), -1);
}

}  // namespace
