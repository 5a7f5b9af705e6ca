// Test support: a whole restore job as the restore program runs it, for the
// restore task the central-server stand-in holds.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

namespace jxtest {

// Runs `job` as job `jobId` of restore task `taskId`: its result, and the
// status it reported.
inline bool RunRestoreJob(CSQLRestoreBase& job, uint64_t jobId, uint64_t taskId, int* status = nullptr) {
    const std::string id = std::to_string(jobId);
    const std::string token = id + ":1:1";
    const std::string task = std::to_string(taskId);
    const char* args[] = {"jxsqlrestore", "-j", id.c_str(), "-token", token.c_str(), "-rt", task.c_str()};
    RestoreOptionsParser parser;
    EXPECT_TRUE(parser.parse(7, args).IsSuccess());
    const bool result = job.startRestore(parser);
    if (status != nullptr) *status = job.getReportedJobStatus();
    return result;
}

}  // namespace jxtest
