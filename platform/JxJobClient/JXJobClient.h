// JXJobClient: the job manager's job client of one job.
#pragma once

#include <cstdint>
#include <string>

class JXJobClient {
public:
    explicit JXJobClient(uint64_t jobId) : m_jobId(jobId) {}
    virtual ~JXJobClient() = default;

    uint64_t jobId() const { return m_jobId; }

    // The restart string the job manager holds for the job (the first line of
    // its restart file); empty when it holds none. The lookup type selects
    // the kind of restart data; this stand-in keeps one kind.
    std::string getRestartString(int lookupType) const;

    // Stores the restart string (the job manager's side).
    static bool setRestartString(uint64_t jobId, const std::string& text);

private:
    uint64_t m_jobId;
};
