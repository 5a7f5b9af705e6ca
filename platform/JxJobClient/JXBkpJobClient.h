// JXBkpJobClient: the job manager's client of one backup job.
//
// Besides the calls of every job client it reports the backup's counters
// and asks the job manager for further phases. Each call is one journal
// line (JobJournal.h) named after the call, with its value under "value".
#pragma once

#include <cstdint>
#include <string>

#include "JxJobClient/JXJobClient.h"

class JXBkpJobClient : public JXJobClient {
public:
    using JXJobClient::JXJobClient;

    // Counters of the job's items (databases).
    bool setFilesToXfer(int64_t count);
    bool setFilesSoFar(int64_t count);
    bool setSkippedItemsToAdd(int64_t count);
    bool addBackupFileFailures(int64_t count);
    // Adds the uncompressed size of what the job backed up.
    bool addUncompBytesToXfer(uint64_t bytes, bool fromApplication);
    // Marks the data written so far as committable.
    bool enableCommit();
    // The backup's reference time (seconds since 1970).
    bool setReferenceTime(int64_t time);
    // Adds `text` to the phase parameters with the given action.
    bool concatPhaseParams(const std::string& text, int action);
    // Asks the job manager to run a differential phase after this one.
    bool runDifferentialPhase();
    // Asks the job manager to run a full phase after this one.
    bool convertToFull();
};
