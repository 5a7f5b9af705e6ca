// SchedularInterfaceNet: the scheduler's options of a job's task.
//
// Kept in the job's task file (EvTask.h) as properties "schedulerOption<n>"
// ("1"/"true" or "0"/"false").
#pragma once

#include <cstdint>
#include <string>

class SchedularInterfaceNet {
public:
    // No error yet: code 0 and an empty text.
    SchedularInterfaceNet() = default;

    // Forgets the last error: code 0 and an empty text.
    void clearErrors() {
        m_errorCode = 0;
        m_errorText.clear();
    }
    int getErrorCode() const { return m_errorCode; }
    const std::string& getErrorText() const { return m_errorText; }

    // Option `option` of job `jobId`: 0 with `value` written (an absent
    // option is false), EVTASK_ERR_BAD_VALUE for a text that is no boolean.
    // `flags` is accepted and not used.
    static int GetTaskOptionBoolean(uint64_t jobId, int option, bool& value, int flags);

private:
    int m_errorCode = 0;
    std::string m_errorText;
};
