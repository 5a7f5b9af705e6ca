// Behaviour of lock files: exclusion between processes and threads, the
// owner text, and the refusals.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <cerrno>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "JxSQLCommon/state/CLockFileBase.h"
#include "JxSQLCommon/state/JX1MinRPOLockFile.h"
#include "WzUtils/WzClock.h"
#include "tests/JxSQLCommon/state/ChildProcess.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

class CLockFileBaseTest : public jxtest::RootedTest {
protected:
    std::string LockPath() const { return root.File("dump/loginfo.db.lock"); }
};

TEST_F(CLockFileBaseTest, LockWritesOwnerPaddedTo50AndKeepsItAfterUnlock) {
    CLockFileBase lock("node1");
    ASSERT_FALSE(lock.Open(LockPath(), 1, 0).IsError());
    ASSERT_FALSE(lock.Lock(1).IsError());
    EXPECT_EQ("node1" + std::string(45, ' '), jxtest::ReadWholeFile(LockPath()));
    ASSERT_FALSE(lock.Unlock().IsError());
    EXPECT_EQ(50u, jxtest::ReadWholeFile(LockPath()).size());

    // Locking again through the same descriptor rewrites from the start.
    ASSERT_FALSE(lock.Lock(1).IsError());
    EXPECT_EQ("node1" + std::string(45, ' '), jxtest::ReadWholeFile(LockPath()));
    std::string content;
    ASSERT_FALSE(lock.Read(content).IsError());
    EXPECT_EQ("node1" + std::string(45, ' '), content);
}

TEST_F(CLockFileBaseTest, LongOwnerIsWrittenWholeAndEmptyOwnerWritesNothing) {
    const std::string longOwner(60, 'n');
    {
        CLockFileBase lock(longOwner);
        ASSERT_FALSE(lock.Open(LockPath(), 1, 0).IsError());
        ASSERT_FALSE(lock.Lock(1).IsError());
    }
    EXPECT_EQ(longOwner, jxtest::ReadWholeFile(LockPath()));
    CLockFileBase quiet("");
    ASSERT_FALSE(quiet.Open(LockPath(), 1, 0).IsError());
    ASSERT_FALSE(quiet.Lock(1).IsError());
    EXPECT_EQ(longOwner, jxtest::ReadWholeFile(LockPath()));
}

TEST_F(CLockFileBaseTest, RefusesLockWhenNotOpenedOrAlreadyLocked) {
    CLockFileBase lock("node1");
    CWzError e = lock.Lock(1);
    EXPECT_TRUE(e.IsError());
    EXPECT_EQ("File is not opened", e.GetMessage());
    ASSERT_FALSE(lock.Open(LockPath(), 1, 0).IsError());
    ASSERT_FALSE(lock.Lock(1).IsError());
    e = lock.Lock(1);
    EXPECT_EQ("Already locked", e.GetMessage());
}

TEST_F(CLockFileBaseTest, OpenCreatesWithMode0744AndIsIdempotent) {
    const mode_t old = ::umask(0);
    CLockFileBase lock("node1");
    ASSERT_FALSE(lock.Open(LockPath(), 1, 0).IsError());
    ::umask(old);
    struct stat info {};
    ASSERT_EQ(0, ::stat(LockPath().c_str(), &info));
    EXPECT_EQ(0744u, info.st_mode & 0777);
    ASSERT_EQ(0, ::unlink(LockPath().c_str()));
    EXPECT_FALSE(lock.Open(LockPath(), 1, 0).IsError());  // already open: nothing reopened
    EXPECT_NE(0, ::access(LockPath().c_str(), F_OK));
}

TEST_F(CLockFileBaseTest, OpenFailsAfterItsAttempts) {
    CLockFileBase lock("node1");
    EXPECT_EQ("file path is empty", lock.Open("", 1, 0).GetMessage());
    EXPECT_TRUE(lock.Open(root.path() + "/no/such/folder/x.lock", 3, 0).IsError());
    EXPECT_TRUE(lock.Open(LockPath(), 0, 0).IsError());
    EXPECT_FALSE(lock.IsOpened());
}

TEST_F(CLockFileBaseTest, ReadOfEmptyFileLeavesStringAlone) {
    CLockFileBase lock("");
    ASSERT_FALSE(lock.Open(LockPath(), 1, 0).IsError());
    std::string content = "unchanged";
    ASSERT_FALSE(lock.Read(content).IsError());
    EXPECT_EQ("unchanged", content);
    EXPECT_EQ("data is empty", lock.Write("").GetMessage());
}

TEST_F(CLockFileBaseTest, TheFileIsOpenedReadAndWrittenThroughTheSeam) {
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    CLockFileBase lock("node1");
    ASSERT_FALSE(lock.Open(LockPath(), 1, 0).IsError());
    EXPECT_EQ(faulty.Calls(jxtest::FsCall::kOpen), 1);
    ASSERT_FALSE(lock.Lock(1).IsError());
    EXPECT_EQ(faulty.Calls(jxtest::FsCall::kFtruncate), 1);
    EXPECT_EQ(faulty.Calls(jxtest::FsCall::kWrite), 1);
    std::string content;
    ASSERT_FALSE(lock.Read(content).IsError());
    EXPECT_EQ(faulty.Calls(jxtest::FsCall::kRead), 1);
    EXPECT_EQ("node1" + std::string(45, ' '), content);

    // A write the disk refuses, or cuts short, is an error.
    faulty.FailCall(jxtest::FsCall::kWrite, 1, ENOSPC);
    CWzError refused = lock.Write("more");
    EXPECT_TRUE(refused.IsError());
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kWrite), 1);
    faulty.FailWritesAfter(2, ENOSPC);
    EXPECT_TRUE(lock.Write("more").IsError());
    faulty.Heal();
    faulty.FailCall(jxtest::FsCall::kRead, 1, EIO);
    EXPECT_TRUE(lock.Read(content).IsError());
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kRead), 1);
    ASSERT_FALSE(lock.Unlock().IsError());

    // A lock whose owner text cannot be put in place is reported.
    faulty.FailCall(jxtest::FsCall::kFtruncate, 1, EIO);
    EXPECT_EQ(lock.Lock(1).GetMessage().rfind("ftruncate() failed", 0), 0u);
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kFtruncate), 1);
    ASSERT_FALSE(lock.Close().IsError());

    // An open the disk refuses each time fails after its attempts.
    faulty.FailCall(jxtest::FsCall::kOpen, 1, EACCES, /*sticky=*/true);
    CLockFileBase refusedOpen("node1");
    EXPECT_TRUE(refusedOpen.Open(LockPath(), 2, 0).IsError());
    EXPECT_EQ(faulty.Fired(jxtest::FsCall::kOpen), 2);
    EXPECT_FALSE(refusedOpen.IsOpened());
}

TEST_F(CLockFileBaseTest, SecondObjectInTheSameProcessIsExcludedUntilUnlock) {
    JX1MinRPOLockFile first("first");
    JX1MinRPOLockFile second("second");
    ASSERT_FALSE(first.Open(LockPath(), 1, 0).IsError());
    ASSERT_FALSE(second.Open(LockPath(), 1, 0).IsError());
    ASSERT_FALSE(first.Lock(1).IsError());

    CWzError e;
    std::thread other([&] { e = second.Lock(1); });  // gives up after 1 s
    other.join();
    EXPECT_EQ("Failed to get a lock", e.GetMessage());
    EXPECT_FALSE(second.IsLocked());

    // The wait that gave up passes its turn on as soon as it comes.
    ASSERT_FALSE(first.Unlock().IsError());
    EXPECT_FALSE(second.Lock(1200).IsError());
    EXPECT_EQ("second" + std::string(44, ' '), jxtest::ReadWholeFile(LockPath()));
}

// A wait that gives up leaves its thread parked on the holder's byte of the
// waiting line; when the holder lets go, that thread takes the byte for a
// moment. A Lock drawing its ticket at that moment still gets the free lock.
TEST_F(CLockFileBaseTest, LockRightAfterAGivenUpWaitIsNeverRefused) {
    CLockFileBase first("first");
    CLockFileBase second("second");
    ASSERT_FALSE(first.Open(LockPath(), 1, 0).IsError());
    ASSERT_FALSE(second.Open(LockPath(), 1, 0).IsError());
    for (int round = 0; round < 2000; ++round) {
        ASSERT_FALSE(first.Lock(60000).IsError()) << "round " << round;
        ASSERT_TRUE(second.Lock(1).IsError()) << "round " << round;  // gives up after 1 s
        ASSERT_FALSE(first.Unlock().IsError());
        ASSERT_FALSE(second.Lock(60000).IsError()) << "round " << round;
        ASSERT_FALSE(second.Unlock().IsError());
    }
}

// Two threads ask for the lock as its holder lets go, while the thread of a
// wait that gave up is parked in line: each gets the lock in turn, never both
// at once, and none is refused.
TEST_F(CLockFileBaseTest, DrawsBesideAGivenUpWaitAreServedOneAtATime) {
    constexpr int kRounds = 120;
    CLockFileBase holder("holder");
    CLockFileBase quitter("quitter");
    ASSERT_FALSE(holder.Open(LockPath(), 1, 0).IsError());
    ASSERT_FALSE(quitter.Open(LockPath(), 1, 0).IsError());
    std::barrier step(3);
    std::atomic<int> holders{0};
    std::atomic<int> overlaps{0};
    auto draw = [&](const std::string& name, std::vector<int>& refused) {
        CLockFileBase lock(name);
        const bool opened = !lock.Open(LockPath(), 1, 0).IsError();
        for (int round = 0; round < kRounds; ++round) {
            step.arrive_and_wait();  // the holder lets go now
            if (!opened || lock.Lock(60000).IsError()) {
                refused.push_back(round);
            } else {
                if (holders.fetch_add(1) != 0) ++overlaps;
                std::this_thread::yield();
                holders.fetch_sub(1);
                if (lock.Unlock().IsError()) refused.push_back(round);
            }
            step.arrive_and_wait();
        }
    };
    std::vector<int> refusedA, refusedB, refusedHolder;
    std::thread a(draw, "a", std::ref(refusedA));
    std::thread b(draw, "b", std::ref(refusedB));
    for (int round = 0; round < kRounds; ++round) {
        // The threads stay at the barrier whatever happens here, so that
        // they always end.
        if (holder.Lock(60000).IsError()) refusedHolder.push_back(round);
        if (!quitter.Lock(1).IsError()) (void)quitter.Unlock();  // gives up after 1 s
        step.arrive_and_wait();
        (void)holder.Unlock();
        step.arrive_and_wait();
    }
    a.join();
    b.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(refusedA, std::vector<int>{});
    EXPECT_EQ(refusedB, std::vector<int>{});
    EXPECT_EQ(refusedHolder, std::vector<int>{});
}

TEST_F(CLockFileBaseTest, LockHeldByAnotherProcessIsWaitedFor) {
    int ready[2];
    int release[2];
    ASSERT_EQ(0, ::pipe(ready));
    ASSERT_EQ(0, ::pipe(release));
    const std::string path = LockPath();
    pid_t child = statetest::StartChild([&] {
        CLockFileBase lock("child");
        if (lock.Open(path, 1, 0).IsError() || lock.Lock(1).IsError()) return 1;
        char c = 'x';
        if (::write(ready[1], &c, 1) != 1) return 2;
        // Holds the lock until the parent has seen it refused, then a little
        // longer, so that the parent's second attempt has to wait for it.
        if (::read(release[0], &c, 1) != 1) return 3;
        WZSLEEP_InTeRnAl(20000);  // 20 ms of real time, then release by exiting
        return 0;
    });
    char c = 'x';
    ASSERT_EQ(1, ::read(ready[0], &c, 1));

    CLockFileBase lock("parent");
    ASSERT_FALSE(lock.Open(path, 1, 0).IsError());
    EXPECT_EQ("Failed to get a lock", lock.Lock(1).GetMessage());  // 1 s: 1 ms here
    ASSERT_EQ(1, ::write(release[1], &c, 1));
    EXPECT_FALSE(lock.Lock(1200).IsError());  // waits for the child to end
    EXPECT_EQ(0, statetest::WaitChild(child));
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

// How many stand in line for the lock file at `path`, holder included: the
// ticket bytes other descriptors hold (they start at 2^41, one per waiter).
int InLine(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY);
    int count = 0;
    for (off_t ticket = off_t{1} << 41; fd >= 0; ++ticket) {
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = ticket;
        probe.l_len = 1;
        if (::fcntl(fd, F_OFD_GETLK, &probe) != 0 || probe.l_type == F_UNLCK) break;
        ++count;
    }
    if (fd >= 0) ::close(fd);
    return count;
}

// Waiters get the lock in the order they asked for it, and one that lets go
// and asks again goes behind those already waiting, however the processes are
// scheduled.
TEST_F(CLockFileBaseTest, WaitersAreServedInTheOrderTheyCame) {
    const std::string path = LockPath();
    const std::string order = root.File("dump/order");
    CLockFileBase holder("holder");
    ASSERT_FALSE(holder.Open(path, 1, 0).IsError());
    ASSERT_FALSE(holder.Lock(1).IsError());
    auto note = [&](const std::string& text) {
        int fd = ::open(order.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        const bool written = fd >= 0 && ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
        if (fd >= 0) ::close(fd);
        return written;
    };
    std::vector<pid_t> children;
    for (const std::string name : {"B", "C", "D"}) {
        children.push_back(statetest::StartChild([&, name] {
            CLockFileBase lock(name);
            if (lock.Open(path, 1, 0).IsError() || lock.Lock(1200).IsError() || !note(name + " ")) return 1;
            if (name == "B") {
                // Asks again at once, while C and D wait.
                if (lock.Unlock().IsError() || lock.Lock(1200).IsError() || !note("B2 ")) return 2;
            }
            return 0;
        }));
        const int expected = static_cast<int>(children.size()) + 1;
        for (int i = 0; i < 5000 && InLine(path) < expected; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        ASSERT_EQ(InLine(path), expected) << name << " is not in line";
    }
    ASSERT_FALSE(holder.Unlock().IsError());
    for (pid_t child : children) EXPECT_EQ(0, statetest::WaitChild(child));
    EXPECT_EQ(jxtest::ReadWholeFile(order), "B C D B2 ");
    EXPECT_EQ(InLine(path), 0);  // no one is left in line
}

TEST_F(CLockFileBaseTest, ClassicRecordLockOfAnOutsideProgramConflicts) {
    const std::string path = LockPath();
    CLockFileBase lock("node1");
    ASSERT_FALSE(lock.Open(path, 1, 0).IsError());
    ASSERT_FALSE(lock.Lock(1).IsError());
    pid_t child = statetest::StartChild([&] {
        int fd = ::open(path.c_str(), O_RDWR);
        struct flock region {};
        region.l_type = F_WRLCK;
        region.l_whence = SEEK_SET;
        return ::fcntl(fd, F_SETLK, &region) == -1 ? 0 : 1;
    });
    EXPECT_EQ(0, statetest::WaitChild(child));

    // After Unlock nothing of the file stays locked, not even the bytes
    // beyond the owner text that the first lock covered.
    ASSERT_FALSE(lock.Unlock().IsError());
    int fd = ::open(path.c_str(), O_RDWR);
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    ASSERT_EQ(0, ::fcntl(fd, F_OFD_GETLK, &probe));
    EXPECT_EQ(F_UNLCK, probe.l_type);
    ::close(fd);
}

TEST_F(CLockFileBaseTest, CloseReleasesTheLock) {
    CLockFileBase first("a");
    ASSERT_FALSE(first.Open(LockPath(), 1, 0).IsError());
    ASSERT_FALSE(first.Lock(1).IsError());
    ASSERT_FALSE(first.Close().IsError());
    EXPECT_FALSE(first.IsLocked());
    CLockFileBase second("b");
    ASSERT_FALSE(second.Open(LockPath(), 1, 0).IsError());
    EXPECT_FALSE(second.Lock(1).IsError());
}

}  // namespace
