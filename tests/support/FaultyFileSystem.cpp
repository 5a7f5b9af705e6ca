// Test support: the fault-injecting file system and its crash model.
#include "tests/support/FaultyFileSystem.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace jxtest {
namespace {

size_t Index(FsCall kind) { return static_cast<size_t>(kind); }

bool MayWrite(int flags) { return (flags & (O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND)) != 0; }

wz::FileSystem& Real() { return wz::RealFileSystem(); }

// A pattern without "/" is matched against the last name of the path.
bool Matches(const std::string& target, const std::string& path) {
    if (target.empty()) return true;
    if (path.empty()) return false;
    const size_t slash = path.find_last_of('/');
    const std::string subject =
        target.find('/') != std::string::npos || slash == std::string::npos ? path : path.substr(slash + 1);
    return ::fnmatch(target.c_str(), subject.c_str(), 0) == 0;
}

std::string Parent(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Reads everything from an open descriptor (of any open mode) or a path;
// false when it cannot.
bool ReadAllFrom(int fd, std::string& content) {
    content.clear();
    char buffer[65536];
    for (off_t offset = 0;;) {
        const ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        content.append(buffer, static_cast<size_t>(n));
        offset += n;
    }
}

bool ReadAll(const std::string& path, std::string& content) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool ok = ReadAllFrom(fd, content);
    ::close(fd);
    return ok;
}

// The contents behind a descriptor even when it was opened write-only or
// its file was unlinked since.
bool ReadDescriptor(int fd, std::string& content) {
    return ReadAll("/proc/self/fd/" + std::to_string(fd), content) || ReadAllFrom(fd, content);
}

void PutBack(const std::string& path, const std::string& content) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return;  // its folder is gone: so is the file
    // Straight to the disk: the seam would come back to the crashed file system.
    for (size_t done = 0; done < content.size();) {
        const ssize_t n = ::write(fd, content.data() + done, content.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    ::close(fd);
}

}  // namespace

FaultyFileSystem::FaultyFileSystem() = default;

FaultyFileSystem::~FaultyFileSystem() = default;

void FaultyFileSystem::FailCall(FsCall kind, int nth, int error, bool sticky) { FailCallOn("", kind, nth, error, sticky); }

void FaultyFileSystem::FailCallOn(const std::string& target, FsCall kind, int nth, int error, bool sticky) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_faults[Index(kind)] = Fault{nth, error, sticky, false, target};
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
    m_crashPoint = CrashPoint{};
    m_crashed = false;
}

void FaultyFileSystem::RecordForCrash(const std::string& root) {
    const std::string resolved = wz::ResolveThroughLinks(root, Real());
    std::lock_guard<std::mutex> lock(m_mutex);
    ForgetDurability();
    // Never the whole machine: a crash writes and removes files under it.
    m_durable.root = resolved == "/" ? "" : resolved;
}

void FaultyFileSystem::CrashAt(FsCall kind, int nth, const std::string& target) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_crashPoint = CrashPoint{nth, kind, target};
}

void FaultyFileSystem::CrashAt(int nth, const std::string& target) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_crashPoint = CrashPoint{nth, std::nullopt, target};
}

void FaultyFileSystem::Crash() {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_firedOnDemand;
    CrashLocked();
}

bool FaultyFileSystem::Crashed() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_crashed;
}

int FaultyFileSystem::Calls(FsCall kind) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_calls[Index(kind)];
}

int FaultyFileSystem::ChangingCalls() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_changing;
}

int FaultyFileSystem::Fired(FsCall kind) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_fired[Index(kind)];
}

int FaultyFileSystem::FiredTotal() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int total = m_firedOnDemand;
    for (int fired : m_fired) total += fired;
    return total;
}

std::vector<std::string> FaultyFileSystem::Escapes() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_escapes;
}

bool FaultyFileSystem::Fails(FsCall kind, bool changing, const std::string& path, const std::string& other) {
    std::lock_guard<std::mutex> lock(m_mutex);
    return FailsLocked(kind, changing, path, other);
}

bool FaultyFileSystem::FailsLocked(FsCall kind, bool changing, const std::string& path, const std::string& other) {
    ++m_calls[Index(kind)];
    if (changing) ++m_changing;
    if (m_crashed) {
        errno = EIO;
        return true;
    }
    const auto matches = [&](const std::string& target) { return Matches(target, path) || Matches(target, other); };
    CrashPoint& crash = m_crashPoint;
    if (crash.countdown > 0 && (!crash.kind || *crash.kind == kind) && matches(crash.target) &&
        --crash.countdown == 0) {
        ++m_fired[Index(kind)];
        CrashLocked();
        errno = EIO;
        return true;
    }
    Fault& fault = m_faults[Index(kind)];
    if (!matches(fault.target)) return false;
    if (!fault.firing && fault.countdown > 0 && --fault.countdown == 0) fault.firing = true;
    if (!fault.firing) return false;
    ++m_fired[Index(kind)];
    const int error = fault.error;
    if (!fault.sticky) fault = Fault{};
    errno = error;
    return true;
}

std::string FaultyFileSystem::PathOf(int fd) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto it = m_openedFrom.find(fd);
    return it == m_openedFrom.end() ? std::string() : it->second;
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

ssize_t FaultyFileSystem::WriteAllowance(FsCall kind, size_t count) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_limitWrites) return static_cast<ssize_t>(count);
    if (m_bytesLeft == 0) {
        ++m_fired[Index(kind)];
        errno = m_writeError;
        return -1;
    }
    if (count <= m_bytesLeft) return static_cast<ssize_t>(count);
    ++m_fired[Index(kind)];
    return static_cast<ssize_t>(m_bytesLeft);
}

void FaultyFileSystem::Wrote(ssize_t written) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_limitWrites && written > 0) m_bytesLeft -= static_cast<size_t>(written);
}

// The crash model. A touched path is one a change was asked of since
// recording began: its durable state is captured before the change.

std::string FaultyFileSystem::Tracked(const std::string& path) const {
    if (m_durable.root.empty()) return {};
    const std::string resolved = wz::ResolveThroughLinks(path, Real());
    if (resolved.empty() || !wz::PathIsUnder(resolved, m_durable.root)) return {};
    return resolved;
}

void FaultyFileSystem::Touch(const std::string& resolved) {
    if (resolved.empty() || m_durable.names.count(resolved) != 0) return;
    struct stat st {};
    if (::lstat(resolved.c_str(), &st) != 0) {
        if (errno == ENOENT) m_durable.names[resolved] = std::nullopt;
        return;
    }
    if (!S_ISREG(st.st_mode)) return;  // folders and links are left alone
    std::string content;
    if (!ReadAll(resolved, content)) return;
    const Inode inode = m_durable.next++;
    m_durable.contents[inode] = std::move(content);
    m_durable.current[resolved] = inode;
    m_durable.names[resolved] = inode;
}

void FaultyFileSystem::Opened(int fd, const std::string& resolved, bool mayWrite) {
    struct stat st {};
    if (resolved.empty() || ::fstat(fd, &st) != 0) return;
    if (S_ISDIR(st.st_mode)) {
        m_durable.folders[fd] = resolved;
        return;
    }
    if (!S_ISREG(st.st_mode) || m_durable.names.count(resolved) == 0) return;
    auto current = m_durable.current.find(resolved);
    if (current == m_durable.current.end() && mayWrite) {
        // Created by this open: until an fsync it holds nothing durable.
        const Inode inode = m_durable.next++;
        m_durable.contents[inode] = std::string();
        current = m_durable.current.emplace(resolved, inode).first;
    }
    if (current != m_durable.current.end()) m_durable.files[fd] = current->second;
}

void FaultyFileSystem::SyncFile(int fd) {
    const auto folder = m_durable.folders.find(fd);
    if (folder != m_durable.folders.end()) {
        SyncFolder(folder->second);
        return;
    }
    const auto file = m_durable.files.find(fd);
    std::string content;
    if (file != m_durable.files.end() && ReadDescriptor(fd, content)) m_durable.contents[file->second] = content;
}

void FaultyFileSystem::SyncFolder(const std::string& folder) {
    for (auto& [path, durable] : m_durable.names) {
        if (Parent(path) != folder) continue;
        const auto current = m_durable.current.find(path);
        durable = current == m_durable.current.end() ? std::nullopt : std::optional<Inode>(current->second);
    }
}

void FaultyFileSystem::CrashLocked() {
    m_crashed = true;
    for (const auto& [path, durable] : m_durable.names) {
        if (!wz::PathIsUnder(path, m_durable.root)) continue;  // never anything outside the root
        if (durable) {
            PutBack(path, m_durable.contents[*durable]);
            continue;
        }
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) (void)::unlink(path.c_str());
    }
    ForgetDurability();
}

void FaultyFileSystem::ForgetDurability() {
    const std::string root = m_durable.root;
    m_durable = Durability{};
    m_durable.root = root;
}

// The calls: each counts, may fail, then goes on to the file system below;
// the crash model notes what a change did.

int FaultyFileSystem::Open(const std::string& path, int flags, mode_t mode) {
    const bool changing = MayWrite(flags);
    if (Fails(FsCall::kOpen, changing, path) || (changing && Escapes(path))) return -1;
    std::string tracked;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        tracked = Tracked(path);
        if (changing) Touch(tracked);
    }
    const int fd = ForwardingFileSystem::Open(path, flags, mode);
    if (fd < 0) return fd;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_openedFrom[fd] = path;
    Opened(fd, tracked, changing);
    return fd;
}

ssize_t FaultyFileSystem::Read(int fd, void* buf, size_t count) {
    if (Fails(FsCall::kRead, false, PathOf(fd))) return -1;
    return ForwardingFileSystem::Read(fd, buf, count);
}

ssize_t FaultyFileSystem::Write(int fd, const void* buf, size_t count) {
    if (Fails(FsCall::kWrite, true, PathOf(fd))) return -1;
    const ssize_t allowed = WriteAllowance(FsCall::kWrite, count);
    if (allowed < 0) return -1;
    const ssize_t written = ForwardingFileSystem::Write(fd, buf, static_cast<size_t>(allowed));
    Wrote(written);
    return written;
}

ssize_t FaultyFileSystem::PWrite(int fd, const void* buf, size_t count, off_t offset) {
    if (Fails(FsCall::kPWrite, true, PathOf(fd))) return -1;
    const ssize_t allowed = WriteAllowance(FsCall::kPWrite, count);
    if (allowed < 0) return -1;
    const ssize_t written = ForwardingFileSystem::PWrite(fd, buf, static_cast<size_t>(allowed), offset);
    Wrote(written);
    return written;
}

ssize_t FaultyFileSystem::PRead(int fd, void* buf, size_t count, off_t offset) {
    if (Fails(FsCall::kPRead, false, PathOf(fd))) return -1;
    return ForwardingFileSystem::PRead(fd, buf, count, offset);
}

int FaultyFileSystem::Fsync(int fd) {
    if (Fails(FsCall::kFsync, false, PathOf(fd))) return -1;
    const int rc = ForwardingFileSystem::Fsync(fd);
    if (rc != 0) return rc;
    std::lock_guard<std::mutex> lock(m_mutex);
    SyncFile(fd);
    return rc;
}

int FaultyFileSystem::Close(int fd) {
    const std::string path = PathOf(fd);
    // A failed close still releases the descriptor, as close(2) does.
    const int rc = ForwardingFileSystem::Close(fd);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_openedFrom.erase(fd);
        m_durable.files.erase(fd);
        m_durable.folders.erase(fd);
    }
    if (Fails(FsCall::kClose, false, path)) return -1;
    return rc;
}

int FaultyFileSystem::Rename(const std::string& from, const std::string& to) {
    if (Fails(FsCall::kRename, true, from, to) || Escapes(from) || Escapes(to)) return -1;
    std::string trackedFrom;
    std::string trackedTo;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        trackedFrom = Tracked(from);
        trackedTo = Tracked(to);
        Touch(trackedFrom);
        Touch(trackedTo);
    }
    const int rc = ForwardingFileSystem::Rename(from, to);
    if (rc != 0) return rc;
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& current = m_durable.current;
    const auto moved = trackedFrom.empty() ? current.end() : current.find(trackedFrom);
    if (moved != current.end()) {
        const Inode inode = moved->second;
        current.erase(moved);
        if (!trackedTo.empty()) current[trackedTo] = inode;
    } else if (!trackedTo.empty()) {
        current.erase(trackedTo);
    }
    return rc;
}

int FaultyFileSystem::Unlink(const std::string& path) {
    if (Fails(FsCall::kUnlink, true, path) || Escapes(path)) return -1;
    std::string tracked;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        tracked = Tracked(path);
        Touch(tracked);
    }
    const int rc = ForwardingFileSystem::Unlink(path);
    if (rc != 0) return rc;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!tracked.empty()) m_durable.current.erase(tracked);
    return rc;
}

int FaultyFileSystem::Mkdir(const std::string& path, mode_t mode) {
    if (Fails(FsCall::kMkdir, true, path) || Escapes(path)) return -1;
    return ForwardingFileSystem::Mkdir(path, mode);
}

int FaultyFileSystem::Rmdir(const std::string& path) {
    if (Fails(FsCall::kRmdir, true, path) || Escapes(path)) return -1;
    return ForwardingFileSystem::Rmdir(path);
}

int FaultyFileSystem::Stat(const std::string& path, struct stat* st) {
    if (Fails(FsCall::kStat, false, path)) return -1;
    return ForwardingFileSystem::Stat(path, st);
}

int FaultyFileSystem::Lstat(const std::string& path, struct stat* st) {
    if (Fails(FsCall::kLstat, false, path)) return -1;
    return ForwardingFileSystem::Lstat(path, st);
}

int FaultyFileSystem::Fstat(int fd, struct stat* st) {
    if (Fails(FsCall::kFstat, false, PathOf(fd))) return -1;
    return ForwardingFileSystem::Fstat(fd, st);
}

int FaultyFileSystem::Fchmod(int fd, mode_t mode) {
    if (Fails(FsCall::kFchmod, true, PathOf(fd))) return -1;
    return ForwardingFileSystem::Fchmod(fd, mode);
}

int FaultyFileSystem::ReadDirectory(const std::string& path, std::vector<std::string>& names) {
    if (Fails(FsCall::kReadDirectory, false, path)) return -1;
    return ForwardingFileSystem::ReadDirectory(path, names);
}

int FaultyFileSystem::RealPath(const std::string& path, std::string& resolved) {
    if (Fails(FsCall::kRealPath, false, path)) return -1;
    return ForwardingFileSystem::RealPath(path, resolved);
}

}  // namespace jxtest
