// A statement's hold on a database: a flock on the database's lock file.
#include "JxsqlDMO/SqlSimDatabaseHold.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <thread>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFnv1a.h"
#include "WzUtils/WzFormat.h"

namespace {

// The name as the catalogue compares it (its NOCASE collation folds ASCII
// letters only), hashed twice from two bases: 128 bits, so two databases
// of an instance never share a hold.
std::string KeyOf(const std::string& database) {
    std::string folded = database;
    for (char& c : folded) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return wz::Format("%016llx%016llx", static_cast<unsigned long long>(wz::Fnv1a(folded)),
                      static_cast<unsigned long long>(wz::Fnv1a(folded, 0x6c62272e07bb0142ULL)));
}

std::string HoldFolder(const SqlSimInstanceName& instance) {
    return wz::PlatformPath(instance.RelativeDirectory() + "/holds");
}

}  // namespace

std::string SqlSimDatabaseHold::LockFilePath(const SqlSimInstanceName& instance, const std::string& database,
                                             Purpose purpose) {
    static constexpr const char* kSuffix[] = {".lock", ".data-backup.lock", ".log-backup.lock", ".writes.lock"};
    return HoldFolder(instance) + "/" + KeyOf(database) + kSuffix[static_cast<int>(purpose)];
}

std::string SqlSimDatabaseHold::DropInUseText(const std::string& database) {
    return "Cannot drop database \"" + database + "\" because it is currently in use.";
}

std::string SqlSimDatabaseHold::DetachInUseText(const std::string& database) {
    return "Cannot detach the database '" + database + "' because it is currently in use.";
}

SqlSimDatabaseHold::Result SqlSimDatabaseHold::TakeWaiting(const SqlSimInstanceName& instance,
                                                           const std::string& database, Mode mode,
                                                           std::string& error, Purpose purpose, int64_t realMs) {
    // Polled: a hold lasts a change or a snapshot's copy, and a bounded
    // wait must not hang on a holder that hangs.
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(realMs);
    auto pause = std::chrono::microseconds(200);
    for (;;) {
        const Result r = Take(instance, database, mode, error, purpose);
        if (r != Result::kBusy || std::chrono::steady_clock::now() >= until) return r;
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::microseconds(5000));
    }
}

SqlSimDatabaseHold::Result SqlSimDatabaseHold::Take(const SqlSimInstanceName& instance, const std::string& database,
                                                    Mode mode, std::string& error, Purpose purpose) {
    Release();
    const std::string path = LockFilePath(instance, database, purpose);
    if (wz::MakeDirectoryTree(HoldFolder(instance)) != 0) {
        error = "Cannot create the folder of [" + path + "]: " + std::strerror(errno);
        return Result::kFailed;
    }
    const int fd = wz::Fs().Open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = "Cannot open the hold [" + path + "] of database [" + database + "]: " + std::strerror(errno);
        return Result::kFailed;
    }
    const int operation = (mode == Mode::kShared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    int rc = 0;
    do {
        rc = ::flock(fd, operation);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const int err = errno;
        (void)wz::Fs().Close(fd);  // never locked
        if (err == EWOULDBLOCK) return Result::kBusy;
        error = "Cannot lock the hold [" + path + "] of database [" + database + "]: " + std::strerror(err);
        return Result::kFailed;
    }
    m_fd = fd;
    return Result::kTaken;
}

void SqlSimDatabaseHold::Release() {
    if (m_fd < 0) return;
    (void)wz::Fs().Close(m_fd);  // the close gives the lock back; nothing was written
    m_fd = -1;
}
