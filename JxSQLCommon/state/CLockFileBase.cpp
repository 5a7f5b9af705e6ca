// CLockFileBase: opening, locking and writing the lock file of a state database.
#include "JxSQLCommon/state/CLockFileBase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "JxLib/EvDebug.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr size_t kOwnerTextWidth = 50;
constexpr uint32_t kOpenRetryMs = 1000;
// The lock covers the file's content, or everything before this offset while
// the file is empty. Beyond it lie the bytes of the waiting line: a counter
// byte that newcomers take one at a time to draw a ticket, and one byte per
// ticket, drawn in increasing order (see DrawTicket).
constexpr off_t kDataEnd = off_t{1} << 40;
constexpr off_t kCounterByte = kDataEnd;
constexpr off_t kFirstTicket = off_t{1} << 41;
constexpr off_t kTicketSpan = off_t{1} << 40;
// Longest single wait for the waiting thread, so the deadline is looked at
// again even if a wake-up were lost.
constexpr int64_t kWaitSliceMs = 60000;
// Pause between tries for the counter byte, held only while a ticket is drawn,
// and for a ticket's byte taken meanwhile (see DrawTicket); and for a lock
// held by an outside program's record lock (real time).
constexpr auto kRetryPause = std::chrono::microseconds(50);
constexpr auto kOutsidePause = std::chrono::milliseconds(5);

// The region of a lock: from `start` over `length` bytes.
struct flock LockRegion(short type, off_t start, off_t length) {
    struct flock region {};
    region.l_type = type;
    region.l_whence = SEEK_SET;
    region.l_start = start;
    region.l_len = length;
    region.l_pid = 0;  // required for open-file-description locks
    return region;
}

// One lock call; 0 or the errno value. A blocking call interrupted by a
// signal is made again.
int SetLock(int fd, int command, struct flock region) {
    for (;;) {
        if (::fcntl(fd, command, &region) == 0) return 0;
        if (errno != EINTR) return errno;
    }
}

bool Busy(int err) { return err == EAGAIN || err == EACCES; }

// Whether another descriptor holds a lock on any byte of [start, end).
bool AnyLockIn(int fd, off_t start, off_t end, int& err) {
    struct flock probe = LockRegion(F_WRLCK, start, end - start);
    if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) {
        err = errno;
        return false;
    }
    return probe.l_type != F_UNLCK;
}

// Takes `region` without waiting, trying again after `pause` while another
// holds it, until the deadline: for the counter byte, held only for a few
// calls, and for the lock held by an outside program's record lock.
int TakeWithRetries(int fd, const struct flock& region, int64_t deadline, std::chrono::microseconds pause) {
    for (;;) {
        int err = SetLock(fd, F_OFD_SETLK, region);
        if (!Busy(err)) return err;
        if (wz::ClockMs() >= deadline) return ETIMEDOUT;
        std::this_thread::sleep_for(pause);
    }
}

// Finds the last in line and takes the ticket after it, under the counter
// byte: the highest ticket byte held (found by halving the ticket range), or
// the first ticket when no one is in line. 0, or the errno value of the
// ticket's lock (busy when another took that byte meanwhile).
int TakeNextTicket(int fd, off_t& ticket, off_t& predecessor) {
    int err = 0;
    predecessor = -1;
    off_t low = kFirstTicket, high = kFirstTicket + kTicketSpan;
    if (AnyLockIn(fd, low, high, err)) {
        while (high - low > 1 && err == 0) {
            const off_t middle = low + (high - low) / 2;
            if (AnyLockIn(fd, middle, high, err)) {
                low = middle;
            } else {
                high = middle;
            }
        }
        predecessor = low;
    }
    if (err != 0) return err;
    ticket = predecessor < 0 ? kFirstTicket : predecessor + 1;
    if (ticket >= kFirstTicket + kTicketSpan) return ENOLCK;  // 2^40 turns without a pause
    return SetLock(fd, F_OFD_SETLK, LockRegion(F_WRLCK, ticket, 1));
}

// Draws the next ticket (see TakeNextTicket). Each waiter then waits for its
// own predecessor's byte only, so the kernel wakes exactly the next in line
// when a holder lets go, and waiters are served in the order they drew.
// `predecessor` is -1 when no one was in line.
//
// No one else draws while the counter byte is held, yet the ticket's byte may
// be busy: the thread of a wait that gave up stays parked on its
// predecessor's byte, and when that byte goes the kernel grants it to the
// thread for a moment (the thread lets it go at once). A draw that looked at
// the line just before then finds the byte taken. Its holder stands in line,
// so the draw is made again, until the deadline.
int DrawTicket(int fd, int64_t deadline, off_t& ticket, off_t& predecessor) {
    for (;;) {
        int err = TakeWithRetries(fd, LockRegion(F_WRLCK, kCounterByte, 1), deadline, kRetryPause);
        if (err != 0) return err;
        err = TakeNextTicket(fd, ticket, predecessor);
        (void)SetLock(fd, F_OFD_SETLK, LockRegion(F_UNLCK, kCounterByte, 1));  // a failure stays until close
        if (!Busy(err)) return err;
        if (wz::ClockMs() >= deadline) return ETIMEDOUT;
        std::this_thread::sleep_for(kRetryPause);
    }
}

void ReleaseTicket(int fd, off_t ticket) { (void)SetLock(fd, F_OFD_SETLK, LockRegion(F_UNLCK, ticket, 1)); }

// What the caller and its waiting thread share. The thread waits on a
// descriptor of its own for the predecessor's byte, then closes it (which lets
// the byte go again); the caller may give up first.
struct LockWait {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    int error = 0;
    int fd = -1;
};

void WaitInThread(const std::shared_ptr<LockWait>& wait, off_t byte) {
    int err = SetLock(wait->fd, F_OFD_SETLKW, LockRegion(F_WRLCK, byte, 1));
    ::close(wait->fd);
    {
        std::lock_guard<std::mutex> lock(wait->mutex);
        wait->error = err;
        wait->done = true;
    }
    // Outside the mutex, so the caller does not wake only to wait for it.
    wait->finished.notify_one();
}

}  // namespace

CLockFileBase::CLockFileBase(std::string ownerText) : m_ownerText(std::move(ownerText)) {}

CLockFileBase::~CLockFileBase() { (void)Close(); }

CWzError CLockFileBase::Open(const std::string& path, int attempts, int mode) {
    if (path.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "file path is empty");
    if (m_fd >= 0) return CWzError::Success();

    const mode_t createMode = mode == 0 ? 0744 : static_cast<mode_t>(mode);
    for (int i = 0; i < attempts; ++i) {
        m_fd = wz::Fs().Open(path, O_RDWR | O_CREAT | O_CLOEXEC, createMode);
        if (m_fd >= 0) break;
        WZSLEEP_InTeRnAl(kOpenRetryMs);
    }
    m_opened = m_fd >= 0;
    if (!m_opened) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to create the lock file: %s", path.c_str());
    }
    return CWzError::Success();
}

CWzError CLockFileBase::Close() {
    if (m_locked) (void)Unlock();
    if (m_fd >= 0) {
        if (wz::Fs().Close(m_fd) != 0 && errno != EINTR) {
            return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to close the file.");
        }
        // After EINTR the descriptor is gone on Linux; retrying could close another's.
        m_fd = -1;
    }
    m_opened = false;
    return CWzError::Success();
}

CWzError CLockFileBase::Lock(sfTime_t seconds) {
    if (m_locked) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Already locked");
    if (m_fd < 0) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "File is not opened");

    CWzError result = DoLocking(F_WRLCK, seconds);
    if (m_locked && !result.IsError() && !m_ownerText.empty()) {
        result = Truncate();
        if (!result.IsError()) {
            std::string owner = m_ownerText;
            if (owner.size() < kOwnerTextWidth) owner.append(kOwnerTextWidth - owner.size(), ' ');
            (void)Write(owner);  // the owner text is informative only
        }
    }
    return result;
}

CWzError CLockFileBase::DoLocking(unsigned long lockType, sfTime_t seconds) {
    struct stat info {};
    if (wz::Fs().Fstat(m_fd, &info) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to determine the file size");
    }
    // The file's present content, or everything before the waiting line's
    // bytes while it is empty.
    const struct flock region = LockRegion(static_cast<short>(lockType), 0,
                                           std::min<off_t>(info.st_size > 0 ? info.st_size : kDataEnd, kDataEnd));
    const sfTime_t maxSeconds = static_cast<sfTime_t>(std::numeric_limits<int64_t>::max() / 4000);
    const int64_t deadline = wz::ClockMs() + static_cast<int64_t>(std::min(seconds, maxSeconds)) * 1000;

    EvDebug log;
    log.setJobId(static_cast<uint64_t>(m_jobId));
    int err = WaitInTurn(region, deadline);
    if (err != 0) {
        if (err != ETIMEDOUT) {
            log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kError, 0, "Lock wait failed: %s", std::strerror(err));
        }
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to get a lock");
    }
    m_locked = true;
    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 2, "Successfully got a lock");
    return CWzError::Success();
}

int CLockFileBase::WaitInTurn(const struct flock& region, int64_t deadline) {
    off_t ticket = 0, predecessor = -1;
    int err = DrawTicket(m_fd, deadline, ticket, predecessor);
    if (err != 0) return err;
    if (predecessor >= 0) {
        EvDebug log;
        log.setJobId(static_cast<uint64_t>(m_jobId));
        log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 2,
                   "Some other process has it locked. Waiting for our turn");
        err = WaitForByte(predecessor, deadline);
    }
    // First in line: the lock is free unless an outside program holds a
    // record lock on the file, which is waited out in short pauses.
    if (err == 0) err = TakeWithRetries(m_fd, region, deadline, kOutsidePause);
    // The ticket's byte is held with the lock, so the next in line waits for
    // Unlock; without the lock it goes at once, passing the turn on.
    if (err != 0) ReleaseTicket(m_fd, ticket);
    return err;
}

int CLockFileBase::WaitForByte(off_t byte, int64_t deadline) {
    if (wz::ClockMs() >= deadline) return ETIMEDOUT;  // no time to wait: no thread for it
    // The waiting thread needs a descriptor of its own (a new open file
    // description of the same file), so that its lock and its closing never
    // touch this object's descriptor. It reopens the file this object opened
    // through the seam, never creates or writes one, and only locks through
    // it: the kernel's /proc link is no path of the file system's.
    auto wait = std::make_shared<LockWait>();
    wait->fd = ::open(("/proc/self/fd/" + std::to_string(m_fd)).c_str(), O_RDWR | O_CLOEXEC);
    if (wait->fd < 0) return errno;
    std::thread waiter;
    try {
        waiter = std::thread(WaitInThread, wait, byte);
    } catch (const std::system_error& error) {
        ::close(wait->fd);
        return error.code().value() != 0 ? error.code().value() : EAGAIN;
    }
    // The thread is not waited for: once it has said the wait is done, it
    // only ends; if the caller gives up first, it ends when the byte comes.
    waiter.detach();
    std::unique_lock<std::mutex> lock(wait->mutex);
    while (!wait->done) {
        const int64_t left = deadline - wz::ClockMs();
        if (left <= 0) return ETIMEDOUT;
        wait->finished.wait_for(lock, std::chrono::milliseconds(wz::RealMs(std::min(left, kWaitSliceMs))));
    }
    return wait->error;
}

CWzError CLockFileBase::Unlock() {
    // Release the whole file: a lock taken while the file was empty covers
    // everything, and releasing only the bytes written since would keep the rest.
    struct flock region = LockRegion(F_UNLCK, 0, 0);
    if (::fcntl(m_fd, F_OFD_SETLK, &region) == -1) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to unlock the file.");
    }
    m_locked = false;
    EvDebug log;
    log.setJobId(static_cast<uint64_t>(m_jobId));
    log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 2, "Successfully unlocked the file");
    return CWzError::Success();
}

CWzError CLockFileBase::Read(std::string& out) const {
    struct stat info {};
    if (wz::Fs().Fstat(m_fd, &info) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to determine the file size");
    }
    const size_t size = static_cast<size_t>(info.st_size);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 1]);
    if (!buffer) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER,
                                         "Failed to allocate memory to read the contents of the file");
    }
    // The read leaves the position after the content, where a Write goes on.
    if (::lseek(m_fd, 0, SEEK_SET) == -1) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to seek to the beginning of the file");
    }
    ssize_t count;
    do {
        count = wz::Fs().Read(m_fd, buffer.get(), size);
    } while (count < 0 && errno == EINTR);
    if (count < 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Couldn't read [%lld] bytes from file",
                                       static_cast<long long>(size));
    }
    if (static_cast<size_t>(count) != size) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL,
                                         " [%lld] bytes read from the file does not match bytes to read [%lld]",
                                         static_cast<long long>(count), static_cast<long long>(size));
    }
    if (size > 0 && buffer[0] != '\0') out.assign(buffer.get(), size);
    return CWzError::Success();
}

CWzError CLockFileBase::Write(const std::string& data) const {
    if (data.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "data is empty");
    const size_t count = data.size() > 0xFFFFFFFFu ? 0xFFFFFFFFu : data.size();
    ssize_t written;
    do {
        written = wz::Fs().Write(m_fd, data.data(), count);
    } while (written < 0 && errno == EINTR);
    if (written < 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Couldn't write %lu bytes to file",
                                       static_cast<unsigned long>(count));
    }
    if (static_cast<size_t>(written) != count) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL,
                                         " [%lu] bytes written to the file does not match bytes to write [%lu]",
                                         static_cast<unsigned long>(written), static_cast<unsigned long>(count));
    }
    return CWzError::Success();
}

CWzError CLockFileBase::Truncate() const {
    if (wz::Fs().Ftruncate(m_fd, 0) != 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "ftruncate() failed");
    // Without the rewind a second Lock on the same descriptor would write its
    // owner text after a hole of zero bytes. (Moving the position changes
    // nothing on disk: it is the descriptor's own.)
    if (::lseek(m_fd, 0, SEEK_SET) == -1) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "lseek() to the start of the file failed");
    }
    return CWzError::Success();
}
