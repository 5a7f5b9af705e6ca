// EvEvent: a job's log and event builder.
//
// It logs like EvDebug and collects typed arguments with operator<< for the
// next event; raising the event (InfoEvent, MinorEvent, MajorEvent,
// CriticalEvent) hands the message id, the level, the job id and the
// arguments to the process's event sink and starts a fresh argument list.
#pragma once

#include <cstdint>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxLib/EvEventArguments.h"
#include "JxLib/EvEventSink.h"

class EvEvent : public EvDebug {
public:
    explicit EvEvent(std::string module = "") : EvDebug(std::move(module)) {}

    EvEvent& operator<<(int value);
    EvEvent& operator<<(long long value);
    EvEvent& operator<<(unsigned long value);
    // A null text is added as an empty one.
    EvEvent& operator<<(const char* text);
    EvEvent& operator<<(const wchar_t* text);

    // `flags` and `reserved` are accepted for the callers' sake and unused.
    void InfoEvent(uint32_t messageId, int flags = 0, int reserved = 0);
    void MinorEvent(uint32_t messageId, int flags = 0, int reserved = 0);
    void MajorEvent(uint32_t messageId, int flags = 0, int reserved = 0);
    void CriticalEvent(uint32_t messageId, int flags = 0, int reserved = 0);

    // The arguments collected for the next event.
    const EvEventArguments& pendingArguments() const { return m_arguments; }

private:
    void Raise(EvEventLevel level, uint32_t messageId);

    EvEventArguments m_arguments;
};
