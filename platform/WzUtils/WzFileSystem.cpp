// The POSIX file system behind the seam, and the helpers built on the seam.
#include "WzUtils/WzFileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace wz {
namespace {

class PosixFileSystem final : public FileSystem {
public:
    int Open(const std::string& path, int flags, mode_t mode) override {
        int fd;
        do fd = ::open(path.c_str(), flags | O_CLOEXEC, mode); while (fd < 0 && errno == EINTR);
        return fd;
    }
    ssize_t Read(int fd, void* buf, size_t count) override { return ::read(fd, buf, count); }
    ssize_t Write(int fd, const void* buf, size_t count) override { return ::write(fd, buf, count); }
    ssize_t PWrite(int fd, const void* buf, size_t count, off_t offset) override {
        return ::pwrite(fd, buf, count, offset);
    }
    ssize_t PRead(int fd, void* buf, size_t count, off_t offset) override {
        return ::pread(fd, buf, count, offset);
    }
    int Fsync(int fd) override { return ::fsync(fd); }
    int Close(int fd) override { return ::close(fd); }
    int Rename(const std::string& from, const std::string& to) override {
        return ::rename(from.c_str(), to.c_str());
    }
    int Unlink(const std::string& path) override { return ::unlink(path.c_str()); }
    int Mkdir(const std::string& path, mode_t mode) override { return ::mkdir(path.c_str(), mode); }
    int Rmdir(const std::string& path) override { return ::rmdir(path.c_str()); }
    int Stat(const std::string& path, struct stat* st) override { return ::stat(path.c_str(), st); }
    int Lstat(const std::string& path, struct stat* st) override { return ::lstat(path.c_str(), st); }
    int Fstat(int fd, struct stat* st) override { return ::fstat(fd, st); }
    int Fchmod(int fd, mode_t mode) override { return ::fchmod(fd, mode); }
    int Ftruncate(int fd, off_t length) override { return ::ftruncate(fd, length); }
    int ReadDirectory(const std::string& path, std::vector<std::string>& names) override {
        DIR* dir = ::opendir(path.c_str());
        if (dir == nullptr) return -1;
        names.clear();
        errno = 0;
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.emplace_back(entry->d_name);
            }
            errno = 0;
        }
        const int failure = errno;
        ::closedir(dir);
        errno = failure;
        return failure == 0 ? 0 : -1;
    }
    int RealPath(const std::string& path, std::string& resolved) override {
        char buffer[PATH_MAX];
        if (::realpath(path.c_str(), buffer) == nullptr) return -1;
        resolved = buffer;
        return 0;
    }
};

std::atomic<FileSystem*> g_current{nullptr};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

ForwardingFileSystem::ForwardingFileSystem() : target_(Fs()) {}

FileSystem& Fs() {
    FileSystem* fs = g_current.load(std::memory_order_acquire);
    return fs ? *fs : RealFileSystem();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fs) : previous_(g_current.exchange(&fs)) {}

ScopedFileSystem::~ScopedFileSystem() { g_current.store(previous_); }

namespace {
// Hands `count` bytes to `write(pointer, length, done)` in slices of at most
// kWriteSlice, retrying interrupted calls; a write of nothing is an error.
template <typename Write>
bool WriteSliced(const void* buf, size_t count, Write write) {
    const char* p = static_cast<const char*>(buf);
    size_t done = 0;
    while (done < count) {
        ssize_t n = write(p + done, std::min(count - done, kWriteSlice), done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}
}  // namespace

bool WriteAll(int fd, const void* buf, size_t count) {
    return WriteSliced(buf, count, [fd](const char* p, size_t n, size_t) { return Fs().Write(fd, p, n); });
}

bool PWriteAll(int fd, const void* buf, size_t count, off_t offset) {
    return WriteSliced(buf, count, [fd, offset](const char* p, size_t n, size_t done) {
        return Fs().PWrite(fd, p, n, offset + static_cast<off_t>(done));
    });
}

bool ReadSmallFile(const std::string& path, std::string& text, size_t maxBytes) {
    const int fd = Fs().Open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    char buffer[65536];
    ssize_t n = 0;
    while (text.size() <= maxBytes && (n = Fs().Read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<size_t>(n));
    }
    const bool tooBig = text.size() > maxBytes;
    const int saved = tooBig ? EFBIG : errno;
    (void)Fs().Close(fd);  // read-only: nothing to lose on close
    errno = saved;
    return n == 0 && !tooBig;
}

std::string UniqueSiblingName(const std::string& path, const std::string& tag) {
    static std::atomic<unsigned> s_sequence{0};
    return path + "." + tag + "." + std::to_string(::getpid()) + "." + std::to_string(s_sequence.fetch_add(1));
}

bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode) {
    FileSystem& fs = Fs();
    // A name of this call's own, so that writers of the same file never
    // write into each other's temporary file.
    const std::string temp = UniqueSiblingName(path, "tmp");
    int fd = fs.Open(temp, O_WRONLY | O_CREAT | O_EXCL, mode);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, content.data(), content.size()) && fs.Fsync(fd) == 0;
    int saved = errno;
    if (fs.Close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && fs.Rename(temp, path) == 0) return SyncFolderOf(path) == 0;
    if (ok) saved = errno;
    (void)fs.Unlink(temp);
    errno = saved;
    return false;
}

int SyncFolder(const std::string& folder) {
    FileSystem& fs = Fs();
    const int fd = fs.Open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0);
    if (fd < 0) return -1;
    const int rc = fs.Fsync(fd);
    const int saved = errno;
    (void)fs.Close(fd);  // read-only: the fsync's result is what counts
    errno = saved;
    return rc == 0 ? 0 : -1;
}

int SyncFolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return SyncFolder(".");
    return SyncFolder(slash == 0 ? "/" : path.substr(0, slash));
}

int MakeDirectoryTree(const std::string& path, mode_t mode) {
    FileSystem& fs = Fs();
    if (path.empty()) {
        errno = EINVAL;
        return -1;
    }
    struct stat st {};
    if (fs.Stat(path, &st) == 0) {
        if (S_ISDIR(st.st_mode)) return 0;
        errno = ENOTDIR;
        return -1;
    }
    const size_t slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && MakeDirectoryTree(path.substr(0, slash), mode) != 0) return -1;
    if (fs.Mkdir(path, mode) != 0 && errno != EEXIST) return -1;
    if (fs.Stat(path, &st) != 0) return -1;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return -1;
    }
    return 0;
}

int RemoveTree(const std::string& path) {
    FileSystem& fs = Fs();
    struct stat st {};
    if (fs.Lstat(path, &st) != 0) return -1;
    if (!S_ISDIR(st.st_mode)) return fs.Unlink(path);
    std::vector<std::string> names;
    if (fs.ReadDirectory(path, names) != 0) return -1;
    for (const std::string& name : names) {
        if (RemoveTree(path + "/" + name) != 0) return -1;
    }
    return fs.Rmdir(path);
}

std::string ResolveThroughLinks(const std::string& path, FileSystem& fs) {
    if (path.empty() || path[0] != '/') return {};
    std::vector<std::string> levels;
    for (size_t start = 1; start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        std::string level = path.substr(start, end - start);
        if (level == "..") return {};
        if (!level.empty() && level != ".") levels.push_back(std::move(level));
        start = end + 1;
    }
    // The deepest ancestor that exists decides where the path really leads;
    // the levels below it do not exist yet, so none of them is a link.
    for (size_t existing = levels.size() + 1; existing-- > 0;) {
        std::string ancestor;
        for (size_t i = 0; i < existing; ++i) ancestor += "/" + levels[i];
        if (ancestor.empty()) ancestor = "/";
        struct stat st {};
        if (fs.Lstat(ancestor, &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) continue;
            return {};
        }
        std::string resolved;
        if (fs.RealPath(ancestor, resolved) != 0) return {};
        for (size_t i = existing; i < levels.size(); ++i) {
            if (resolved.back() != '/') resolved += '/';
            resolved += levels[i];
        }
        return resolved;
    }
    return {};
}

bool PathIsUnder(const std::string& path, const std::string& root) {
    if (root.empty() || path.compare(0, root.size(), root) != 0) return false;
    return path.size() == root.size() || root.back() == '/' || path[root.size()] == '/';
}

}  // namespace wz
