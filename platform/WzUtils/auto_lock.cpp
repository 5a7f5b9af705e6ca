// auto_lock: scoped holding of a lockable resource.
#include "WzUtils/auto_lock.h"

auto_lock::auto_lock(FXLockableResource* resource, bool lockNow) : m_resource(resource) {
    if (lockNow) Lock();
}

bool auto_lock::Lock() {
    // Only a lock actually obtained counts as held, so a failed Lock is not
    // followed by an Unlock of something this scope never took.
    if (m_resource != nullptr && !m_locked) m_locked = m_resource->Lock();
    return m_locked;
}

bool auto_lock::TryLock(CTimeInterval timeout) {
    if (m_resource != nullptr && !m_locked) m_locked = m_resource->TryLock(timeout);
    return m_locked;
}

void auto_lock::Unlock() {
    if (!m_locked) return;
    m_resource->Unlock();
    m_locked = false;
}
