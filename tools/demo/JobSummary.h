// JobSummary: what the job manager saw of one job, read back from its
// journal (databases, final status, cause, the bytes a restore read), from
// the disk library (the bytes a backup committed) and from a restore's status
// file (its databases), with the wall time its launcher measured.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "tools/demo/JobLauncher.h"

struct JobSummary {
    uint64_t jobId = 0;
    std::string level;                   // "full", "differential", "log", "restore", ...
    std::vector<std::string> databases;  // in the order the job reported them
    uint64_t bytes = 0;
    double seconds = 0;
    int status = 0;                      // the status the job completed with; 0 when none was reported
    std::string cause;                   // its pending cause ("0x..."), empty for none
    std::vector<std::string> causeArgs;  // the last pending cause's arguments

    // "completed", "failed", "completed with errors", "stopped", "no status".
    std::string StatusText() const;
};

// Reads what `jobId` left behind.
JobSummary SummarizeJob(uint64_t jobId, const std::string& level, const JobProgramRun& run);

// One line a job: id, level, databases, bytes, time, throughput, status.
void PrintJobSummaries(FILE* out, const std::vector<JobSummary>& jobs);
