// auto_lock: holds a lockable resource for a scope.
//
// It remembers whether it took the resource and unlocks only what it took:
// an auto_lock that never locked issues no Unlock when destroyed.
#pragma once

#include "WzUtils/CTimeInterval.h"
#include "WzUtils/FXLockableResource.h"

class auto_lock {
public:
    // Stores `resource` (may be null); takes it at once when `lockNow`.
    auto_lock(FXLockableResource* resource, bool lockNow);
    ~auto_lock() { Unlock(); }
    auto_lock(const auto_lock&) = delete;
    auto_lock& operator=(const auto_lock&) = delete;

    // Takes the resource unless already held here; true when held afterwards.
    bool Lock();
    // Tries for at most `timeout` unless already held here; true when held.
    bool TryLock(CTimeInterval timeout);
    // Releases the resource when held here.
    void Unlock();

    bool IsLocked() const { return m_locked; }

private:
    FXLockableResource* m_resource;
    bool m_locked = false;
};
