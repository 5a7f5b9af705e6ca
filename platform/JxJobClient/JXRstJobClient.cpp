// JXRstJobClient: restore counters as journal lines.
#include "JxJobClient/JXRstJobClient.h"

#include "JxJobClient/JobJournal.h"
#include "JxSQLCommon/records/JobManagerMessages.h"

void JXRstJobClient::setNumFailures2Add(int64_t count) { Journal("setNumFailures2Add", count); }

bool JXRstJobClient::setNoDBsRestoredSoFar(int64_t count) { return Journal("setNoDBsRestoredSoFar", count); }

void JXRstJobClient::setTotBytes2Xfer(int64_t bytes) { Journal("setTotBytes2Xfer", bytes); }

bool JXRstJobClient::setNoDBsToRestore(int64_t count) { return Journal("setNoDBsToRestore", count); }

void JXRstJobClient::setNumSkipped2Add(int64_t count) { Journal("setNumSkipped2Add", count); }

void JXRstJobClient::setUncompBytes2Add(int64_t bytes) { Journal("setUncompBytes2Add", bytes); }

bool JXRstJobClient::setUnCompBytesSoFar(int64_t bytes) { return Journal("setUnCompBytesSoFar", bytes); }

bool JXRstJobClient::setPercentage(int percent) { return Journal("setPercentage", percent); }

void JXRstJobClient::setTotFiles2Xfer(int64_t count) { Journal("setTotFiles2Xfer", count); }

void JXRstJobClient::setNumSuccessful2Add(int64_t count) { Journal("setNumSuccessful2Add", count); }

void JXRstJobClient::setCompBytes2Add(int64_t bytes) { Journal("setCompBytes2Add", bytes); }

bool JXRstJobClient::getPreparedJobFromForeignJob(JobManager::PreparedJobsFromForeignReq& request,
                                                  JobManager::PreparedJobsFromForeignResp&) {
    std::string xml;
    if (request.serialize(xml) != 0) return false;
    return jobmanager::JournalLine(jobId(), "getPreparedJobFromForeignJob").Text("request", xml).Append();
}
