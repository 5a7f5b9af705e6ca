// SqlRstJobClient: the restore job's link to the job manager's restore
// client.
//
// Restore code reports through this link, never through the client itself.
// Each operation forwards to the bound client with the same arguments and
// returns its answer; with no client bound it does nothing and answers false
// (or null), so callers may treat the link as optional. Every operation is
// virtual so that a live-sync restore can replace the link's behaviour.
//
// A client bound with Set stays its owner's (the job's registration); one
// made by Create belongs to the link and is freed with it or when another
// client replaces it.
#pragma once

#include <cstdint>
#include <memory>

#include "JxJobClient/JXRstJobClient.h"
#include "WzUtils/CWzError.h"

namespace JobManager {
class PreparedJobsFromForeignReq;
class PreparedJobsFromForeignResp;
}  // namespace JobManager

class SqlRstJobClient {
public:
    SqlRstJobClient() = default;
    virtual ~SqlRstJobClient();
    SqlRstJobClient(const SqlRstJobClient&) = delete;
    SqlRstJobClient& operator=(const SqlRstJobClient&) = delete;

    // Binds a new restore client of the job manager's default kind, owned by
    // the link; out of memory is the Win32-style error 14.
    virtual CWzError Create();

    // Event arguments for the next event or pending cause (a null text adds
    // nothing).
    virtual SqlRstJobClient& operator<<(const char* text);
    virtual SqlRstJobClient& operator<<(uint64_t number);

    virtual bool complete(JXJobStatus status, JXJobStatusFor statusFor, JXPendingCause cause);
    // The pending cause with a critical event (event type 300, nothing else).
    virtual bool setPendingCauseAndCriticalEvent(int cause);
    virtual bool addJobProgress(int step);
    virtual bool markJobAlive();
    virtual void setNumFailures2Add(int64_t count);
    virtual bool setNoDBsRestoredSoFar(int64_t count);
    virtual void setTotBytes2Xfer(int64_t bytes);
    virtual bool updateInfo(bool force, bool* changed);
    virtual bool setNoDBsToRestore(int64_t count);
    virtual void setActiveFile(const char* name);
    virtual bool setCurrentDatabase(const char* name);
    virtual void setNumSkipped2Add(int64_t count);
    virtual void setUncompBytes2Add(int64_t bytes);
    virtual bool setUnCompBytesSoFar(int64_t bytes);
    virtual bool getPreparedJobFromForeignJob(JobManager::PreparedJobsFromForeignReq& request,
                                              JobManager::PreparedJobsFromForeignResp& reply);
    // The pending cause with an event of its own id (event type 300).
    virtual bool setPendingCauseAndEvent(int cause, int eventId);
    // Forwarded only when the token is not null.
    virtual void setToken(const char* token);
    // The client's answer; null with no client bound.
    virtual JXJobClient* setRCID(int id);

    // The bound client (null when none); Set binds one (null unbinds).
    virtual JXRstJobClient* Get();
    virtual CWzError Set(JXRstJobClient* client);

    // An informational event with the message id.
    virtual void InfoEvent(int messageId);
    // A warning (minor) event with the message id.
    virtual void WarningEvent(int messageId);

private:
    JXRstJobClient* m_client = nullptr;
    std::unique_ptr<JXRstJobClient> m_created;  // the client Create made, if any
};
