// JXBkpJobClient: the backup job's counters and phase requests as journal lines.
#include "JxJobClient/JXBkpJobClient.h"

#include "JxJobClient/JobJournal.h"

bool JXBkpJobClient::setFilesToXfer(int64_t count) { return Journal("setFilesToXfer", count); }

bool JXBkpJobClient::setFilesSoFar(int64_t count) { return Journal("setFilesSoFar", count); }

bool JXBkpJobClient::setSkippedItemsToAdd(int64_t count) { return Journal("setSkippedItemsToAdd", count); }

bool JXBkpJobClient::addBackupFileFailures(int64_t count) { return Journal("addBackupFileFailures", count); }

bool JXBkpJobClient::addUncompBytesToXfer(uint64_t bytes, bool fromApplication) {
    return jobmanager::JournalLine(jobId(), "addUncompBytesToXfer")
        .Unsigned("value", bytes)
        .Flag("application", fromApplication)
        .Append();
}

bool JXBkpJobClient::enableCommit() { return jobmanager::JournalLine(jobId(), "enableCommit").Append(); }

bool JXBkpJobClient::setReferenceTime(int64_t time) { return Journal("setReferenceTime", time); }

bool JXBkpJobClient::concatPhaseParams(const std::string& text, int action) {
    return jobmanager::JournalLine(jobId(), "concatPhaseParams").Text("value", text).Number("action", action).Append();
}

bool JXBkpJobClient::runDifferentialPhase() {
    return jobmanager::JournalLine(jobId(), "runDifferentialPhase").Append();
}

bool JXBkpJobClient::convertToFull() { return jobmanager::JournalLine(jobId(), "convertToFull").Append(); }
