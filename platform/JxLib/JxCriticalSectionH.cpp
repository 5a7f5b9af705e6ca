// JxCriticalSectionH: a recursive in-process lock.
#include "JxLib/JxCriticalSectionH.h"

bool JxCriticalSectionH::enter(bool wait) {
    if (!wait) return m_mutex.try_lock();
    m_mutex.lock();
    return true;
}

void JxCriticalSectionH::leave() { m_mutex.unlock(); }
