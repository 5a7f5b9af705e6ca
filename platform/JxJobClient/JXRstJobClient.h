// JXRstJobClient: the job manager's client of one restore job: its counters
// of databases, failures, skipped items and bytes, each a journal line.
#pragma once

#include "JxJobClient/JXJobClient.h"

namespace JobManager {
class PreparedJobsFromForeignReq;
class PreparedJobsFromForeignResp;
}  // namespace JobManager

class JXRstJobClient : public JXJobClient {
public:
    // A client of no job (job id 0) until the registration makes one for its job.
    explicit JXRstJobClient(uint64_t jobId = 0) : JXJobClient(jobId) {}

    void setNumFailures2Add(int64_t count);
    bool setNoDBsRestoredSoFar(int64_t count);
    void setTotBytes2Xfer(int64_t bytes);
    bool setNoDBsToRestore(int64_t count);
    void setNumSkipped2Add(int64_t count);
    void setUncompBytes2Add(int64_t bytes);
    bool setUnCompBytesSoFar(int64_t bytes);
    bool setPercentage(int percent);

    // Item counters of an indexed snapshot restore session.
    void setTotFiles2Xfer(int64_t count);
    void setNumSuccessful2Add(int64_t count);
    void setCompBytes2Add(int64_t bytes);

    // Asks for the jobs prepared from a foreign job; this job manager keeps
    // none, so the reply stays empty. The request is journalled.
    bool getPreparedJobFromForeignJob(JobManager::PreparedJobsFromForeignReq& request,
                                      JobManager::PreparedJobsFromForeignResp& reply);
};
