// FXLockableResource: the base of lockable resources.
//
// Records the thread that holds the resource (its 32-bit thread id, 0 when
// none); derived classes set and clear it as they lock and unlock.
#pragma once

#include <atomic>
#include <cstdint>

#include "WzUtils/CTimeInterval.h"

class FXLockableResource {
public:
    FXLockableResource() = default;
    virtual ~FXLockableResource() = default;
    FXLockableResource(const FXLockableResource&) = delete;
    FXLockableResource& operator=(const FXLockableResource&) = delete;

    // Each returns true when the calling thread now holds the resource.
    virtual bool TryLock() = 0;
    virtual bool TryLock(CTimeInterval timeout) = 0;
    virtual bool Lock() = 0;
    virtual void Unlock() = 0;

    uint32_t GetOwner() const { return m_owner.load(); }

protected:
    std::atomic<uint32_t> m_owner{0};
};
