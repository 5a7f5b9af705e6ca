// The POSIX file system behind the seam, and the helpers built on the seam.
#include "WzUtils/WzFileSystem.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

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
};

std::atomic<FileSystem*> g_current{nullptr};

}  // namespace

FileSystem& RealFileSystem() {
    static PosixFileSystem fs;
    return fs;
}

FileSystem& Fs() {
    FileSystem* fs = g_current.load(std::memory_order_acquire);
    return fs ? *fs : RealFileSystem();
}

ScopedFileSystem::ScopedFileSystem(FileSystem& fs) : previous_(g_current.exchange(&fs)) {}

ScopedFileSystem::~ScopedFileSystem() { g_current.store(previous_); }

bool WriteAll(int fd, const void* buf, size_t count) {
    const char* p = static_cast<const char*>(buf);
    while (count > 0) {
        ssize_t n = Fs().Write(fd, p, count);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        p += n;
        count -= static_cast<size_t>(n);
    }
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode) {
    FileSystem& fs = Fs();
    const std::string temp = path + ".tmp";
    int fd = fs.Open(temp, O_WRONLY | O_CREAT | O_TRUNC, mode);
    if (fd < 0) return false;
    bool ok = WriteAll(fd, content.data(), content.size()) && fs.Fsync(fd) == 0;
    int saved = errno;
    if (fs.Close(fd) != 0 && ok) {
        ok = false;
        saved = errno;
    }
    if (ok && fs.Rename(temp, path) == 0) return true;
    if (ok) saved = errno;
    (void)fs.Unlink(temp);
    errno = saved;
    return false;
}

}  // namespace wz
