// JobInfoIndexStore over directories under the platform root.
#include "JobResults/JobInfoIndexStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "JobResults/IndexFileCopy.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"

std::string JobInfoIndexStore::Directory(uint64_t jobId) {
    return wz::PlatformPath("index/store/" + std::to_string(jobId));
}

CWzError JobInfoIndexStore::addFileContentForKey(const std::string& container, const std::string& file) {
    if (container.empty() || container.find('/') != std::string::npos || container == "." || container == "..") {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "Container name [%s] is not a plain name.", container.c_str());
    }
    if (::access(file.c_str(), R_OK) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "File [%s] cannot be read.", file.c_str());
    }
    m_files.emplace_back(container, file);
    return CWzError();
}

CWzError JobInfoIndexStore::backupData(const std::string&, const std::string&, uint32_t archiveFileId) {
    const std::string base = Directory(m_jobId) + "/" + std::to_string(archiveFileId);
    for (const auto& [container, file] : m_files) {
        std::string error;
        if (!jobresults::CopyIntoIndex(file, base + "/" + container, error)) return FXErrorUtil::ErrorErrNo(FXCODELOC, EIO, "%s", error.c_str());
    }
    m_files.clear();
    return CWzError();
}
