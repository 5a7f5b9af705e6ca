// FXEvent: an event object that one thread sets and another waits for.
//
// Once set, it stays set until Reset(); every wait returns at once while it
// is set. Waits are measured in platform time (WzClock.h).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>

// Results of FXEvent::WaitForSet.
constexpr uint32_t FX_WAIT_OBJECT_0 = 0;
constexpr uint32_t FX_WAIT_TIMEOUT = 258;

class FXEvent {
public:
    // `initialState` non-zero: the event starts set.
    explicit FXEvent(int initialState = 0) : m_set(initialState != 0) {}
    FXEvent(const FXEvent&) = delete;
    FXEvent& operator=(const FXEvent&) = delete;

    void Set();
    void Reset();
    // Waits up to `milliseconds` of platform time for the event to be set:
    // FX_WAIT_OBJECT_0 when it is, FX_WAIT_TIMEOUT otherwise.
    uint32_t WaitForSet(uint32_t milliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_set;
};
