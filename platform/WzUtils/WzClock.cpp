// The platform's one sleep and one clock, with a time scale for tests.
#include "WzUtils/WzClock.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace wz {
namespace {

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
    return static_cast<int64_t>(realMs / TimeScale());
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
