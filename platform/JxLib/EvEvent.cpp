// EvEvent: collects event arguments and raises job events.
#include "JxLib/EvEvent.h"

EvEvent& EvEvent::operator<<(int value) {
    m_arguments.Add(value);
    return *this;
}

EvEvent& EvEvent::operator<<(long long value) {
    m_arguments.Add(value);
    return *this;
}

EvEvent& EvEvent::operator<<(unsigned long value) {
    m_arguments.Add(value);
    return *this;
}

EvEvent& EvEvent::operator<<(const char* text) {
    m_arguments.Add(text);
    return *this;
}

EvEvent& EvEvent::operator<<(const wchar_t* text) {
    m_arguments.Add(text);
    return *this;
}

void EvEvent::InfoEvent(uint32_t messageId, int, int) { Raise(EvEventLevel::Info, messageId); }

void EvEvent::MinorEvent(uint32_t messageId, int, int) { Raise(EvEventLevel::Minor, messageId); }

void EvEvent::MajorEvent(uint32_t messageId, int, int) { Raise(EvEventLevel::Major, messageId); }

void EvEvent::CriticalEvent(uint32_t messageId, int, int) { Raise(EvEventLevel::Critical, messageId); }

void EvEvent::Raise(EvEventLevel level, uint32_t messageId) {
    EvEventRecord record;
    record.level = level;
    record.messageId = messageId;
    record.jobId = jobId();
    // The arguments were encoded here, so they always decode.
    record.arguments = EvEventArguments::Decode(m_arguments.Bytes()).value_or(std::vector<EvEventArgument>{});
    m_arguments.Clear();
    EvEventSink::Current().Record(record);
}
