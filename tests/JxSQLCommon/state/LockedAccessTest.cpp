// Behaviour of locked database access: every statement under the lock file,
// exclusion between processes and between threads, and the lock failures.
#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/state/CLockFileBase.h"
#include "JxSQLCommon/state/CSQLiteWithLock.h"
#include "JxSQLCommon/state/DBLocker.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/state/ChildProcess.h"
#include "tests/JxSQLCommon/state/DumpFolderTest.h"
#include "tests/support/TestRoot.h"

namespace {

class LockedAccessTest : public statetest::DumpFolderTest {};

TEST_F(LockedAccessTest, NullDatabaseLocksAndOpensNothing) {
    DBLocker locker(nullptr, DB_LOCALITY_1MIN_RPO, 7, true);
    EXPECT_FALSE(locker.IsDbLocked());
    EXPECT_FALSE(locker.LockAndOpenDB(true));
}

TEST_F(LockedAccessTest, StatementLeavesMachineNameInTheLockFileAndClosesTheDatabase) {
    JXPlatformInfo().setString("", "sPhysicalNodeName", "standby-node");
    CSQLiteWithLock db(Folder(), "state", DB_LOCALITY_1MIN_RPO);
    EXPECT_EQ("standby-node", db.GetMachineName());
    EXPECT_TRUE(db.Connected());
    ASSERT_FALSE(db.CreateTable("T", "x INTEGER", "", "").IsError());
    EXPECT_EQ("standby-node" + std::string(38, ' '), jxtest::ReadWholeFile(Folder() + "/state.db.lock"));
    // The lock and the connection were both let go after the statement.
    CLockFileBase probe("");
    ASSERT_FALSE(probe.Open(Folder() + "/state.db.lock", 1, 0).IsError());
    EXPECT_FALSE(probe.Lock(1).IsError());
    EXPECT_EQ(nullptr, db.ExecuteQuery("SELECT 1"));
}

TEST_F(LockedAccessTest, LockFileThatCannotBeOpenedGivesNotLocked) {
    CSQLiteWithLock db(Folder(), "state", DB_LOCALITY_1MIN_RPO);
    ASSERT_EQ(wz::MakeDirectoryTree(db.GetFullDatabaseName() + ".lock"), 0);  // open() of a folder fails
    int64_t result = 0;
    CWzError e = db.ExecDML("SELECT 1", result, true);
    EXPECT_EQ(static_cast<int32_t>(0xEDB00001u), FXErrorUtil::GetJXResult(e));
    EXPECT_EQ("", e.GetMessage());
    DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 1, true);
    EXPECT_FALSE(locker.IsDbLocked());
    EXPECT_FALSE(db.Exists());  // nothing was opened
}

TEST_F(LockedAccessTest, LockerThatWasToldTheLockIsHeldReleasesNothing) {
    CSQLiteWithLock db(Folder(), "state", DB_LOCALITY_DEFAULT);
    CLockFileBase held("caller");
    ASSERT_FALSE(held.Open(db.GetFullDatabaseName() + ".lock", 1, 0).IsError());
    ASSERT_FALSE(held.Lock(1).IsError());
    {
        DBLocker locker(&db, DB_LOCALITY_DEFAULT, 1, false);
        EXPECT_TRUE(locker.IsDbLocked());
        EXPECT_NE(nullptr, db.ExecuteQuery("SELECT 1"));
    }
    EXPECT_TRUE(held.IsLocked());
    CLockFileBase other("other");
    ASSERT_FALSE(other.Open(db.GetFullDatabaseName() + ".lock", 1, 0).IsError());
    EXPECT_EQ("Failed to get a lock", other.Lock(1).GetMessage());
}

// Each worker increments a counter by reading it and writing it back in two
// statements under one locker: without mutual exclusion updates get lost.
int IncrementUnderLocker(const std::string& folder, int times) {
    CSQLiteBase db(folder, "state");  // its statements take no lock of their own
    for (int i = 0; i < times; ++i) {
        DBLocker locker(&db, DB_LOCALITY_1MIN_RPO, 1, true);
        if (!locker.IsDbLocked()) return 1;
        long value = 0;
        if (db.ExecScalarInt64("SELECT n FROM Counter", value).IsError()) return 2;
        WZSLEEP_InTeRnAl(200);  // widen the window between read and write
        int64_t changed = 0;
        if (db.Update("Counter", FX::CSQLite3Sql("n = ?", {int64_t{value + 1}}), changed, "").IsError()) return 3;
    }
    return 0;
}

TEST_F(LockedAccessTest, TwoProcessesWithTwoThreadsEachLoseNoUpdate) {
    const std::string folder = Folder();
    CSQLiteWithLock setup(folder, "state", DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(setup.CreateTable("Counter", "n INTEGER", "", "").IsError());
    ASSERT_FALSE(setup.Insert("Counter", "n", "0").IsError());

    constexpr int kTimes = 25;
    auto twoThreads = [&] {
        int results[2] = {-1, -1};
        std::thread a([&] { results[0] = IncrementUnderLocker(folder, kTimes); });
        std::thread b([&] { results[1] = IncrementUnderLocker(folder, kTimes); });
        a.join();
        b.join();
        return results[0] * 10 + results[1];
    };
    pid_t child = statetest::StartChild(twoThreads);
    EXPECT_EQ(0, twoThreads());
    EXPECT_EQ(0, statetest::WaitChild(child));

    long total = 0;
    ASSERT_FALSE(setup.ExecScalarInt64("SELECT n FROM Counter", total).IsError());
    EXPECT_EQ(4 * kTimes, total);
}

TEST_F(LockedAccessTest, LockedStatementsOfTwoProcessesAndThreadsAreAllKept) {
    const std::string folder = Folder();
    CSQLiteWithLock setup(folder, "state", DB_LOCALITY_1MIN_RPO);
    ASSERT_FALSE(setup.CreateTable("Rows", "who INTEGER, i INTEGER", "", "").IsError());

    auto insertRows = [&](int who) {
        CSQLiteWithLock db(folder, "state", DB_LOCALITY_1MIN_RPO);
        for (int i = 0; i < 20; ++i) {
            if (db.Insert("Rows", "who, i", FX::CSQLite3Sql("?,?", {int64_t{who}, int64_t{i}})).IsError()) return 1;
        }
        return 0;
    };
    auto twoThreads = [&](int base) {
        int results[2] = {-1, -1};
        std::thread a([&] { results[0] = insertRows(base); });
        std::thread b([&] { results[1] = insertRows(base + 1); });
        a.join();
        b.join();
        return results[0] + results[1];
    };
    pid_t child = statetest::StartChild([&] { return twoThreads(10); });
    EXPECT_EQ(0, twoThreads(20));
    EXPECT_EQ(0, statetest::WaitChild(child));
    EXPECT_EQ(80, setup.GetTotalRows("Rows", ""));
    EXPECT_EQ(4, setup.GetTotalRows("Rows", "i = 19"));
}

}  // namespace
