// JxNamedMutex: a mutex shared by every process of the machine, found by name.
//
// Backed by an open-file-description lock (F_OFD_SETLK) on a lock file under
// the platform root ("locks/mutex/<name>.lock", the name escaped so that it
// stays one file name, a long one shortened with a hash). The kernel drops the lock when the holder closes the
// file, exits or is killed, so a dead holder never blocks others.
//
// Within a process each JxNamedMutex object has its own open file
// description, so two objects of the same name exclude each other across
// threads too. One object is recursive for the thread that holds it: the
// lock count says how many unlocks remain until the lock is given back.
// The descriptor is close-on-exec; a child made by fork without exec shares
// the parent's open file description and with it a held lock.
#pragma once

#include <cstdint>
#include <limits>
#include <mutex>
#include <string>

#include "WzUtils/auto_handle.h"

class JxNamedMutex {
public:
    static constexpr int64_t kInfinite = std::numeric_limits<int64_t>::max();

    // Opens (creating when needed) the lock file of `name`; a failure is
    // logged and makes every lock() fail.
    explicit JxNamedMutex(const std::string& name);
    JxNamedMutex(const JxNamedMutex&) = delete;
    JxNamedMutex& operator=(const JxNamedMutex&) = delete;

    // Waits at most `timeoutMs` platform milliseconds (kInfinite: no limit;
    // 0 or less: one attempt); true when the calling thread holds the mutex.
    bool lock(int64_t timeoutMs);
    // Gives back one lock of the calling thread; false when it holds none.
    bool unlock();
    int getLockCnt() const;
    // True when the calling thread holds the mutex.
    bool isHeldByCurrentThread() const;

    const std::string& getName() const { return m_name; }
    // The lock file that stands for `name`.
    static std::string LockFilePath(const std::string& name);

private:
    enum class Attempt { Obtained, Busy, Failed };
    Attempt TryFileLock();  // with m_state held

    std::string m_name;
    auto_handle m_file;
    mutable std::mutex m_state;
    unsigned long m_ownerThread = 0;  // guarded by m_state
    int m_lockCnt = 0;                // guarded by m_state
};
