// A call of the code under test that waits until the test lets it go: the
// first caller of Hold() stops there, so the test acts on an event while the
// code is in the middle of its work.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace jxtest {

class HeldCall {
public:
    // The first call waits until Release(); later calls go on at once.
    void Hold() {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_arrived) return;
        m_arrived = true;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_released; });
    }
    // True once a call is held; false when none came within a minute.
    bool WaitHeld() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(60), [&] { return m_arrived; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_released = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_arrived = false;
    bool m_released = false;
};

}  // namespace jxtest
