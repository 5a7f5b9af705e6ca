// JXJobClient: the restart string as a file.
#include "JxJobClient/JXJobClient.h"

#include <fstream>

#include "JxJobClient/JobManagerFiles.h"
#include "WzUtils/PlatformRoot.h"

std::string JXJobClient::getRestartString(int /*lookupType*/) const {
    std::ifstream in(jobmanager::RestartFilePath(m_jobId));
    std::string line;
    std::getline(in, line);
    return line;
}

bool JXJobClient::setRestartString(uint64_t jobId, const std::string& text) {
    if (text.find_first_of("\r\n") != std::string::npos) return false;
    if (!wz::MakeDirectories(jobmanager::JobDirectory(jobId))) return false;
    std::ofstream out(jobmanager::RestartFilePath(jobId), std::ios::trunc);
    out << text << '\n';
    return static_cast<bool>(out.flush());
}
