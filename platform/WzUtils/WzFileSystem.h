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

#include <string>

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
};

// The POSIX file system.
FileSystem& RealFileSystem();

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
// errno set on failure.
bool WriteAll(int fd, const void* buf, size_t count);

// Replaces `path` with `content` so that a reader sees either the old file
// or the whole new one: writes a temporary file beside it, syncs it and
// renames it over `path`. On failure the temporary file is removed, `path`
// is untouched, and errno holds the reason.
bool WriteFileAtomically(const std::string& path, const std::string& content, mode_t mode = 0644);

}  // namespace wz
