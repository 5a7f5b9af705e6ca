// The log-dump writer against an engine that is slow, stalled, or whose dump
// file cannot be written: it waits as the data pipeline does, and says what
// ended a dump it could not finish.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <thread>
#include <vector>

#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "LogDumpWriter.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

// The engine's VDI time-out as the writer leaves it, in platform seconds.
constexpr uint32_t kVdiTimeOutSeconds = 300;

class LogDumpWriterTest : public ::testing::Test {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = vditest::kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        SqlSimDatabaseSpec db;
        db.name = "Sales";
        ASSERT_FALSE(sim.AddDatabase(db).IsError());
        SqlDataTransferHandler handler(true, 1, 7, 2, "cs", 1, 0);
        vditest::Outcome o = vditest::Backup(handler, "Sales", 'D', 1);
        ASSERT_TRUE(o.ok) << o.text;
        ASSERT_TRUE(handler.closePipeline(1, false));
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", 3, 1, "", 0}).IsError());
        folder = root.path() + "/mp1";
        ASSERT_EQ(0, wz::MakeDirectoryTree(folder));
    }

    std::vector<std::string> FolderNames() {
        std::vector<std::string> names;
        EXPECT_EQ(0, wz::Fs().ReadDirectory(folder, names));
        return names;
    }

    // One VDI time-out is 0.6 s of real time, so that a writer that gives up
    // does so quickly.
    jxtest::TestRoot root{0.002};
    SqlSimInstance sim;
    std::string folder;
};

TEST_F(LogDumpWriterTest, AStatementSlowerThanOneVdiTimeOutStillGivesItsDump) {
    // One VDI time-out is 6 s of real time here: a statement held 1.5 of them
    // outlasts a writer that waits one, and leaves a writer that waits as the
    // pipeline does (five of them) 21 s to spare on a busy machine.
    wz::SetTimeScale(0.02);
    VdiTestHold hold(VdiTestPoint::kBlockPut, 1);  // the stream's header
    CWzError result;
    std::string bak;
    std::thread writer([&] { result = WriteLogDump(vditest::kServer, "Sales", folder, bak); });
    const bool held = hold.WaitHeld();
    if (held) WZSLEEP_InTeRnAl(kVdiTimeOutSeconds * 1000 * 3 / 2);
    hold.Release();
    writer.join();
    ASSERT_TRUE(held);
    EXPECT_TRUE(result.IsSuccess()) << result.AsString();
    EXPECT_EQ(folder + "/sales_log_backup_1.bak", bak);
}

TEST_F(LogDumpWriterTest, AWriterThatGivesUpOnAStalledStatementSaysItTimedOut) {
    // Held until the writer's own time-out stops the statement.
    VdiTestHold hold(VdiTestPoint::kBlockPut, 1);
    std::string bak;
    CWzError result = WriteLogDump(vditest::kServer, "Sales", folder, bak);
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
    CWzError result = WriteLogDump(vditest::kServer, "Sales", folder, bak);
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kWrite), 1);
    ASSERT_TRUE(result.IsError());
    EXPECT_NE(result.AsString().find("could not be written"), std::string::npos) << result.AsString();
    EXPECT_EQ(result.AsString().find("timed out"), std::string::npos) << result.AsString();
    EXPECT_TRUE(FolderNames().empty());
}

}  // namespace
