// Paths of the job-manager stand-in.
#include "JxJobClient/JobManagerFiles.h"

#include "WzUtils/PlatformRoot.h"

namespace jobmanager {

std::string JobDirectory(uint64_t jobId) { return wz::PlatformPath("jobmanager/" + std::to_string(jobId)); }

std::string StopFilePath(uint64_t jobId) { return JobDirectory(jobId) + "/stop"; }

std::string RestartFilePath(uint64_t jobId) { return JobDirectory(jobId) + "/restart"; }

std::string JobResultsDirectory(uint64_t jobId) { return wz::PlatformPath("jobresults/" + std::to_string(jobId)); }

std::string RegistrationFailurePath() { return wz::PlatformFilePath("jobmanager/registration.fail"); }

}  // namespace jobmanager
