// Test support: a file system that passes every call to the real one until
// told to fail, counts what it was asked to do and which faults fired, and
// can play a crash that loses what was never made durable.
//
//   FaultyFileSystem faulty;
//   wz::ScopedFileSystem use(faulty);
//   faulty.FailCall(FsCall::kRename, 1, ENOSPC);   // the next rename fails
//   faulty.FailCallOn("FullDBList.jxf*", FsCall::kFsync, 1, EIO);  // the next fsync of that file
//   faulty.FailWritesAfter(100, ENOSPC);           // the disk fills after 100 more bytes
//   ... run the code ...
//   EXPECT_EQ(faulty.Fired(FsCall::kRename), 1);   // a fault that never fired proves nothing
//
// Aiming: a target is a shell pattern (fnmatch). Without a "/" it is matched
// against the last name of a call's path, with one against the whole path.
// A call matches when its path (either path of a rename, the path a
// descriptor was opened from) does; an empty target matches every call.
//
// Crashes:
//
//   faulty.RecordForCrash(root.path());   // from now on, track what is durable
//   faulty.CrashAt(FsCall::kRename, 1, "FullDBList.jxf");   // or CrashAt(n) for the nth call of any kind
//   ... run the job: at that call the machine "stops" ...
//   EXPECT_TRUE(faulty.Crashed());
//   faulty.Heal();                        // the disk comes back; run the restart on what is left
//
// At the crash every regular file under the recorded root is put back to
// what an fsync made durable: its contents to those of its last fsync (or
// to what it held when first touched after recording began), and its name
// to what the last fsync of its folder saw (a create, rename or unlink
// since then is undone: a new file disappears, a renamed one is back under
// its old name, an unlinked one returns). The crashing call is not carried
// out and fails with EIO, as does every later call until Heal() (a close
// still releases its descriptor). Folders themselves (mkdir, rmdir) and
// files opened before recording began are left as they are. The revert
// never touches anything outside the recorded root.
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
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
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
    kFtruncate,
    kReadDirectory,
    kRealPath,
    kCount
};

class FaultyFileSystem final : public wz::ForwardingFileSystem {
public:
    // Passes calls on to the file system in use when it is made (the one
    // the test root installed, which keeps every test inside its root).
    FaultyFileSystem();
    ~FaultyFileSystem() override;

    // The `nth` call of `kind` from now on (1 = the next one) fails with
    // `error`; with `sticky`, every later call of that kind fails too.
    void FailCall(FsCall kind, int nth, int error, bool sticky = false);
    // The same, counting only calls that match `target` (see Aiming).
    void FailCallOn(const std::string& target, FsCall kind, int nth, int error, bool sticky = false);
    // Writes succeed for `bytes` more bytes (a write that crosses the limit
    // is cut short there); after that every write fails with `error`.
    void FailWritesAfter(size_t bytes, int error);
    // Calls that change the disk outside `root` fail with EPERM.
    void ConfineTo(const std::string& root);
    // Forgets the faults and the crash point set up so far and ends a
    // crash (the counts stay; recording goes on, after a crash with what is
    // on disk then counted as durable).
    void Heal();

    // Starts tracking what is durable under `root` (see Crashes).
    void RecordForCrash(const std::string& root);
    // The `nth` call of `kind` (or of any kind) matching `target` from now
    // on crashes instead of being carried out.
    void CrashAt(FsCall kind, int nth, const std::string& target = "");
    void CrashAt(int nth, const std::string& target = "");
    // Crashes now.
    void Crash();
    bool Crashed() const;

    int Calls(FsCall kind) const;
    // Calls that changed or tried to change the disk (see above).
    int ChangingCalls() const;
    // Faults that fired: calls of `kind` made to fail (a write cut short
    // by FailWritesAfter counts) and the crash, which counts under the
    // kind of the call it stopped (a Crash() on demand counts in the total).
    int Fired(FsCall kind) const;
    int FiredTotal() const;
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
    int Ftruncate(int fd, off_t length) override;
    int ReadDirectory(const std::string& path, std::vector<std::string>& names) override;
    int RealPath(const std::string& path, std::string& resolved) override;

private:
    struct Fault {
        int countdown = 0;  // 0: none set
        int error = 0;
        bool sticky = false;
        bool firing = false;
        std::string target;
    };
    struct CrashPoint {
        int countdown = 0;  // 0: none set
        std::optional<FsCall> kind;  // none: any kind
        std::string target;
    };
    using Inode = uint64_t;
    // What the crash model knows of the files under the recorded root,
    // keyed by resolved path.
    struct Durability {
        std::string root;                                // resolved; empty: not recording
        std::map<std::string, std::optional<Inode>> names;  // the folder's durable view of a touched path
        std::map<std::string, Inode> current;            // the file a touched path names now
        std::map<Inode, std::string> contents;           // what a file holds after a crash
        std::map<int, Inode> files;                      // descriptors of tracked files
        std::map<int, std::string> folders;              // descriptors of folders under the root
        Inode next = 1;
    };

    // Counts the call and decides its fate: true (errno set) when it is to
    // fail, which it does when a fault fires or the machine has crashed.
    // `path` and `other` are what the call names (for a descriptor, the
    // path it was opened from).
    bool Fails(FsCall kind, bool changing, const std::string& path, const std::string& other = "");
    bool FailsLocked(FsCall kind, bool changing, const std::string& path, const std::string& other);
    std::string PathOf(int fd) const;
    // True (errno = EPERM, path recorded) when `path` lies outside the root.
    bool Escapes(const std::string& path);
    // How many of `count` bytes a write may put down; -1 (errno set) for none.
    ssize_t WriteAllowance(FsCall kind, size_t count);
    void Wrote(ssize_t written);

    // Crash model (all with m_mutex held). Tracked: the resolved path when
    // it lies under the recorded root, else empty.
    std::string Tracked(const std::string& path) const;
    void Opened(int fd, const std::string& path, bool mayWrite);
    void Touch(const std::string& resolved);
    void SyncFile(int fd);
    void SyncFolder(const std::string& folder);
    void CrashLocked();
    void ForgetDurability();

    mutable std::mutex m_mutex;
    std::array<int, static_cast<size_t>(FsCall::kCount)> m_calls{};
    std::array<int, static_cast<size_t>(FsCall::kCount)> m_fired{};
    std::array<Fault, static_cast<size_t>(FsCall::kCount)> m_faults{};
    int m_firedOnDemand = 0;
    int m_changing = 0;
    bool m_limitWrites = false;
    size_t m_bytesLeft = 0;
    int m_writeError = 0;
    std::string m_root;
    std::vector<std::string> m_escapes;
    std::map<int, std::string> m_openedFrom;
    CrashPoint m_crashPoint;
    bool m_crashed = false;
    Durability m_durable;
};

}  // namespace jxtest
