// JobOutcome: how a job ended, as its journal holds it: the status it
// completed with and its last pending cause with that cause's texts. The job
// programs end with a line made from it when their job did not complete; the
// demo's summaries read it too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct JobOutcome {
    int status = 0;                      // the status it completed with; 0 when it reported none
    std::string cause;                   // "0x..." of its pending cause; empty for none
    std::vector<std::string> causeArgs;  // that cause's arguments (its texts)

    // "completed", "failed", "completed with errors", "stopped", "no status".
    std::string StatusText() const;
};

// Reads the end of the last attempt of job `jobId` (what follows its last
// registration) from its journal; an outcome with status 0 and no cause when
// there is no journal.
JobOutcome ReadJobOutcome(uint64_t jobId);

// The line a job program ends with when its job did not complete, e.g.
// "job 45 failed (status 2), cause <the cause as 0x%08x>: Live Sync DB error";
// `notStarted` stands for the status when the job reported none. Empty when
// the job completed.
std::string UnfinishedJobLine(uint64_t jobId, const JobOutcome& outcome, const std::string& notStarted);
