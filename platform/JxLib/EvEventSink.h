// EvEventSink: where raised job events go.
//
// Every EvEvent raise hands one EvEventRecord to the installed sink. Until a
// job-manager stand-in installs its own, the process uses EvEventFileSink.
#pragma once

#include <cstdint>
#include <vector>

#include "JxLib/EvEventArguments.h"

enum class EvEventLevel { Info, Minor, Major, Critical };

// "info", "minor", "major" or "critical".
const char* EvEventLevelName(EvEventLevel level);

struct EvEventRecord {
    EvEventLevel level = EvEventLevel::Info;
    uint32_t messageId = 0;
    uint64_t jobId = 0;
    std::vector<EvEventArgument> arguments;
};

class EvEventSink {
public:
    virtual ~EvEventSink() = default;
    // Must not throw; a sink that cannot record logs why.
    virtual void Record(const EvEventRecord& event) = 0;

    // The sink of this process.
    static EvEventSink& Current();
    // Installs `sink` (not owned; it must outlive its use); null restores the
    // file sink.
    static void Install(EvEventSink* sink);
};
