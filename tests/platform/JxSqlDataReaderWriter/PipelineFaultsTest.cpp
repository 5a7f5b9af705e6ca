// The pipeline and the engine when things go wrong: a reset while a
// transfer runs, an engine released after a failed transfer, time-outs, and
// failed databases that must not reach a later commit.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "VdiHarness.h"
#include "WzUtils/WzFileSystem.h"

namespace {

using namespace vditest;

// The file system in use (the test root's), except that positioned writes
// wait until the test lets them go.
class GatedFileSystem : public wz::ForwardingFileSystem {
public:
    ssize_t PWrite(int fd, const void* b, size_t n, off_t o) override {
        {
            std::unique_lock<std::mutex> lock(mutex);
            blocked = true;
            changed.notify_all();
            changed.wait(lock, [&] { return open; });
        }
        return wz::ForwardingFileSystem::PWrite(fd, b, n, o);
    }

    void WaitBlocked() {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return blocked; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
        changed.notify_all();
    }

    std::mutex mutex;
    std::condition_variable changed;
    bool blocked = false;
    bool open = false;
};

class PipelineFaultsTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        for (const char* name : {"A", "B"}) {
            SqlSimDatabaseSpec db;
            db.name = name;
            db.dataSize = 1024 * 1024;
            ASSERT_FALSE(sim.AddDatabase(db).IsError());
        }
    }

    SqlSimInstance sim;
};

TEST_F(PipelineFaultsTest, ResetWhileATransferRunsStopsItWithoutPullingAnythingFromUnderIt) {
    GatedFileSystem gate;
    wz::ScopedFileSystem installed(gate);
    SqlDataTransferHandler handler(true, 91, 7, 2, "cs", 1, 0);
    auto engine = std::make_unique<CJxSQLVDI>();
    Configure(*engine, 2);
    engine->setBackupType('D');
    ASSERT_TRUE(engine->Initialize());
    ASSERT_TRUE(engine->SetServerName(kServer, "A"));
    handler.setDbName("A");
    handler.setVDIBase(engine.get());
    handler.setStreams(2);
    bool transferred = true;
    std::thread transfer([&] { transferred = handler.startTransfer(); });
    gate.WaitBlocked();
    // The job gave up waiting: it resets the handler while the transfer
    // still runs, then lets the write go on.
    handler.removeDataReaderWriters();
    handler.reset();
    EXPECT_TRUE(handler.getStreamWriterMap().empty());
    gate.Release();
    transfer.join();
    EXPECT_FALSE(transferred);
    EXPECT_FALSE(engine->Finalize(false));
    engine.reset();
    EXPECT_TRUE(handler.closePipeline(0, false));
}

TEST_F(PipelineFaultsTest, AfterAFailedTransferTheReleasedEngineIsNeverTouched) {
    root.WriteFile("media/quota", "50000");
    SqlDataTransferHandler handler(true, 92, 7, 2, "cs", 1, 0);
    auto* engine = new CJxSQLVDI;
    Configure(*engine, 1);
    engine->setBackupType('D');
    ASSERT_TRUE(engine->Initialize());
    ASSERT_TRUE(engine->SetServerName(kServer, "A"));
    handler.setDbName("A");
    handler.setVDIBase(engine);
    handler.setStreams(1);
    EXPECT_FALSE(handler.startTransfer());
    EXPECT_TRUE(handler.isStopJob());
    // Released without Finalize: its destructor ends the statement itself.
    delete engine;
    EXPECT_FALSE(handler.getStreamWriterMap().size() > 0);
    EXPECT_TRUE(handler.commitData());
    handler.removeDataReaderWriters();
    handler.reset();
    EXPECT_TRUE(handler.closePipeline(1, false));
}

TEST_F(PipelineFaultsTest, APipelineFailureEndsTheStatementAtOnceWithItsOwnText) {
    root.WriteFile("media/quota", "50000");
    SqlDataTransferHandler handler(true, 93, 7, 2, "cs", 1, 0);
    Outcome o = Backup(handler, "A", 'D', 2);
    EXPECT_FALSE(o.ok);
    EXPECT_FALSE(o.timedOut);
    EXPECT_NE(o.text.find("quota"), std::string::npos) << o.text;
}

TEST_F(PipelineFaultsTest, AStreamNobodyServesEndsTheStatementAsAVdiTimeOut) {
    CJxSQLVDI engine;
    engine.setVDIMaxTransferSize(64 * 1024);
    engine.setVDIBuffercount(2);
    engine.setNumberOfStreams(1);
    engine.setVDITimeOut(20);  // platform seconds: 20 ms of real time in tests
    engine.SetVDITimeoutRetryCountLimit(2);
    engine.setBackupType('D');
    ASSERT_TRUE(engine.Initialize());
    ASSERT_TRUE(engine.SetServerName(kServer, "A"));
    ASSERT_TRUE(engine.StartVDIOperation());
    EXPECT_FALSE(engine.Finalize(false));
    EXPECT_TRUE(engine.queryFailed());
    EXPECT_TRUE(engine.isVdiTimeOut());
}

TEST_F(PipelineFaultsTest, AFailedDatabasesPiecesNeverReachALaterCommit) {
    SqlDataTransferHandler handler(true, 94, 7, 2, "cs", 1, 0);
    std::list<RestoreArchiveInfo> a;
    ASSERT_TRUE(Backup(handler, "A", 'D', 1, &a).ok);
    root.WriteFile("vdi/fail/B", "3203");
    EXPECT_FALSE(Backup(handler, "B", 'D', 1).ok);
    // The quota is reached part-way through B.
    uint64_t used = 0;
    ASSERT_FALSE(DiskLibrary().TotalBytes(used).IsError());
    root.WriteFile("media/quota", std::to_string(used + 200 * 1024));
    EXPECT_FALSE(Backup(handler, "B", 'D', 1).ok);
    ASSERT_EQ(std::remove(root.File("media/quota").c_str()), 0);
    ASSERT_TRUE(Backup(handler, "A", 'D', 1).ok);
    ASSERT_TRUE(handler.closePipeline(1, false));
    std::vector<MediaPiece> pieces;
    ASSERT_FALSE(DiskLibrary().PiecesOf(static_cast<uint32_t>(a.front().archiveFileId), pieces).IsError());
    ASSERT_EQ(pieces.size(), 2u);
    for (const MediaPiece& p : pieces) {
        EXPECT_EQ(p.database, "A");
        EXPECT_TRUE(p.committed);
    }
    // Nor do their bytes stay in the archive file: the next piece starts
    // where the last good one ended.
    EXPECT_EQ(pieces[1].offset, pieces[0].length);
    MediaArchiveFile file;
    ASSERT_FALSE(DiskLibrary().FindArchiveFile(pieces[0].archiveFileId, file).IsError());
    EXPECT_EQ(ReadAll(file.path).size(), pieces[0].length + pieces[1].length);
}

TEST_F(PipelineFaultsTest, AStopRequestEndsBackupAndRestoreAtOnceAndLeavesTheDatabaseAsItWas) {
    SqlDataTransferHandler backup(true, 95, 7, 2, "cs", 1, 0);
    std::list<RestoreArchiveInfo> full;
    ASSERT_TRUE(Backup(backup, "A", 'D', 1, &full).ok);
    ASSERT_TRUE(backup.closePipeline(1, false));

    JXJobCtrlClient control(96);
    ASSERT_TRUE(JXJobCtrlClient::requestStop(96));
    SqlDataTransferHandler stopped(true, 96, 7, 2, "cs", 1, 0);
    stopped.setJobControllerObject(&control);
    Outcome o = Backup(stopped, "B", 'D', 1);
    EXPECT_FALSE(o.ok);
    EXPECT_FALSE(o.timedOut);
    EXPECT_EQ(o.code, 3013) << o.text;
    EXPECT_NE(o.text.find("asked the job to stop"), std::string::npos) << o.text;

    SqlDataTransferHandler handler;
    handler.setJobControllerObject(&control);
    CJxSQLVDI engine;
    engine.SetRestore();
    Configure(engine, 1);
    engine.addFileToRename("A", root.File("r/a.mdf"));
    engine.addFileToRename("A_log", root.File("r/a.ldf"));
    ASSERT_TRUE(engine.Initialize());
    ASSERT_TRUE(engine.SetServerName(kServer, "ACopy"));
    handler.setVDIBase(&engine);
    handler.setStreams(1);
    handler.setRestoreArchiveFileInfoList(full);
    EXPECT_FALSE(handler.startTransfer());
    EXPECT_FALSE(engine.Finalize(true));
    EXPECT_TRUE(engine.isQuit());
    EXPECT_EQ(DatabaseState(sim, "ACopy"), -1);
}

}  // namespace
