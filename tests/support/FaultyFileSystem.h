// Test support: a file system that passes every call to the real one until
// told to fail, and counts what it was asked to do.
//
//   FaultyFileSystem faulty;
//   wz::ScopedFileSystem use(faulty);
//   faulty.FailCall(FsCall::kRename, 1, ENOSPC);   // the next rename fails
//   faulty.FailWritesAfter(100, ENOSPC);           // the disk fills after 100 more bytes
//
// Every TestRoot installs one confined to its root for the test's lifetime.
// With ConfineTo(root), every call that changes the disk (an open that may
// write, write, rename, unlink, mkdir, rmdir, fchmod) outside `root` fails
// with EPERM and is recorded, so a test that would touch the machine fails
// instead of doing it.
#pragma once

#include <sys/types.h>

#include <array>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "WzUtils/WzFileSystem.h"

namespace jxtest {

enum class FsCall {
    kOpen,
    kRead,
    kWrite,
    kPWrite,
    kPRead,
    kFsync,
    kClose,
    kRename,
    kUnlink,
    kMkdir,
    kRmdir,
    kStat,
    kLstat,
    kFstat,
    kFchmod,
    kReadDirectory,
    kRealPath,
    kCount
};

class FaultyFileSystem final : public wz::FileSystem {
public:
    // Passes calls on to the file system in use when it is made (the one
    // the test root installed, which keeps every test inside its root).
    FaultyFileSystem();

    // The `nth` call of `kind` from now on (1 = the next one) fails with
    // `error`; with `sticky`, every later call of that kind fails too.
    void FailCall(FsCall kind, int nth, int error, bool sticky = false);
    // Writes succeed for `bytes` more bytes (a write that crosses the limit
    // is cut short there); after that every write fails with `error`.
    void FailWritesAfter(size_t bytes, int error);
    // Calls that change the disk outside `root` fail with EPERM.
    void ConfineTo(const std::string& root);
    // Forgets the faults set up so far (the counts stay).
    void Heal();

    int Calls(FsCall kind) const;
    // Calls that changed or tried to change the disk (see above).
    int ChangingCalls() const;
    // The paths of changing calls refused by ConfineTo.
    std::vector<std::string> Escapes() const;

    int Open(const std::string& path, int flags, mode_t mode) override;
    ssize_t Read(int fd, void* buf, size_t count) override;
    ssize_t Write(int fd, const void* buf, size_t count) override;
    ssize_t PWrite(int fd, const void* buf, size_t count, off_t offset) override;
    ssize_t PRead(int fd, void* buf, size_t count, off_t offset) override;
    int Fsync(int fd) override;
    int Close(int fd) override;
    int Rename(const std::string& from, const std::string& to) override;
    int Unlink(const std::string& path) override;
    int Mkdir(const std::string& path, mode_t mode) override;
    int Rmdir(const std::string& path) override;
    int Stat(const std::string& path, struct stat* st) override;
    int Lstat(const std::string& path, struct stat* st) override;
    int Fstat(int fd, struct stat* st) override;
    int Fchmod(int fd, mode_t mode) override;
    int ReadDirectory(const std::string& path, std::vector<std::string>& names) override;
    int RealPath(const std::string& path, std::string& resolved) override;

private:
    struct Fault {
        int countdown = 0;  // 0: none set
        int error = 0;
        bool sticky = false;
        bool firing = false;
    };

    // Counts the call; true (errno set) when it is to fail.
    bool Fails(FsCall kind, bool changing);
    // True (errno = EPERM, path recorded) when `path` lies outside the root.
    bool Escapes(const std::string& path);
    // How many of `count` bytes a write may put down; -1 (errno set) for none.
    ssize_t WriteAllowance(size_t count);
    void Wrote(ssize_t written);

    wz::FileSystem& m_base;
    mutable std::mutex m_mutex;
    std::array<int, static_cast<size_t>(FsCall::kCount)> m_calls{};
    std::array<Fault, static_cast<size_t>(FsCall::kCount)> m_faults{};
    int m_changing = 0;
    bool m_limitWrites = false;
    size_t m_bytesLeft = 0;
    int m_writeError = 0;
    std::string m_root;
    std::vector<std::string> m_escapes;
};

}  // namespace jxtest
