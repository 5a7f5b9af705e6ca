// The file-system seam: every file the system writes or removes goes through
// one FileSystem object, so that tests can make disk-full and I/O errors
// happen at a chosen call and check that nothing half-written is left behind.
//
// The calls mirror POSIX: they return what the POSIX call returns (a
// descriptor, a byte count, 0, or -1) and leave the reason in errno. The real
// file system is the default; a test installs another one with
// ScopedFileSystem for the duration of one test.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

namespace wz {

class FileSystem {
public:
    virtual ~FileSystem() = default;

    virtual int Open(const std::string& path, int flags, mode_t mode = 0644) = 0;
    virtual ssize_t Read(int fd, void* buf, size_t count) = 0;
    virtual ssize_t Write(int fd, const void* buf, size_t count) = 0;
    virtual ssize_t PWrite(int fd, const void* buf, size_t count, off_t offset) = 0;
    virtual ssize_t PRead(int fd, void* buf, size_t count, off_t offset) = 0;
    virtual int Fsync(int fd) = 0;
    virtual int Close(int fd) = 0;
    virtual int Rename(const std::string& from, const std::string& to) = 0;
    virtual int Unlink(const std::string& path) = 0;
    virtual int Mkdir(const std::string& path, mode_t mode = 0755) = 0;
    virtual int Rmdir(const std::string& path) = 0;
    virtual int Stat(const std::string& path, struct stat* st) = 0;
    // Like Stat, but a symbolic link is described itself, not followed.
    virtual int Lstat(const std::string& path, struct stat* st) = 0;
    virtual int Fstat(int fd, struct stat* st) = 0;
    virtual int Fchmod(int fd, mode_t mode) = 0;
    virtual int Ftruncate(int fd, off_t length) = 0;
    // The names in a directory, without "." and "..", in no set order.
    virtual int ReadDirectory(const std::string& path, std::vector<std::string>& names) = 0;
    // The absolute path of an existing `path` with every link followed.
    virtual int RealPath(const std::string& path, std::string& resolved) = 0;
};

// The POSIX file system.
FileSystem& RealFileSystem();

// A file system that hands every call to another one (the file system in
// use when it was made, unless given): a test double overrides only the
// calls it changes.
class ForwardingFileSystem : public FileSystem {
public:
    ForwardingFileSystem();
    explicit ForwardingFileSystem(FileSystem& target) : target_(target) {}

    int Open(const std::string& p, int f, mode_t m) override { return target_.Open(p, f, m); }
    ssize_t Read(int fd, void* b, size_t n) override { return target_.Read(fd, b, n); }
    ssize_t Write(int fd, const void* b, size_t n) override { return target_.Write(fd, b, n); }
    ssize_t PWrite(int fd, const void* b, size_t n, off_t o) override { return target_.PWrite(fd, b, n, o); }
    ssize_t PRead(int fd, void* b, size_t n, off_t o) override { return target_.PRead(fd, b, n, o); }
    int Fsync(int fd) override { return target_.Fsync(fd); }
    int Close(int fd) override { return target_.Close(fd); }
    int Rename(const std::string& a, const std::string& b) override { return target_.Rename(a, b); }
    int Unlink(const std::string& p) override { return target_.Unlink(p); }
    int Mkdir(const std::string& p, mode_t m) override { return target_.Mkdir(p, m); }
    int Rmdir(const std::string& p) override { return target_.Rmdir(p); }
    int Stat(const std::string& p, struct stat* st) override { return target_.Stat(p, st); }
    int Lstat(const std::string& p, struct stat* st) override { return target_.Lstat(p, st); }
    int Fstat(int fd, struct stat* st) override { return target_.Fstat(fd, st); }
    int Fchmod(int fd, mode_t m) override { return target_.Fchmod(fd, m); }
    int Ftruncate(int fd, off_t n) override { return target_.Ftruncate(fd, n); }
    int ReadDirectory(const std::string& p, std::vector<std::string>& n) override {
        return target_.ReadDirectory(p, n);
    }
    int RealPath(const std::string& p, std::string& r) override { return target_.RealPath(p, r); }

private:
    FileSystem& target_;
};

// The file system in use (the real one unless a test installed another).
FileSystem& Fs();

// Installs `fs` as the file system in use for its lifetime, then restores
// the previous one. Not for concurrent use with other installers.
class ScopedFileSystem {
public:
    explicit ScopedFileSystem(FileSystem& fs);
    ~ScopedFileSystem();
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

private:
    FileSystem* previous_;
};

// Writes all `count` bytes, retrying short writes and EINTR. False with
// errno set on failure. Large buffers go to the kernel in slices of
// kWriteSlice bytes: one big write makes the page cache allocate large
// folios, which can stall for many times the copy's own cost, while slices
// of this size keep a write as cheap as an in-kernel copy.
constexpr size_t kWriteSlice = 256 * 1024;
bool WriteAll(int fd, const void* buf, size_t count);
// The same at `offset`, without moving the file position.
bool PWriteAll(int fd, const void* buf, size_t count, off_t offset);

// A name beside `path` that no other call of this process has been given
// and no other process makes: "<path>.<tag>.<pid>.<n>". Create it with
// O_EXCL: a leftover of a process that had the same id is refused, never
// taken over.
std::string UniqueSiblingName(const std::string& path, const std::string& tag);

// Replaces `path` with `content` so that a reader, and the disk after a
// crash, sees either the old file or the whole new one: writes a temporary
// file of its own beside it ("<path>.tmp.<pid>.<n>"), syncs it, renames it
// over `path` and syncs the folder, so that the new name survives a crash
// too. On a failure before the rename the temporary file is removed, `path`
// is untouched, and errno holds the reason; when only the folder's sync
// fails, `path` holds the new content but false says it may not survive a
// crash.
bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode = 0644);

// Makes the names in `folder` (files created, renamed or removed there)
// durable: fsync of the folder. 0, or -1 with errno set.
int SyncFolder(const std::string& folder);
// The same for the folder `path` lies in ("." for a bare name).
int SyncFolderOf(const std::string& path);

// Reads the whole of `path` into `text` (which should start empty). False
// with errno set when it cannot be opened or read, or with EFBIG when it
// holds more than `maxBytes`.
bool ReadSmallFile(const std::string& path, std::string& text, size_t maxBytes = SIZE_MAX);

// Creates the directory `path` and every missing one above it. 0 when it is
// a directory afterwards; -1 with errno set otherwise (ENOTDIR when a file
// stands where a directory should be).
int MakeDirectoryTree(const std::string& path, mode_t mode = 0755);

// Removes `path` and, when it is a directory, everything in it. Symbolic
// links are removed, never followed, so nothing outside `path` is touched.
// 0 on success; -1 with errno set at the first failure.
int RemoveTree(const std::string& path);

// `path` with "." levels and doubled "/" dropped and every symbolic link
// followed: the real path of its deepest existing ancestor followed by the
// levels that do not exist yet. `path` must be absolute and hold no ".."
// level; empty when it does not, or when the ancestor cannot be resolved.
std::string ResolveThroughLinks(const std::string& path, FileSystem& fs = Fs());

// True when `path` is `root` or lies under it (both already resolved).
bool PathIsUnder(const std::string& path, const std::string& root);

}  // namespace wz
