// JXJobClient: the job manager's job client of one job.
//
// It is also the job's event builder (EvEvent): arguments added with << go
// with the next event or pending cause. Every call that reports something is
// one line of the job's journal (JobJournal.h); events raised here reach the
// journal through the registration's event sink.
#pragma once

#include <cstdint>
#include <string>

#include "JxLib/EvEvent.h"

// How a job ended: 1 completed, 2 failed, 3 completed with some items
// failed, 4 stopped because the job manager asked it to.
using JXJobStatus = int;
// What the status is for (1 the whole job).
using JXJobStatusFor = int;
// A message id of the catalogue, 0 for none.
using JXPendingCause = int;

class JXJobClient : public EvEvent {
public:
    explicit JXJobClient(uint64_t jobId);
    ~JXJobClient() override = default;
    JXJobClient(const JXJobClient&) = delete;
    JXJobClient& operator=(const JXJobClient&) = delete;

    // The restart string the job manager holds for the job (the first line of
    // its restart file); empty when it holds none. The lookup type selects
    // the kind of restart data; this stand-in keeps one kind.
    std::string getRestartString(int lookupType) const;
    // Stores the restart string (the job manager's side). The file is
    // replaced whole: false leaves the string stored before untouched.
    static bool setRestartString(uint64_t jobId, const std::string& text);

    // Sets `cause` as the job's pending cause, with the arguments added so
    // far, and raises it as a critical event. The further arguments (flags,
    // the event type, reserved words) are journalled as given.
    bool setPendingCauseAndCriticalEvent(int cause, int reserved1, bool flag1, int eventType, bool flag2,
                                         int reserved2, int reserved3, int reserved4, int reserved5);
    // The same with a separate event id, raised as a major event.
    bool setPendingCauseAndEvent(int cause, int eventId, int reserved1, bool flag1, int eventType, bool flag2,
                                 int reserved2, int reserved3, int reserved4, int reserved5);

    // The job's end: its status, what the status is for and a pending cause.
    bool complete(JXJobStatus status, JXJobStatusFor statusFor, JXPendingCause cause = 0, int reserved = 0);

    bool addJobProgress(int step);
    // Keep-alive: the job is still working.
    bool markJobAlive();
    // Sends the progress information gathered so far; `changed` (may be
    // null) is set to false: nothing is pending in this stand-in.
    bool updateInfo(bool force, bool* changed);
    void setActiveFile(const char* name);
    bool setCurrentDatabase(const char* name);
    void setToken(const char* token);
    // Remembers the resource-control id; returns this client.
    JXJobClient* setRCID(int id);

protected:
    // One journal line with a single value.
    bool Journal(const char* op, int64_t value) const;
    bool Journal(const char* op, const char* text) const;
};
