// Where the job-manager stand-in keeps a job's files under the platform root.
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

}  // namespace jobmanager
