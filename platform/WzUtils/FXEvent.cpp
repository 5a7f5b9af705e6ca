// FXEvent over a mutex and a condition variable.
#include "WzUtils/FXEvent.h"

#include <chrono>

#include "WzUtils/WzClock.h"

void FXEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_set = true;
    }
    m_changed.notify_all();
}

void FXEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_set = false;
}

uint32_t FXEvent::WaitForSet(uint32_t milliseconds) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto realWait = std::chrono::milliseconds(milliseconds == 0 ? 0 : wz::RealMs(milliseconds));
    return m_changed.wait_for(lock, realWait, [this] { return m_set; }) ? FX_WAIT_OBJECT_0 : FX_WAIT_TIMEOUT;
}
