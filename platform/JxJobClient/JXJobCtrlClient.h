// JXJobCtrlClient: the job manager's control client of one job.
#pragma once

#include <cstdint>

class JXJobCtrlClient {
public:
    explicit JXJobCtrlClient(uint64_t jobId) : m_jobId(jobId) {}
    virtual ~JXJobCtrlClient() = default;

    uint64_t jobId() const { return m_jobId; }

    // True while the job manager asks the job to stop (its stop file exists).
    bool checkQuitFlag() const;
    // The control operation that came with the stop request (the number in
    // the stop file; 0 when none or no request).
    int getJMControlOperation() const;

    // Raises or withdraws the stop request (the job manager's side); a
    // request is also a "requestStop" line of the job's journal.
    static bool requestStop(uint64_t jobId, int operation = 0);
    static bool withdrawStop(uint64_t jobId);

private:
    uint64_t m_jobId;
};
