// CLockFileBase: opening, locking and writing the lock file of a state database.
#include "JxSQLCommon/state/CLockFileBase.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>
#include <memory>
#include <new>

#include "JxLib/EvDebug.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"

namespace {

constexpr size_t kOwnerTextWidth = 50;
constexpr uint32_t kOpenRetryMs = 1000;
constexpr uint32_t kLockRetryMs = 200;

// The region of a lock: from the start of the file over `length` bytes
// (0 = the whole file, however far it grows).
struct flock LockRegion(short type, off_t length) {
    struct flock region {};
    region.l_type = type;
    region.l_whence = SEEK_SET;
    region.l_start = 0;
    region.l_len = length;
    region.l_pid = 0;  // required for open-file-description locks
    return region;
}

}  // namespace

CLockFileBase::CLockFileBase(std::string ownerText) : m_ownerText(std::move(ownerText)) {}

CLockFileBase::~CLockFileBase() { (void)Close(); }

CWzError CLockFileBase::Open(const std::string& path, int attempts, int mode) {
    if (path.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "file path is empty");
    if (m_fd >= 0) return CWzError::Success();

    const mode_t createMode = mode == 0 ? 0744 : static_cast<mode_t>(mode);
    for (int i = 0; i < attempts; ++i) {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, createMode);
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
        if (::close(m_fd) != 0 && errno != EINTR) {
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

    const sfTime_t tries = seconds > std::numeric_limits<sfTime_t>::max() / 5 ? std::numeric_limits<sfTime_t>::max()
                                                                              : seconds * 5;
    CWzError result = DoLocking(F_WRLCK, tries);
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

CWzError CLockFileBase::DoLocking(unsigned long lockType, sfTime_t tries) {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to determine the file size");
    }
    struct flock region = LockRegion(static_cast<short>(lockType), info.st_size);

    EvDebug log;
    log.setJobId(static_cast<uint64_t>(m_jobId));
    for (sfTime_t attempt = 0;; ) {
        if (attempt >= tries) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to get a lock");
        if (::fcntl(m_fd, F_OFD_SETLK, &region) == 0) {
            m_locked = true;
            log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 2, "Successfully got a lock");
            return CWzError::Success();
        }
        const int err = errno;
        if (err == EACCES || err == EAGAIN) {
            log.Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 2,
                       "Some other process has it locked. Sleeping 200 milliseconds");
            WZSLEEP_InTeRnAl(kLockRetryMs);
            ++attempt;
        } else if (err == EINTR) {
            ++attempt;
        } else {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to get a lock");
        }
    }
}

CWzError CLockFileBase::Unlock() {
    // Release the whole file: a lock taken while the file was empty covers
    // everything, and releasing only the bytes written since would keep the rest.
    struct flock region = LockRegion(F_UNLCK, 0);
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
    if (::fstat(m_fd, &info) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to determine the file size");
    }
    const size_t size = static_cast<size_t>(info.st_size);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 1]);
    if (!buffer) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER,
                                         "Failed to allocate memory to read the contents of the file");
    }
    if (::lseek(m_fd, 0, SEEK_SET) == -1) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Failed to seek to the beginning of the file");
    }
    ssize_t count;
    do {
        count = ::read(m_fd, buffer.get(), size);
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
        written = ::write(m_fd, data.data(), count);
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
    if (::ftruncate(m_fd, 0) != 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "ftruncate() failed");
    // Without the rewind a second Lock on the same descriptor would write its
    // owner text after a hole of zero bytes.
    if (::lseek(m_fd, 0, SEEK_SET) == -1) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "ftruncate() failed");
    return CWzError::Success();
}
