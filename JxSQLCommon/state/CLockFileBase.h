// CLockFileBase: a lock file beside a state database.
//
// The agent's processes lock this file before they touch the database, so only
// one of them works on it at a time; the holder writes a short owner text (its
// machine name) into the file. The lock is an open-file-description lock: it
// belongs to this object's descriptor, so it excludes other processes and
// other threads (each with its own object) alike, and it conflicts with the
// classic record locks that outside programs may take on the same file.
//
// Use: construct, SetJobId, Open, Lock, work, Unlock, destroy (which closes).
// One object is used by one thread.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

struct flock;

#include "WzUtils/CWzError.h"

typedef uint64_t sfTime_t;

class CLockFileBase {
public:
    explicit CLockFileBase(std::string ownerText);
    virtual ~CLockFileBase();
    CLockFileBase(const CLockFileBase&) = delete;
    CLockFileBase& operator=(const CLockFileBase&) = delete;

    // Opens or creates the file for reading and writing, in up to `attempts`
    // tries 1 s apart; `mode` 0 means 0744. Success at once when already open.
    virtual CWzError Open(const std::string& path, int attempts, int mode);
    // Releases a lock this object holds, then closes the descriptor.
    virtual CWzError Close();
    // Takes the exclusive lock, waiting up to `seconds` (platform time), then
    // writes the owner text, blank-padded to 50 characters, into the file.
    // Waiters are served in the order they came: one that releases the lock
    // and asks again queues behind those already waiting.
    virtual CWzError Lock(sfTime_t seconds);
    // Releases the lock; the file's content stays for the next holder to see.
    virtual CWzError Unlock();
    // The whole content; `out` is left alone when the file is empty or
    // starts with a zero byte.
    virtual CWzError Read(std::string& out) const;
    // Writes at the descriptor's current position.
    virtual CWzError Write(const std::string& data) const;
    // Empties the file and moves the position back to its start.
    virtual CWzError Truncate() const;
    // The wait behind Lock: takes the lock at once when no one holds or
    // waits for it, else waits its turn in line for up to `seconds`.
    virtual CWzError DoLocking(unsigned long lockType, sfTime_t seconds);

    void SetJobId(long long jobId) { m_jobId = jobId; }
    bool IsOpened() const { return m_opened; }
    bool IsLocked() const { return m_locked; }

private:
    // Draws a ticket in the waiting line, waits for the one before it, then
    // takes the lock, all before the platform-clock deadline; 0 once locked,
    // else an errno value (ETIMEDOUT).
    int WaitInTurn(const struct flock& region, int64_t deadline);
    // Waits for another descriptor to let `byte` go, on a thread of its own
    // (the kernel's lock wait cannot be bounded otherwise).
    int WaitForByte(off_t byte, int64_t deadline);

    int m_fd = -1;
    bool m_opened = false;
    bool m_locked = false;
    long long m_jobId = 0;
    std::string m_ownerText;
};
