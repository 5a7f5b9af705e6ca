// Test support: the fault-injecting file system.
#include "tests/support/FaultyFileSystem.h"

#include <fcntl.h>

#include <cerrno>

namespace jxtest {
namespace {

size_t Index(FsCall kind) { return static_cast<size_t>(kind); }

bool MayWrite(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND)) != 0; }

wz::FileSystem& Real() { return wz::RealFileSystem(); }

}  // namespace

FaultyFileSystem::FaultyFileSystem() : m_base(wz::Fs()) {}

void FaultyFileSystem::FailCall(FsCall kind, int nth, int error, bool sticky) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[Index(kind)] = Fault{nth, error, sticky, false};
}

void FaultyFileSystem::FailWritesAfter(size_t bytes, int error) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_limitWrites = true;
    m_bytesLeft = bytes;
    m_writeError = error;
}

void FaultyFileSystem::ConfineTo(const std::string& root) {
    std::string resolved = wz::ResolveThroughLinks(root, Real());
    std::lock_guard<std::mutex> lock(m_mutex);
    m_root = resolved.empty() ? root : resolved;
}

void FaultyFileSystem::Heal() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults = {};
    m_limitWrites = false;
}

int FaultyFileSystem::Calls(FsCall kind) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls[Index(kind)];
}

int FaultyFileSystem::ChangingCalls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_changing;
}

std::vector<std::string> FaultyFileSystem::Escapes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_escapes;
}

bool FaultyFileSystem::Fails(FsCall kind, bool changing) {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_calls[Index(kind)];
    if (changing) ++m_changing;
    Fault& fault = m_faults[Index(kind)];
    if (!fault.firing && fault.countdown > 0 && --fault.countdown == 0) fault.firing = true;
    if (!fault.firing) return false;
    const int error = fault.error;
    if (!fault.sticky) fault = Fault{};
    errno = error;
    return true;
}

bool FaultyFileSystem::Escapes(const std::string& path) {
    std::string root;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        root = m_root;
    }
    if (root.empty()) return false;
    // A relative path depends on the working directory, so it is never inside.
    const std::string resolved = wz::ResolveThroughLinks(path, Real());
    if (!resolved.empty() && wz::PathIsUnder(resolved, root)) return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_escapes.push_back(path);
    errno = EPERM;
    return true;
}

ssize_t FaultyFileSystem::WriteAllowance(size_t count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_limitWrites) return static_cast<ssize_t>(count);
    if (m_bytesLeft == 0) {
        errno = m_writeError;
        return -1;
    }
    return static_cast<ssize_t>(count < m_bytesLeft ? count : m_bytesLeft);
}

void FaultyFileSystem::Wrote(ssize_t written) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_limitWrites && written > 0) m_bytesLeft -= static_cast<size_t>(written);
}

int FaultyFileSystem::Open(const std::string& path, int flags, mode_t mode) {
    const bool changing = MayWrite(flags);
    if (Fails(FsCall::kOpen, changing) || (changing && Escapes(path))) return -1;
    return m_base.Open(path, flags, mode);
}

ssize_t FaultyFileSystem::Read(int fd, void* buf, size_t count) {
    if (Fails(FsCall::kRead, false)) return -1;
    return m_base.Read(fd, buf, count);
}

ssize_t FaultyFileSystem::Write(int fd, const void* buf, size_t count) {
    if (Fails(FsCall::kWrite, true)) return -1;
    const ssize_t allowed = WriteAllowance(count);
    if (allowed < 0) return -1;
    const ssize_t written = m_base.Write(fd, buf, static_cast<size_t>(allowed));
    Wrote(written);
    return written;
}

ssize_t FaultyFileSystem::PWrite(int fd, const void* buf, size_t count, off_t offset) {
    if (Fails(FsCall::kPWrite, true)) return -1;
    const ssize_t allowed = WriteAllowance(count);
    if (allowed < 0) return -1;
    const ssize_t written = m_base.PWrite(fd, buf, static_cast<size_t>(allowed), offset);
    Wrote(written);
    return written;
}

ssize_t FaultyFileSystem::PRead(int fd, void* buf, size_t count, off_t offset) {
    if (Fails(FsCall::kPRead, false)) return -1;
    return m_base.PRead(fd, buf, count, offset);
}

int FaultyFileSystem::Fsync(int fd) {
    if (Fails(FsCall::kFsync, false)) return -1;
    return m_base.Fsync(fd);
}

int FaultyFileSystem::Close(int fd) {
    // A failed close still releases the descriptor, as close(2) does.
    const int rc = m_base.Close(fd);
    if (Fails(FsCall::kClose, false)) return -1;
    return rc;
}

int FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
    if (Fails(FsCall::kRename, true) || Escapes(from) || Escapes(to)) return -1;
    return m_base.Rename(from, to);
}

int FaultyFileSystem::Unlink(const std::string& path) {
    if (Fails(FsCall::kUnlink, true) || Escapes(path)) return -1;
    return m_base.Unlink(path);
}

int FaultyFileSystem::Mkdir(const std::string& path, mode_t mode) {
    if (Fails(FsCall::kMkdir, true) || Escapes(path)) return -1;
    return m_base.Mkdir(path, mode);
}

int FaultyFileSystem::Rmdir(const std::string& path) {
    if (Fails(FsCall::kRmdir, true) || Escapes(path)) return -1;
    return m_base.Rmdir(path);
}

int FaultyFileSystem::Stat(const std::string& path, struct stat* st) {
    if (Fails(FsCall::kStat, false)) return -1;
    return m_base.Stat(path, st);
}

int FaultyFileSystem::Lstat(const std::string& path, struct stat* st) {
    if (Fails(FsCall::kLstat, false)) return -1;
    return m_base.Lstat(path, st);
}

int FaultyFileSystem::Fstat(int fd, struct stat* st) {
    if (Fails(FsCall::kFstat, false)) return -1;
    return m_base.Fstat(fd, st);
}

int FaultyFileSystem::Fchmod(int fd, mode_t mode) {
    if (Fails(FsCall::kFchmod, true)) return -1;
    return m_base.Fchmod(fd, mode);
}

int FaultyFileSystem::ReadDirectory(const std::string& path, std::vector<std::string>& names) {
    if (Fails(FsCall::kReadDirectory, false)) return -1;
    return m_base.ReadDirectory(path, names);
}

int FaultyFileSystem::RealPath(const std::string& path, std::string& resolved) {
    if (Fails(FsCall::kRealPath, false)) return -1;
    return m_base.RealPath(path, resolved);
}

}  // namespace jxtest
