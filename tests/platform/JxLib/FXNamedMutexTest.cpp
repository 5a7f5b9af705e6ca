#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "JxLib/FXNamedMutex.h"
#include "WzUtils/GetCurrentThreadId.h"
#include "WzUtils/auto_lock.h"
#include "tests/support/TestRoot.h"

using jxtest::RootedTest;

namespace {

const char* const kName = "Global\\jx_mssql_12_DatabaseAutoDiscover";

// A child process that takes the mutex, reports "L" on a pipe and then waits
// for a byte from the parent (or for its death).
class Holder {
public:
    explicit Holder(const std::string& name) {
        int up[2], down[2];
        if (::pipe(up) != 0 || ::pipe(down) != 0) return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(up[0]);
            ::close(down[1]);
            FXNamedMutex mutex(name);
            char c = mutex.TryLock(CTimeInterval::FromSeconds(60)) ? 'L' : 'F';
            if (::write(up[1], &c, 1) != 1) ::_exit(2);
            if (::read(down[0], &c, 1) < 0) ::_exit(3);
            ::_exit(0);  // exits holding the lock: the kernel must drop it
        }
        ::close(up[1]);
        ::close(down[0]);
        m_up = up[0];
        m_down = down[1];
    }
    ~Holder() {
        if (m_pid > 0) Kill();
        ::close(m_up);
        ::close(m_down);
    }
    bool Locked() {
        char c = 0;
        return m_pid > 0 && ::read(m_up, &c, 1) == 1 && c == 'L';
    }
    void Exit() { Finish(false); }
    void Kill() { Finish(true); }

private:
    void Finish(bool kill) {
        if (kill) {
            ::kill(m_pid, SIGKILL);
        } else {
            char c = 'x';
            if (::write(m_down, &c, 1) != 1) ::kill(m_pid, SIGKILL);
        }
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
    }
    pid_t m_pid = -1;
    int m_up = -1, m_down = -1;
};

}  // namespace

class FXNamedMutexTest : public RootedTest {};

TEST_F(FXNamedMutexTest, AnotherProcessIsExcludedUntilTheHolderExits) {
    Holder holder(kName);
    ASSERT_TRUE(holder.Locked());
    FXNamedMutex mutex(kName);
    EXPECT_FALSE(mutex.TryLock());
    EXPECT_FALSE(mutex.TryLock(CTimeInterval::FromSeconds(2)));
    EXPECT_EQ(mutex.GetOwner(), 0u);
    holder.Exit();
    EXPECT_TRUE(mutex.TryLock());
    EXPECT_EQ(mutex.GetOwner(), static_cast<uint32_t>(GetCurrentThreadId()));
    mutex.Unlock();
}

TEST_F(FXNamedMutexTest, AKilledHolderFreesTheMutex) {
    Holder holder(kName);
    ASSERT_TRUE(holder.Locked());
    FXNamedMutex mutex(kName);
    auto_lock lock(&mutex, false);
    EXPECT_FALSE(lock.TryLock(CTimeInterval::FromSeconds(1)));
    holder.Kill();
    EXPECT_TRUE(lock.TryLock(CTimeInterval::FromSeconds(60)));
}

TEST_F(FXNamedMutexTest, HeldMutexMakesAChildProcessTimeOut) {
    FXNamedMutex mutex(kName);
    ASSERT_TRUE(mutex.Lock());
    Holder other(kName);
    EXPECT_FALSE(other.Locked());  // waited its 60 platform seconds in vain
    mutex.Unlock();
    Holder after(kName);
    EXPECT_TRUE(after.Locked());
}

TEST_F(FXNamedMutexTest, RecursiveLocksKeepTheOwnerUntilTheLastUnlock) {
    FXNamedMutex mutex(kName);
    const uint32_t self = static_cast<uint32_t>(GetCurrentThreadId());
    ASSERT_TRUE(mutex.Lock());
    ASSERT_TRUE(mutex.TryLock());
    EXPECT_EQ(mutex.getLockCnt(), 2);
    mutex.Unlock();
    EXPECT_EQ(mutex.GetOwner(), self);
    EXPECT_EQ(mutex.getLockCnt(), 1);
    FXNamedMutex other(kName);
    EXPECT_FALSE(other.TryLock());  // still held
    mutex.Unlock();
    EXPECT_EQ(mutex.GetOwner(), 0u);
    EXPECT_TRUE(other.TryLock());
    other.Unlock();
}

TEST_F(FXNamedMutexTest, ThreadsOfOneProcessExcludeEachOther) {
    FXNamedMutex mine(kName);
    ASSERT_TRUE(mine.Lock());
    std::atomic<int> result{-1};
    std::thread t([&] {
        FXNamedMutex theirs(kName);
        result = theirs.TryLock(CTimeInterval::FromSeconds(1)) ? 1 : 0;
        // Unlock from a thread that does not hold the shared object changes nothing.
        mine.Unlock();
    });
    t.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(mine.getLockCnt(), 1);
    mine.Unlock();
    EXPECT_EQ(mine.getLockCnt(), 0);
}

TEST_F(FXNamedMutexTest, NamesStayInsideTheLockDirectory) {
    for (const std::string name : {"../../escape", "a/b", "..", ""}) {
        std::string path = JxNamedMutex::LockFilePath(name);
        EXPECT_EQ(path.rfind(root.path() + "/locks/mutex/", 0), 0u) << path;
        EXPECT_EQ(path.find('/', root.path().size() + 13), std::string::npos) << path;
        FXNamedMutex mutex(name);
        EXPECT_TRUE(mutex.TryLock()) << name;
        mutex.Unlock();
    }
    EXPECT_NE(JxNamedMutex::LockFilePath("a/b"), JxNamedMutex::LockFilePath("a%2Fb"));
}

TEST_F(FXNamedMutexTest, LongNamesAreShortenedButStayDistinct) {
    const std::string a(400, '/'), b = a + "x";
    EXPECT_NE(JxNamedMutex::LockFilePath(a), JxNamedMutex::LockFilePath(b));
    FXNamedMutex first(a), second(b), again(a);
    ASSERT_TRUE(first.TryLock());
    EXPECT_TRUE(second.TryLock());
    EXPECT_FALSE(again.TryLock());
    first.Unlock();
    second.Unlock();
}
