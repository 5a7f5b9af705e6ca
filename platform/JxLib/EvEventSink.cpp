// EvEventSink: the process-wide event sink.
#include "JxLib/EvEventSink.h"

#include <atomic>

#include "JxLib/EvEventFileSink.h"

namespace {

EvEventFileSink g_fileSink;
std::atomic<EvEventSink*> g_installed{nullptr};

}  // namespace

const char* EvEventLevelName(EvEventLevel level) {
    switch (level) {
        case EvEventLevel::Info: return "info";
        case EvEventLevel::Minor: return "minor";
        case EvEventLevel::Major: return "major";
        case EvEventLevel::Critical: return "critical";
    }
    return "info";
}

EvEventSink& EvEventSink::Current() {
    EvEventSink* sink = g_installed.load();
    return sink != nullptr ? *sink : g_fileSink;
}

void EvEventSink::Install(EvEventSink* sink) { g_installed.store(sink); }
