// Test support: the engine's stand-in dates backups in whole seconds of the
// wall clock (and a restore by the point it reached: a backup's finish time
// or a stop time, or the second it ran when its set is unknown), and the
// central server's stand-in counts a backup that ended in the second a
// database was restored to as restored.
// A test whose next backup must come after such a point waits for the
// second to turn, an event of the clock that no machine's speed changes.
#pragma once

#include <chrono>
#include <ctime>
#include <thread>

namespace jxtest {

// Returns once the wall clock has reached a second after `second` (default:
// the present one); at most a few seconds of real time.
inline void AwaitSecondAfter(std::time_t second = std::time(nullptr)) {
    const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::time(nullptr) <= second && std::chrono::steady_clock::now() < bound) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

}  // namespace jxtest
