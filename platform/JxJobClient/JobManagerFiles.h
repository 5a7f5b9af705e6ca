// Where the job-manager stand-in keeps its files under the platform root.
#pragma once

#include <cstdint>
#include <string>

namespace jobmanager {

// "jobmanager/<job id>"
std::string JobDirectory(uint64_t jobId);
// The stop request: present while the job manager asks the job to quit.
std::string StopFilePath(uint64_t jobId);
// The restart string the job manager holds for the job (one line).
std::string RestartFilePath(uint64_t jobId);
// The job-results directory registration gives a job: "jobresults/<job id>".
std::string JobResultsDirectory(uint64_t jobId);
// Test switch: while "jobmanager/registration.fail" exists, every
// registration fails with the last error the file holds (a decimal number;
// anything else counts as 1).
std::string RegistrationFailurePath();

}  // namespace jobmanager
