// How long the side that serves a device (the data pipeline, a dump writer)
// waits for the engine at one step, in platform milliseconds. The engine
// gives up on a device after its VDI time-out, repeated up to its retry
// limit; the serving side waits a little longer, so that when both stall the
// engine's own verdict (a VDI time-out, which the job reports as such) comes
// first, and a statement that is merely slow is not cut short.
#pragma once

#include <algorithm>
#include <cstdint>

#include "JxSQLVDIBase/CJxSQLVDIBase.h"

inline int64_t VdiServeWaitMs(const CJxSQLVDIBase& engine) {
    return static_cast<int64_t>(std::max(1, engine.getVDITimeOut())) * 1000 *
           (static_cast<int64_t>(engine.getVDITimeoutRetryCountLimit()) + 2);
}
