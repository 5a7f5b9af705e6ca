// JXJobCtrlClient: the stop request as a file.
#include "JxJobClient/JXJobCtrlClient.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "JxJobClient/JobManagerFiles.h"
#include "WzUtils/PlatformRoot.h"

bool JXJobCtrlClient::checkQuitFlag() const {
    struct stat st {};
    return ::stat(jobmanager::StopFilePath(m_jobId).c_str(), &st) == 0;
}

bool JXJobCtrlClient::requestStop(uint64_t jobId) {
    if (!wz::MakeDirectories(jobmanager::JobDirectory(jobId))) return false;
    std::ofstream out(jobmanager::StopFilePath(jobId), std::ios::trunc);
    return static_cast<bool>(out);
}

bool JXJobCtrlClient::withdrawStop(uint64_t jobId) { return ::unlink(jobmanager::StopFilePath(jobId).c_str()) == 0; }
