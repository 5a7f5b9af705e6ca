// The data-transfer wait of one backup's restore: progress at every
// interval until the transfer ends, a stop request and a stalled transfer,
// and the progress interval setting.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <list>
#include <memory>
#include <mutex>
#include <numeric>
#include <optional>
#include <thread>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxLib/JXGlobalParam.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLCommon/restore/SqlServerAccount.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/restore/FakeSqlServerAccount.h"
#include "tests/JxSQLCommon/restore/RecordingRstJobClient.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/platform/JxSqlDataReaderWriter/VdiHarness.h"

namespace {

using namespace vditest;

constexpr uint64_t kJob = 77;

// Reads after the first `freeReads` wait until the test lets them go.
class GatedReads : public wz::ForwardingFileSystem {
public:
    explicit GatedReads(int freeReads) : m_freeReads(freeReads) {}
    ssize_t PRead(int fd, void* b, size_t n, off_t o) override {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_freeReads > 0) {
            --m_freeReads;
        } else if (!m_open) {
            ++m_held;
            m_changed.wait(lock, [&] { return m_open; });
        }
        lock.unlock();
        return wz::ForwardingFileSystem::PRead(fd, b, n, o);
    }

    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    // Whether a read has been held (it stays held until Open).
    bool Holding() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_held > 0;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_freeReads;
    int m_held = 0;
    bool m_open = false;
};

// Every read takes `takesMs` platform milliseconds, and every read after the
// first waits for a progress report of the job's wait since the last one,
// so that the wait looks at the transfer between any two reads; Release
// lets the reads go on their own. The time passes by moving the platform
// clock on, not by sleeping: what the wait sees does not depend on how fast
// the machine runs the reads.
class PacedReads : public wz::ForwardingFileSystem {
public:
    PacedReads(const RecordingRstJobClient& client, int64_t takesMs) : m_client(client), m_takesMs(takesMs) {}
    ssize_t PRead(int fd, void* b, size_t n, off_t o) override {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            while (m_client.updates <= m_lastSeenUpdates && !m_released) std::this_thread::yield();
            m_lastSeenUpdates = m_client.updates;
            wz::AdvanceClock(m_takesMs);
        }
        ++reads;
        return wz::ForwardingFileSystem::PRead(fd, b, n, o);
    }
    void Release() { m_released = true; }
    std::atomic<int> reads{0};

private:
    const RecordingRstJobClient& m_client;
    const int64_t m_takesMs;
    std::mutex m_mutex;  // one read at a time takes its time
    int m_lastSeenUpdates = -1;
    std::atomic<bool> m_released{false};
};

// A job whose transfer thread left running can be waited for.
struct WaitableJob : HookCountingJob {
    using CSQLRestoreBase::TransferLeftRunning;
    using CSQLRestoreBase::WaitForTransferLeftRunning;
};

class CSQLRestoreTransferTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        SqlSimDatabaseSpec db;
        db.name = "A";
        db.dataSize = 1024 * 1024;
        ASSERT_FALSE(sim.AddDatabase(db).IsError());
        SqlDataTransferHandler backup(true, 70, 7, 2, "cs", 1, 0);
        ASSERT_TRUE(Backup(backup, "A", 'D', 1, &archives).ok);
        ASSERT_TRUE(backup.closePipeline(1, false));

        job.m_jobId = kJob;
        job.m_updateIntervalSecs = 1;
        job.m_pRstJobClnt = client;
        engine.SetRestore();
        Configure(engine, 1);
        engine.initializeTSqlFlags();
        engine.setLoadingState();
        engine.addFileToRename("A", root.File("r/a.mdf"));
        engine.addFileToRename("A_log", root.File("r/a.ldf"));
        ASSERT_TRUE(engine.Initialize());
        ASSERT_TRUE(engine.SetServerName(kServer, "ACopy"));
        SqlDataTransferHandler& handler = job.m_dataTransferHandler;
        handler.setDbName("ACopy");
        handler.setVDIBase(&engine);
        handler.setStreams(1);
        handler.setRestoreArchiveFileInfoList(archives);
    }

    // Runs the job's transfer on a thread of its own, as the job's thread.
    void StartTransfer() {
        transfer = std::thread([this] {
            transferred = job.transferData();
            transferReturned = true;
        });
    }
    // Whether the job's wait returns while `gate` still holds its read:
    // waits long in real time (no speed is measured), then lets the read go
    // so that a wait without end ends the test instead of hanging it.
    bool TransferReturnsWhileTheReadIsHeld(GatedReads& gate) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!transferReturned && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const bool returned = transferReturned;
        gate.Open();
        transfer.join();
        return returned;
    }
    void TearDown() override { WaitForTheTransferLeftRunning(); }

    // Installs a file-system stand-in for the rest of the test. The fixture
    // owns it: a transfer the job lets go of may still read through it after
    // the test's body has ended.
    template <class Reads, class... Args>
    Reads& InstallReads(Args&&... args) {
        auto reads = std::make_unique<Reads>(std::forward<Args>(args)...);
        Reads& installed = *reads;
        readsInUse.reset();
        installedReads = std::move(reads);
        readsInUse.emplace(installed);
        return installed;
    }

    // Waits until the transfer thread the job let go of has ended: it uses
    // the engine, the handler and the file-system stand-in. A minute of real
    // time is plenty; past it the test has failed, and the wait goes on, as
    // those objects must outlive the thread.
    void WaitForTheTransferLeftRunning() {
        const auto minute = static_cast<uint64_t>(60000 / wz::TimeScale());
        if (job.WaitForTransferLeftRunning(minute)) return;
        ADD_FAILURE() << "The transfer the job let go of still runs after a minute.";
        while (!job.WaitForTransferLeftRunning(minute)) {
        }
    }

    // Destroyed last, after every object the job's threads use.
    std::unique_ptr<wz::FileSystem> installedReads;
    std::optional<wz::ScopedFileSystem> readsInUse;
    SqlSimInstance sim;
    std::list<RestoreArchiveInfo> archives;
    WaitableJob job;
    std::shared_ptr<RecordingRstJobClient> client = std::make_shared<RecordingRstJobClient>();
    CJxSQLVDI engine;
    std::thread transfer;
    bool transferred = false;
    std::atomic<bool> transferReturned{false};
};

TEST_F(CSQLRestoreTransferTest, ProgressIsReportedEveryIntervalUntilTheTransferEnds) {
    GatedReads& gate = InstallReads<GatedReads>(1);
    StartTransfer();
    while (client->updates < 3) std::this_thread::yield();  // three intervals while the reads are held
    gate.Open();
    transfer.join();
    EXPECT_TRUE(transferred);
    EXPECT_TRUE(engine.Finalize(false));
    const uint64_t moved = job.m_dataTransferHandler.getBytesTransferred();
    EXPECT_GT(moved, 0u);
    EXPECT_EQ(std::accumulate(client->bytesAdded.begin(), client->bytesAdded.end(), int64_t{0}),
              static_cast<int64_t>(moved));
    ASSERT_FALSE(client->rcids.empty());
    EXPECT_EQ(client->rcids.front(), static_cast<int>(archives.front().archiveFileId));
    EXPECT_EQ(DatabaseState(sim, "ACopy"), 2);  // RESTORING, as the options asked
}

TEST_F(CSQLRestoreTransferTest, AStopRequestStopsTheTransferAndTheWaitLastsUntilItEnded) {
    // The reads are held until the stop was asked of the transfer, so that
    // a transfer finishing before the wait first looks cannot pass for one
    // that was stopped.
    GatedReads& gate = InstallReads<GatedReads>(0);
    job.m_vdiTimeout = 3600;  // the transfer's last chance to end after the stop: room for a loaded machine
    JXJobCtrlClient control(kJob);
    job.m_pJobCtrlClnt = &control;
    ASSERT_TRUE(JXJobCtrlClient::requestStop(kJob));
    StartTransfer();
    // The wait reports progress, then asks for the stop, at each interval:
    // a second report comes after the stop was asked. A stop that reaches
    // the stream before its first read ends the transfer with no second.
    while (client->updates < 2 && !transferReturned) std::this_thread::yield();
    gate.Open();
    transfer.join();
    job.m_pJobCtrlClnt = nullptr;
    EXPECT_FALSE(transferred);
    EXPECT_FALSE(job.TransferLeftRunning());
    EXPECT_FALSE(engine.Finalize(true));
    EXPECT_NE(DatabaseState(sim, "ACopy"), 1);
    EXPECT_TRUE(client->causes.empty());
}

TEST_F(CSQLRestoreTransferTest, NoByteMovedForTheVdiTimeOutFailsAsATimeOut) {
    GatedReads& gate = InstallReads<GatedReads>(0);
    job.m_vdiTimeout = 1000;
    job.m_sServername = kServer;
    StartTransfer();
    while (client->causeCount == 0) std::this_thread::yield();  // the stall was found and the transfer stopped
    gate.Open();
    transfer.join();
    EXPECT_FALSE(transferred);
    EXPECT_FALSE(job.TransferLeftRunning());
    EXPECT_EQ(client->causes, (std::vector<int>{kCauseVdiTimeout}));
    EXPECT_EQ(client->arguments, (std::vector<std::string>{kServer}));
    EXPECT_FALSE(engine.Finalize(false));
}

TEST_F(CSQLRestoreTransferTest, ATransferSlowerThanTheVdiTimeOutThatKeepsMovingIsNoStall) {
    // A read takes a tenth of the time-out, far inside it. A real second is
    // 50 platform seconds here: only a pause of this process of a minute
    // and more could look like a stall.
    wz::SetTimeScale(0.02);
    job.m_vdiTimeout = 3600;
    PacedReads& reads = InstallReads<PacedReads>(*client, 360 * 1000);
    job.m_sServername = kServer;
    const int64_t start = wz::ClockMs();
    EXPECT_TRUE(job.transferData());
    reads.Release();  // a transfer left running is no longer looked at
    EXPECT_GT(wz::ClockMs() - start, 3600 * 1000) << reads.reads << " reads";  // the transfer outlasted the time-out
    EXPECT_TRUE(client->causes.empty());
    EXPECT_TRUE(engine.Finalize(false));
}

TEST_F(CSQLRestoreTransferTest, AReadThatNeverReturnsEndsTheWaitOneVdiTimeOutAfterTheStall) {
    GatedReads& gate = InstallReads<GatedReads>(0);
    job.m_vdiTimeout = 1000;  // the read is held before the stall is found
    job.m_sServername = kServer;
    StartTransfer();
    ASSERT_TRUE(TransferReturnsWhileTheReadIsHeld(gate));
    EXPECT_FALSE(transferred);
    EXPECT_TRUE(job.TransferLeftRunning());
    EXPECT_EQ(client->causes, (std::vector<int>{kCauseVdiTimeout}));
    // No second transfer starts while the first may still run.
    EXPECT_FALSE(job.transferData());
    WaitForTheTransferLeftRunning();
    EXPECT_FALSE(engine.Finalize(false));
}

TEST_F(CSQLRestoreTransferTest, AStopRequestWithAReadThatNeverReturnsEndsTheWaitOneVdiTimeOutLater) {
    GatedReads& gate = InstallReads<GatedReads>(0);
    JXJobCtrlClient control(kJob);
    job.m_pJobCtrlClnt = &control;
    job.m_vdiTimeout = 1000;  // no stall before the stop request
    StartTransfer();
    while (!gate.Holding()) std::this_thread::yield();
    ASSERT_TRUE(JXJobCtrlClient::requestStop(kJob));
    ASSERT_TRUE(TransferReturnsWhileTheReadIsHeld(gate));
    EXPECT_FALSE(transferred);
    EXPECT_TRUE(job.TransferLeftRunning());
    EXPECT_TRUE(client->causes.empty());  // the job manager asked for it
    WaitForTheTransferLeftRunning();
    job.m_pJobCtrlClnt = nullptr;
    EXPECT_FALSE(engine.Finalize(true));
}

TEST_F(CSQLRestoreTransferTest, AnIntervalThatIsNoPositiveNumberIsFiveMinutes) {
    job.m_updateIntervalSecs = 0;  // waits 300 platform seconds at most, and returns as soon as the transfer ends
    EXPECT_TRUE(job.transferData());
    EXPECT_TRUE(engine.Finalize(false));

    EXPECT_EQ(job.getUpdateIntervalSecs(), 300);
    for (const char* text : {"0", "-5", "soon"}) {
        ASSERT_TRUE(JXGlobalParam::setProperty("RecoveryUpdateSecs_81", text));
        EXPECT_EQ(job.getUpdateIntervalSecs(), 300) << text;
    }
    ASSERT_TRUE(JXGlobalParam::setProperty("RecoveryUpdateSecs_81", "45"));
    EXPECT_EQ(job.getUpdateIntervalSecs(), 45);
}

TEST_F(CSQLRestoreTransferTest, ProgressWithoutARestoreLinkIsSkipped) {
    job.m_pRstJobClnt.reset();
    std::vector<unsigned long long> counts(64, 0);
    EXPECT_FALSE(job.updateByteTransferredInRestoreJobDetails(counts));
}

// The whole of one backup's restore: the archive files the chain names, the
// files relocated into directories made for SQL Server, the database left
// restoring for the next backup, the bytes counted.
class CSQLRestoreOneBackupTest : public CSQLRestoreTransferTest {
protected:
    void SetUp() override {
        CSQLRestoreTransferTest::SetUp();
        account.writable.insert(dir);
        ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("subclient", 7), "tunableBufferCount", "4"));
        job.m_dataTransferHandler.reset();  // the job gives the handler the backup itself
        job.m_sServername = kServer;
        job.m_sqlMajorVersion = 15;
        job.m_vdiTimeout = 3000;
        db.sDbName = "A";
        db.newDbName = "ACopy2";
        db.databaseId = 9;
        db.relocationList = {"A", "A_log"};
        db.newFiles = {dir + "/a.mdf", dir + "/a.ldf"};
        backup.backupType = 'D';
        backup.applicationId = 7;
        for (const RestoreArchiveInfo& a : archives) {
            backup.archiveFiles.push_back({a.jxCellId, a.archiveFileId, a.offset, ""});
        }
    }

    FakeSqlServerAccount account;
    ScopedSqlServerAccount installed{account};
    const std::string dir = root.path() + "/relocated/copy";
    SqlRestoreDbInfo_t db;
    SqlAFilesPerBackup_t backup;
};

TEST_F(CSQLRestoreOneBackupTest, ItIsRestoredUnderANewNameIntoItsRelocatedFiles) {
    ASSERT_TRUE(job.restoreVDIBackup(db, backup, {}, {}));
    EXPECT_EQ(job.preHooks, 1);
    EXPECT_EQ(job.postHooks, 1);
    EXPECT_EQ(DatabaseState(sim, "ACopy2"), 2);  // RESTORING: the chain goes on
    EXPECT_EQ(ReadAll(dir + "/a.mdf"), ReadAll(DataFiles(sim, "A").front()));
    EXPECT_GT(job.m_bytesRestored, 0u);
    EXPECT_TRUE(job.m_dataTransferHandler.getStreamWriterMap().empty());
    EXPECT_TRUE(client->causes.empty());
}

TEST_F(CSQLRestoreOneBackupTest, ThePostHookRunsWheneverThePreHookRanEvenWhenSqlServerIsGoneAfterwards) {
    // The statement fails (another database of that name, no REPLACE), and
    // SQL Server has stopped, so it cannot be asked whether the database was
    // left in single-user mode.
    SqlSimDatabaseSpec other;
    other.name = "B";
    ASSERT_FALSE(sim.AddDatabase(other).IsError());
    db.newDbName = "B";
    job.m_restoreOptions.optionFlags = kRstDropDbConnections;
    ASSERT_FALSE(sim.SetServiceRunning(false).IsError());
    EXPECT_FALSE(job.restoreVDIBackup(db, backup, {}, {}));
    EXPECT_EQ(job.preHooks, 1);
    EXPECT_EQ(job.postHooks, 1);
    EXPECT_TRUE(job.m_dataTransferHandler.getStreamWriterMap().empty());
    EXPECT_EQ(job.m_bytesRestored, 0u);
}

TEST_F(CSQLRestoreOneBackupTest, ATransferThatDoesNotEndIsLeftWithItsHandlerAndTheBackupFailsAsATimeOut) {
    GatedReads& gate = InstallReads<GatedReads>(0);
    job.m_vdiTimeout = 1000;  // the read is held before the stall is found
    transfer = std::thread([&] {
        transferred = job.restoreVDIBackup(db, backup, {}, {});
        transferReturned = true;
    });
    ASSERT_TRUE(TransferReturnsWhileTheReadIsHeld(gate));
    EXPECT_FALSE(transferred);
    EXPECT_TRUE(job.TransferLeftRunning());
    EXPECT_EQ(client->causes, (std::vector<int>{kCauseVdiTimeout}));  // the time-out, not the engine's abort
    EXPECT_EQ(job.postHooks, 1);
    // The handler was not reset under the thread: it still holds its streams.
    EXPECT_FALSE(job.m_dataTransferHandler.getStreamWriterMap().empty());
    WaitForTheTransferLeftRunning();
    EXPECT_NE(DatabaseState(sim, "ACopy2"), 1);
}

TEST_F(CSQLRestoreOneBackupTest, ToDiskTheBackupBecomesFilesBelowTheLocationUnlessItsTypeIsSkipped) {
    job.m_restoreToDisk = true;
    job.m_dumpLocation = root.path() + "/dump";
    ASSERT_TRUE(job.restoreVDIBackupToDisk(db, backup));
    std::vector<std::string> names;
    ASSERT_EQ(wz::Fs().ReadDirectory(root.path() + "/dump/ACopy2", names), 0);
    EXPECT_EQ(names.size(), 1u);
    EXPECT_GT(job.m_bytesRestored, 0u);
    EXPECT_EQ(DatabaseState(sim, "ACopy2"), -1);  // nothing reached SQL Server

    job.m_skipBackupTypes = "LD";
    job.m_dumpLocation = "relative/dump";  // not even looked at for a skipped type
    EXPECT_TRUE(job.restoreVDIBackupToDisk(db, backup));
    job.m_skipBackupTypes.clear();
    EXPECT_FALSE(job.restoreVDIBackupToDisk(db, backup));
    job.m_dumpLocation = root.path() + "/dump/../elsewhere";
    EXPECT_FALSE(job.restoreVDIBackupToDisk(db, backup));
}

}  // namespace
