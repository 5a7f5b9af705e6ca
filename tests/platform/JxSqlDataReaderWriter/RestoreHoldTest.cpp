// A restore statement holds its database: a second restore, the recovery
// only statement, or a backup (after a brief wait for the hold), meeting the
// hold is refused and touches nothing, also from another process, and the
// first goes on as if alone; a snapshot backup holds its databases until it is recorded. Its
// files go in place all or none: a placing or recording that fails leaves
// the database as it was before the statement, and the same restore run
// again completes, leaving no replaced file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ChainRestoreFixture.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "tests/platform/JXSnapHandler/SalesSnapshot.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/HeldCall.h"

namespace {

using namespace vditest;
using jxtest::FsCall;

// Holds the first restored file about to be renamed into place until
// released, so that a test acts while a restore statement places its files;
// or, given a folder, the first file created under it (a snapshot's copy).
class HeldPlacing : public wz::ForwardingFileSystem {
public:
    HeldPlacing() = default;
    explicit HeldPlacing(std::string createdUnder) : m_createdUnder(std::move(createdUnder) + "/") {}

    int Rename(const std::string& from, const std::string& to) override {
        if (m_createdUnder.empty() && from.find(".jxrestore.") != std::string::npos) m_held.Hold();
        return ForwardingFileSystem::Rename(from, to);
    }
    int Open(const std::string& path, int flags, mode_t mode) override {
        if (!m_createdUnder.empty() && (flags & O_CREAT) != 0 && path.starts_with(m_createdUnder)) m_held.Hold();
        return ForwardingFileSystem::Open(path, flags, mode);
    }
    bool WaitHeld() { return m_held.WaitHeld(); }
    void Release() { m_held.Release(); }

private:
    const std::string m_createdUnder;
    jxtest::HeldCall m_held;
};

class RestoreHoldTest : public ChainRestoreTest {
protected:
    int64_t Rows(const char* table) {
        SimSqlStatement q = sim.Db().Prepare(std::string("SELECT COUNT(*) FROM ") + table);
        return q.Step() ? q.Int(0) : 0;  // no restore history yet: none
    }
    // The names in the folder of Sales's files.
    std::vector<std::string> Folder() {
        const std::string first = DataFiles(sim, "Sales")[0];
        std::vector<std::string> names;
        EXPECT_EQ(wz::Fs().ReadDirectory(first.substr(0, first.rfind('/')), names), 0);
        std::sort(names.begin(), names.end());
        return names;
    }
    // A backup that is expected to be refused, through a pipeline of its own.
    Outcome RefusedBackup(char type) {
        SqlDataTransferHandler handler(true, 900, 7, 2, "cs", 1, 0);
        return Backup(handler, "Sales", type, 1);
    }
    void ExpectInUse(const Outcome& o) {
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.code, 3101) << o.text;
        EXPECT_NE(o.text.find("Exclusive access could not be obtained"), std::string::npos) << o.text;
    }
    void ExpectInRestore(const Outcome& o) {
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(o.code, 927) << o.text;
    }
};

TEST_F(RestoreHoldTest, ASecondRestoreOrABackupMeetingARestoresHoldIsRefusedAndTouchesNothing) {
    const Taken full = Take("Sales", 'D');
    const std::vector<std::string> source = Contents("Sales");
    Change("Sales", 4, 2);
    HeldPlacing held;
    wz::ScopedFileSystem use(held);
    Outcome first;
    std::thread restore([&] { first = Restore("Sales", full.archives, InPlace(true)); });
    ASSERT_TRUE(held.WaitHeld());
    const std::vector<std::string> folder = Folder();
    const int64_t history = Rows("backup_history");
    ExpectInUse(Restore("Sales", full.archives, InPlace(true)));
    EXPECT_EQ(Folder(), folder) << "the refused restore wrote or removed a file";
    ExpectInRestore(RefusedBackup('D'));
    EXPECT_EQ(Rows("backup_history"), history);
    held.Release();
    restore.join();
    ASSERT_TRUE(first.ok) << first.text;
    EXPECT_TRUE(Contents("Sales") == source);
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    // The hold went with the statement.
    Take("Sales", 'L');
}

// RESTORE WITH RECOVERY meeting the hold of a log restore placing its files
// into Sales, RESTORING after a full, leaves Sales RESTORING.
TEST_F(RestoreHoldTest, RecoveryOnlyMeetingARestoresHoldIsRefusedAndSalesStaysRestoring) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 4, 2);
    const Taken log = Take("Sales", 'L');
    RestoreChain("Sales", {&full}, InPlace(), InPlace());
    HeldPlacing held;
    wz::ScopedFileSystem use(held);
    Outcome logRestore;
    std::thread restore([&] { logRestore = Restore("Sales", log.archives, RestoreOptions{}); });
    ASSERT_TRUE(held.WaitHeld());
    CJxSQLVDI engine;
    EXPECT_FALSE(engine.recoverOnly(L"Sales", kServer, L""));
    EXPECT_EQ(engine.getJXErrorCode(), 3101) << engine.getJXErrorString();
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_RESTORING);
    held.Release();
    restore.join();
    EXPECT_TRUE(logRestore.ok) << logRestore.text;
}

// A restore started while a snapshot backup copies Sales's volume is
// refused, and the snapshot holds Sales as it was.
TEST_F(RestoreHoldTest, ARestoreMeetingASnapshotBackupIsRefusedAndTheSnapshotIsWhole) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 4, 2);
    const std::vector<std::string> now = Contents("Sales");
    const std::string store = JXSnapClientAPI::StoreDirectory(90);
    HeldPlacing held(store);
    wz::ScopedFileSystem use(held);
    bool snapped = false;
    std::string error;
    std::thread snapshot([&] {
        std::vector<std::string> volumes;
        snapped = JXSnapClientAPI::snapDatabases(snaptest::SalesRequest(90, root.path(), kServer), volumes, error);
    });
    ASSERT_TRUE(held.WaitHeld());
    ExpectInUse(Restore("Sales", full.archives, InPlace(true)));
    held.Release();
    snapshot.join();
    ASSERT_TRUE(snapped) << error;
    std::vector<std::string> copies;
    for (const std::string& path : DataFiles(sim, "Sales")) {
        copies.push_back(ReadAll(store + "/1" + path.substr(path.rfind('/'))));
    }
    EXPECT_TRUE(copies == now);
}

TEST_F(RestoreHoldTest, TwoRestoresLeftToRaceEndWithTheBackupsDataAndEveryFailureSaysWhy) {
    const Taken full = Take("Sales", 'D');
    const std::vector<std::string> source = Contents("Sales");
    for (int round = 0; round < 5; ++round) {
        SCOPED_TRACE(round);
        Change("Sales", 4, 10 + round);
        Outcome a, b;
        std::thread other([&] { b = Restore("Sales", full.archives, InPlace(true)); });
        a = Restore("Sales", full.archives, InPlace(true));
        other.join();
        EXPECT_TRUE(a.ok || b.ok);
        for (const Outcome* o : {&a, &b}) {
            EXPECT_TRUE(o->ok || o->code == 3101) << o->text;
        }
        EXPECT_TRUE(Contents("Sales") == source);
        EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    }
}

TEST_F(RestoreHoldTest, ARestoreMeetingABackupOrAnotherProcesssHoldIsRefused) {
    const Taken full = Take("Sales", 'D');
    Change("Sales", 4, 2);
    const std::vector<std::string> now = Contents("Sales");
    {
        VdiTestHold between(VdiTestPoint::kBetweenChunks, 1);
        Outcome backup;
        std::thread running([&] { Take("Sales", 'D', &backup); });
        ASSERT_TRUE(between.WaitHeld());
        ExpectInUse(Restore("Sales", full.archives, InPlace(true)));
        between.Release();
        running.join();
        EXPECT_TRUE(backup.ok) << backup.text;
    }
    EXPECT_TRUE(Contents("Sales") == now);

    // Another process holds the database, under another spelling of its name.
    const std::string lock = SqlSimDatabaseHold::LockFilePath(sim.Location(), "SALES");
    ASSERT_EQ(wz::MakeDirectoryTree(lock.substr(0, lock.rfind('/'))), 0);
    int ready[2], go[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        char c = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &c, 1);
        (void)!::read(go[0], &c, 1);
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ASSERT_EQ(c, 'y');
    ExpectInUse(Restore("Sales", full.archives, InPlace(true)));
    ExpectInRestore(RefusedBackup('D'));
    EXPECT_TRUE(Contents("Sales") == now);
    // The hold dies with its process.
    ASSERT_EQ(::write(go[1], "x", 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    for (int fd : {ready[0], ready[1], go[0], go[1]}) ::close(fd);
    Outcome again = Restore("Sales", full.archives, InPlace(true));
    EXPECT_TRUE(again.ok) << again.text;
}

TEST_F(RestoreHoldTest, BackupsShareADatabaseARestoreHoldsItAloneAndOtherDatabasesAreFree) {
    using Hold = SqlSimDatabaseHold;
    std::string error;
    Hold backup1, backup2, restore, other;
    ASSERT_EQ(backup1.Take(sim.Location(), "Sales", Hold::Mode::kShared, error), Hold::Result::kTaken) << error;
    EXPECT_EQ(backup2.Take(sim.Location(), "sales", Hold::Mode::kShared, error), Hold::Result::kTaken) << error;
    EXPECT_EQ(restore.Take(sim.Location(), "Sales", Hold::Mode::kExclusive, error), Hold::Result::kBusy);
    EXPECT_EQ(other.Take(sim.Location(), "Sales2", Hold::Mode::kExclusive, error), Hold::Result::kTaken) << error;
    backup1.Release();
    backup2.Release();
    ASSERT_EQ(restore.Take(sim.Location(), "SALES", Hold::Mode::kExclusive, error), Hold::Result::kTaken) << error;
    EXPECT_EQ(backup1.Take(sim.Location(), "Sales", Hold::Mode::kShared, error), Hold::Result::kBusy);
}

// Where the statement fails: the record of what it places (before any file
// moves), the rename of its second file into place, the write of the applied
// log records to the placed log file, or the last step of its catalogue
// change (the history row; the other steps went before).
enum class Step { kPlacingRecord, kRename, kLogWrite, kHistoryRow };
struct Fault {
    const char* name;
    bool log;  // a log set mid-sequence, else a full set over an ONLINE database
    Step step;
    friend void PrintTo(const Fault& f, std::ostream* os) { *os << f.name; }
};

class RestorePlacingTest : public RestoreHoldTest, public ::testing::WithParamInterface<Fault> {};

TEST_P(RestorePlacingTest, AFailureLeavesSalesAsBeforeTheStatementAndTheSameRestoreThenCompletes) {
    const Fault fault = GetParam();
    const Taken full = Take("Sales", 'D');
    Change("Sales", 4, 2);
    const Taken log1 = Take("Sales", 'L');
    Change("Sales", 4, 3);
    const Taken log2 = Take("Sales", 'L');
    const std::vector<std::string> source = Contents("Sales");
    const Taken& faulted = fault.log ? log2 : full;
    if (fault.log) {
        RestoreChain("Sales", {&full, &log1}, InPlace(), InPlace());
    } else {
        Change("Sales", 4, 4);
    }
    const std::vector<std::string> before = Contents("Sales");
    const std::vector<std::string> folder = Folder();
    const SqlSimLsnState state = State("Sales");
    const int state0 = DatabaseState(sim, "Sales");
    const int64_t restores = Rows("restore_history");
    {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        if (fault.step == Step::kLogWrite) faulty.FailCallOn("Sales_log.ldf", FsCall::kPWrite, 1, EIO);
        if (fault.step == Step::kRename) faulty.FailCallOn("*.jxrestore.*", FsCall::kRename, 2, EIO);
        // A step of the catalogue that refuses: the history row, or the
        // record's step, which marks Sales RESTORING.
        const char* refusing = nullptr;
        if (fault.step == Step::kHistoryRow) refusing = "BEFORE INSERT ON restore_history";
        if (fault.step == Step::kPlacingRecord) refusing = "BEFORE UPDATE OF state ON databases WHEN NEW.state = 2";
        if (refusing != nullptr) {
            ASSERT_FALSE(sim.Db()
                             .Exec(std::string("CREATE TRIGGER refuses ") + refusing +
                                   " BEGIN SELECT RAISE(ABORT, 'the catalogue refuses'); END")
                             .IsError());
        }
        Outcome o = Restore("Sales", faulted.archives, InPlace(true));
        EXPECT_FALSE(o.ok);
        if (refusing != nullptr) {
            EXPECT_NE(o.text.find("the catalogue refuses"), std::string::npos) << o.text;
            ASSERT_FALSE(sim.Db().Exec("DROP TRIGGER refuses").IsError());
        } else {
            EXPECT_EQ(faulty.FiredTotal(), 1);
        }
    }
    EXPECT_TRUE(Contents("Sales") == before);
    EXPECT_EQ(Folder(), folder) << "a file of the statement was left behind";
    EXPECT_EQ(DatabaseState(sim, "Sales"), state0);
    EXPECT_EQ(State("Sales").currentLsn, state.currentLsn);
    EXPECT_EQ(State("Sales").logEnd, state.logEnd);
    EXPECT_EQ(State("Sales").logBackupLsn, state.logBackupLsn);
    EXPECT_EQ(Rows("restore_history"), restores);
    Outcome again = Restore("Sales", faulted.archives, InPlace(true));
    ASSERT_TRUE(again.ok) << again.text;
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(Folder(), folder) << "a replaced file was left beside Sales's files";
    if (fault.log) {
        EXPECT_TRUE(Contents("Sales") == source);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, RestorePlacingTest,
                         ::testing::Values(Fault{"FullRecord", false, Step::kPlacingRecord},
                                           Fault{"FullPlacing", false, Step::kRename},
                                           Fault{"LogPlacing", true, Step::kRename},
                                           Fault{"LogRecording", true, Step::kLogWrite},
                                           Fault{"LogHistoryRow", true, Step::kHistoryRow}),
                         [](const ::testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

TEST_F(RestoreHoldTest, WhenTheOldFilesCannotBePutBackSalesIsSuspectAndTheFailureNamesThem) {
    const Taken full = Take("Sales", 'D');
    const std::vector<std::string> source = Contents("Sales");
    Change("Sales", 4, 2);
    {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        // The three files are set aside, the history row fails, and no old
        // file can be renamed back.
        faulty.FailCallOn("*.jxold.*", FsCall::kRename, 4, EIO, true);
        ASSERT_FALSE(sim.Db()
                         .Exec("CREATE TABLE IF NOT EXISTS restore_history(id INTEGER PRIMARY KEY);"
                               "CREATE TRIGGER history_fails BEFORE INSERT ON restore_history "
                               "BEGIN SELECT RAISE(ABORT, 'the history cannot grow'); END")
                         .IsError());
        Outcome o = Restore("Sales", full.archives, InPlace(true));
        EXPECT_FALSE(o.ok);
        EXPECT_EQ(faulty.Fired(FsCall::kRename), 3);
        EXPECT_NE(o.text.find("could not be put back"), std::string::npos) << o.text;
        EXPECT_NE(o.text.find(DataFiles(sim, "Sales")[0]), std::string::npos) << o.text;
        ASSERT_FALSE(sim.Db().Exec("DROP TRIGGER history_fails; DROP TABLE restore_history").IsError());
    }
    EXPECT_EQ(DatabaseState(sim, "Sales"), SQLDB_STATE_SUSPECT);
    EXPECT_EQ(RefusedBackup('D').code, 945);
    Outcome again = Restore("Sales", full.archives, InPlace(true));
    ASSERT_TRUE(again.ok) << again.text;
    EXPECT_TRUE(Contents("Sales") == source);
}

}  // namespace
