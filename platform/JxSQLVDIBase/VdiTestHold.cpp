// The engine's test switch that holds a statement's threads at a point.
#include "JxSQLVDIBase/VdiTestHold.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

struct HoldState {
    std::mutex mutex;
    std::condition_variable changed;
    VdiTestPoint point = VdiTestPoint::kBlockPut;
    unsigned first = 0;
    unsigned count = 0;
    unsigned arrivals = 0;
    unsigned held = 0;
    bool released = false;
    uint64_t stops = 0;  // statements stopped while the switch was set
};

HoldState& State() {
    static HoldState state;
    return state;
}

// Whether a switch is set: the one load an unswitched point costs.
std::atomic<bool> g_armed{false};

}  // namespace

VdiTestHold::VdiTestHold(VdiTestPoint point, unsigned first, unsigned count) {
    HoldState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.point = point;
    s.first = first;
    s.count = count;
    s.arrivals = 0;
    s.held = 0;
    s.released = false;
    g_armed = true;
}

VdiTestHold::~VdiTestHold() {
    Release();
    g_armed = false;
}

bool VdiTestHold::WaitHeld(int64_t realMs) {
    HoldState& s = State();
    std::unique_lock<std::mutex> lock(s.mutex);
    return s.changed.wait_for(lock, std::chrono::milliseconds(realMs), [&] { return s.held >= s.count; });
}

void VdiTestHold::Release() {
    HoldState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.released = true;
    s.changed.notify_all();
}

void VdiReachTestPoint(VdiTestPoint point, const std::atomic<bool>& stop) {
    if (!g_armed.load()) return;
    HoldState& s = State();
    std::unique_lock<std::mutex> lock(s.mutex);
    // A stopped statement is not held: nothing would wake it.
    if (s.released || point != s.point || stop.load()) return;
    const unsigned arrival = ++s.arrivals;
    if (arrival < s.first || arrival - s.first >= s.count) return;
    ++s.held;
    s.changed.notify_all();
    // Goes on once the stop has done all it does (the wake comes after the
    // devices were aborted), never half-way through it.
    const uint64_t stops = s.stops;
    s.changed.wait(lock, [&] { return s.released || s.stops != stops; });
}

void VdiWakeTestHold() {
    if (!g_armed.load()) return;
    HoldState& s = State();
    std::lock_guard<std::mutex> lock(s.mutex);
    ++s.stops;
    s.changed.notify_all();
}
