// JXJobCtrlClient: the stop request as a file.
#include "JxJobClient/JXJobCtrlClient.h"

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobManagerFiles.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

bool JXJobCtrlClient::checkQuitFlag() const {
    struct stat st {};
    return ::stat(jobmanager::StopFilePath(m_jobId).c_str(), &st) == 0;
}

bool JXJobCtrlClient::requestStop(uint64_t jobId, int operation) {
    if (wz::MakeDirectoryTree(jobmanager::JobDirectory(jobId)) != 0) return false;
    std::ofstream out(jobmanager::StopFilePath(jobId), std::ios::trunc);
    if (operation != 0) out << operation << "\n";
    out.close();
    if (!out) return false;
    // The job manager's record of the job shows the request and its control
    // operation before what the job did about it.
    return jobmanager::JournalLine(jobId, "requestStop").Number("operation", operation).Append();
}

int JXJobCtrlClient::getJMControlOperation() const {
    std::ifstream in(jobmanager::StopFilePath(m_jobId));
    int operation = 0;
    if (!(in >> operation)) return 0;
    return operation;
}

bool JXJobCtrlClient::withdrawStop(uint64_t jobId) { return ::unlink(jobmanager::StopFilePath(jobId).c_str()) == 0; }
