// JxNamedMutex: an inter-process mutex over an OFD lock on a lock file.
#include "JxLib/JxNamedMutex.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "JxLib/EvDebug.h"
#include "WzUtils/GetCurrentThreadId.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFormat.h"

namespace {

// How often a waiting lock() tries again, in platform milliseconds.
constexpr int64_t kPollMs = 10;

EvDebug& Log() {
    static EvDebug log("JxNamedMutex");
    return log;
}

// Keeps letters, digits, '_', '-' and '.'; every other byte becomes "%XX", so
// no name can leave the lock directory or clash with another name.
std::string EscapeName(const std::string& name) {
    std::string out;
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
            c == '.') {
            out += ch;
        } else {
            out += wz::Format("%%%02X", c);
        }
    }
    return out;
}

// The lock file name of `name`: the escaped name, or, when that is too long
// for one file name, its first part followed by "~" and the FNV-1a hash of
// the whole name ("~" never occurs in an escaped name).
std::string FileNameOf(const std::string& name) {
    constexpr size_t kKeep = 160;
    std::string escaped = EscapeName(name);
    if (escaped.size() <= kKeep + 20) return escaped;
    uint64_t hash = 14695981039346656037ULL;
    for (char c : name) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return escaped.substr(0, kKeep) + wz::Format("~%016llx", static_cast<unsigned long long>(hash));
}

bool SetFileLock(int fd, short type) {
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;  // the whole file
    return ::fcntl(fd, F_OFD_SETLK, &fl) == 0;
}

}  // namespace

std::string JxNamedMutex::LockFilePath(const std::string& name) {
    return wz::PlatformPath("locks/mutex/" + FileNameOf(name) + ".lock");
}

JxNamedMutex::JxNamedMutex(const std::string& name) : m_name(name) {
    std::string path = wz::PlatformFilePath("locks/mutex/" + FileNameOf(name) + ".lock");
    m_file.reset(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644));
    if (!m_file.is_valid()) {
        int err = errno;
        EV_ERROR(Log(), "Cannot open the lock file [%s] of mutex [%s]: %s", path.c_str(), name.c_str(),
                 std::strerror(err));
    }
}

JxNamedMutex::Attempt JxNamedMutex::TryFileLock() {
    if (!m_file.is_valid()) return Attempt::Failed;
    if (SetFileLock(m_file.get(), F_WRLCK)) return Attempt::Obtained;
    int err = errno;
    if (err == EAGAIN || err == EACCES || err == EINTR) return Attempt::Busy;
    EV_ERROR(Log(), "Cannot lock mutex [%s]: %s", m_name.c_str(), std::strerror(err));
    return Attempt::Failed;
}

bool JxNamedMutex::lock(int64_t timeoutMs) {
    const unsigned long self = GetCurrentThreadId();
    const int64_t start = wz::ClockMs();
    const bool forever = timeoutMs == kInfinite || timeoutMs > std::numeric_limits<int64_t>::max() - start;
    const int64_t deadline = forever ? 0 : start + std::max<int64_t>(timeoutMs, 0);
    for (;;) {
        {
            std::lock_guard<std::mutex> guard(m_state);
            if (m_lockCnt > 0 && m_ownerThread == self) {
                ++m_lockCnt;
                return true;
            }
            if (m_lockCnt == 0) {
                Attempt attempt = TryFileLock();
                if (attempt == Attempt::Failed) return false;
                if (attempt == Attempt::Obtained) {
                    m_ownerThread = self;
                    m_lockCnt = 1;
                    return true;
                }
            }
        }
        int64_t wait = kPollMs;
        if (!forever) {
            int64_t left = deadline - wz::ClockMs();
            if (left <= 0) return false;
            wait = std::min(left, kPollMs);
        }
        WZSLEEP_InTeRnAl(static_cast<uint32_t>(wait));
    }
}

bool JxNamedMutex::unlock() {
    std::lock_guard<std::mutex> guard(m_state);
    if (m_lockCnt == 0 || m_ownerThread != GetCurrentThreadId()) {
        EV_ERROR(Log(), "Unlock of mutex [%s] by a thread that does not hold it", m_name.c_str());
        return false;
    }
    if (--m_lockCnt > 0) return true;
    m_ownerThread = 0;
    if (!SetFileLock(m_file.get(), F_UNLCK)) {
        // Closing the file would also drop the lock, but the object keeps
        // its descriptor for later locks; report and go on.
        int err = errno;
        EV_ERROR(Log(), "Cannot release mutex [%s]: %s", m_name.c_str(), std::strerror(err));
    }
    return true;
}

int JxNamedMutex::getLockCnt() const {
    std::lock_guard<std::mutex> guard(m_state);
    return m_lockCnt;
}

bool JxNamedMutex::isHeldByCurrentThread() const {
    std::lock_guard<std::mutex> guard(m_state);
    return m_lockCnt > 0 && m_ownerThread == GetCurrentThreadId();
}
