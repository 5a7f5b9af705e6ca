// The log-dump writer against an engine that is slow, stalled, or whose dump
// file cannot be written: it waits as the data pipeline does, and says what
// ended a dump it could not finish.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "JxSQLVDIBase/VdiTestHold.h"
#include "LogDumpWriter.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/platform/JxSQLVDIBase/LogBackupFixture.h"
#include "tests/support/FaultyFileSystem.h"

namespace {

using vdilogtest::kServer;

class LogDumpWriterTest : public vdilogtest::LogBackupTest {
protected:
    void SetUp() override {
        LogBackupTest::SetUp();
        ASSERT_EQ(0, wz::MakeDirectoryTree(folder));
    }

    std::vector<std::string> FolderNames() { return Names(folder); }

    std::string folder = root.path() + "/mp1";
};

TEST_F(LogDumpWriterTest, AStatementSlowerThanOneVdiTimeOutStillGivesItsDump) {
    // One VDI time-out is 6 s of real time here: a statement held 1.5 of them
    // outlasts a writer that waits one, and leaves a writer that waits as the
    // pipeline does (five of them) 21 s to spare on a busy machine.
    wz::SetTimeScale(0.02);
    CWzError result;
    std::string bak;
    ASSERT_TRUE(RunWhileHeld(1.5, [&] { result = WriteLogDump(kServer, "Sales", folder, bak); }));
    EXPECT_TRUE(result.IsSuccess()) << result.AsString();
    EXPECT_EQ(folder + "/sales_log_backup_1.bak", bak);
}

TEST_F(LogDumpWriterTest, AWriterThatGivesUpOnAStalledStatementSaysItTimedOut) {
    // Held until the writer's own time-out stops the statement.
    VdiTestHold hold(VdiTestPoint::kBlockPut, 1);
    std::string bak;
    CWzError result = WriteLogDump(kServer, "Sales", folder, bak);
    ASSERT_TRUE(result.IsError());
    EXPECT_NE(result.AsString().find("timed out"), std::string::npos) << result.AsString();
    EXPECT_EQ(result.AsString().find("could not be written"), std::string::npos) << result.AsString();
    EXPECT_TRUE(FolderNames().empty());
}

TEST_F(LogDumpWriterTest, ADumpFileThatCannotBeWrittenIsSaidSoAndLeftNowhere) {
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailCallOn("*.bak.partial", jxtest::FsCall::kWrite, 1, ENOSPC);
    std::string bak;
    CWzError result = WriteLogDump(kServer, "Sales", folder, bak);
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kWrite), 1);
    ASSERT_TRUE(result.IsError());
    EXPECT_NE(result.AsString().find("could not be written"), std::string::npos) << result.AsString();
    EXPECT_EQ(result.AsString().find("timed out"), std::string::npos) << result.AsString();
    EXPECT_TRUE(FolderNames().empty());
}

}  // namespace
