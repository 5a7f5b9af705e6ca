// The platform's one sleep and one clock, with a time scale for tests.
#include "WzUtils/WzClock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <thread>

namespace wz {
namespace {

constexpr int64_t kLongestFloorMs = 24LL * 3600 * 1000;  // a day: beyond it, a floor is a typo

std::atomic<double>& ScaleCell() {
    static std::atomic<double> scale{[] {
        const char* env = std::getenv(kTimeScaleEnv);
        if (env == nullptr) return 1.0;
        char* end = nullptr;
        double v = std::strtod(env, &end);
        return (end != env && v > 0.0 && v <= 1000.0) ? v : 1.0;
    }()};
    return scale;
}

std::atomic<int64_t>& HelperFloorCell() {
    static std::atomic<int64_t> floor{[]() -> int64_t {
        const char* env = std::getenv(kHelperWaitFloorEnv);
        if (env == nullptr) return 0;
        char* end = nullptr;
        const long long v = std::strtoll(env, &end, 10);
        return (end != env && *end == '\0' && v > 0 && v <= kLongestFloorMs) ? v : 0;
    }()};
    return floor;
}

// What AdvanceClock added to the clock so far.
std::atomic<int64_t> g_advancedMs{0};

}  // namespace

double TimeScale() { return ScaleCell().load(); }

void SetTimeScale(double scale) {
    if (scale > 0.0) ScaleCell().store(scale);
}

int64_t RealMs(int64_t platformMs) {
    if (platformMs <= 0) return 0;
    auto real = static_cast<int64_t>(static_cast<double>(platformMs) * TimeScale());
    return real > 0 ? real : 1;
}

int64_t ClockMs() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    double realMs = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(now).count()) / 1000.0;
    return static_cast<int64_t>(realMs / TimeScale()) + g_advancedMs.load();
}

void AdvanceClock(int64_t platformMs) {
    if (platformMs > 0) g_advancedMs.fetch_add(platformMs);
}

int64_t HelperWaitFloorMs() { return HelperFloorCell().load(); }

void SetHelperWaitFloorMs(int64_t realMs) { HelperFloorCell().store(std::clamp<int64_t>(realMs, 0, kLongestFloorMs)); }

int64_t HelperWaitMs(int64_t platformMs) {
    const int64_t floor = HelperWaitFloorMs();
    if (floor == 0) return platformMs;
    // The platform time that lasts the floor, kept far from the end of the
    // clock's range so that a deadline of now plus it cannot overflow.
    const double atLeast = std::ceil(static_cast<double>(floor) / TimeScale());
    const double longest = static_cast<double>(std::numeric_limits<int64_t>::max() / 4);
    return std::max(platformMs, static_cast<int64_t>(std::min(atLeast, longest)));
}

int HelperWaitSeconds(int seconds) {
    if (seconds < 0) return seconds;
    const int64_t ms = HelperWaitMs(static_cast<int64_t>(seconds) * 1000);
    return static_cast<int>(std::min<int64_t>((ms + 999) / 1000, std::numeric_limits<int>::max()));
}

int64_t NowTicks() {
    // 11644473600 seconds lie between 1601-01-01 and 1970-01-01.
    auto since1970 = std::chrono::system_clock::now().time_since_epoch();
    int64_t ticks = std::chrono::duration_cast<std::chrono::microseconds>(since1970).count() * 10;
    return ticks + 11644473600LL * 10000000LL;
}

}  // namespace wz

void WZSLEEP_InTeRnAl(uint32_t milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(wz::RealMs(milliseconds)));
}
