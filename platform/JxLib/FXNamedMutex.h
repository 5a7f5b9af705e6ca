// FXNamedMutex: a lockable resource over a machine-wide named mutex.
//
// Serialises work across processes (and across threads holding their own
// FXNamedMutex of the same name). Each successful lock records the calling
// thread as owner; Unlock clears the owner only with the last of a thread's
// recursive locks.
#pragma once

#include <string>

#include "JxLib/JxNamedMutex.h"
#include "WzUtils/CTimeInterval.h"
#include "WzUtils/FXLockableResource.h"

class FXNamedMutex : public FXLockableResource {
public:
    explicit FXNamedMutex(const std::string& name);
    ~FXNamedMutex() override = default;

    // One attempt of at most 1 ms.
    bool TryLock() override;
    // Waits at most `timeout` (platform time); a negative one is one attempt.
    bool TryLock(CTimeInterval timeout) override;
    // Waits without limit; false only when the mutex cannot be used at all.
    bool Lock() override;
    void Unlock() override;

    int getLockCnt() const { return m_mutex.getLockCnt(); }
    const std::string& getName() const { return m_mutex.getName(); }

private:
    bool Locked(bool obtained);

    JxNamedMutex m_mutex;
};
