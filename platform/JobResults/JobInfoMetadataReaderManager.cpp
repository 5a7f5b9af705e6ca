// CJobInfoMetadataReaderManager over the store directories under the
// platform root.
#include "JobResults/JobInfoMetadataReaderManager.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

#include "JobResults/IndexFileCopy.h"
#include "JobResults/JobInfoIndexStore.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"

namespace {

bool PlainName(const std::string& name) {
    return !name.empty() && name.find('/') == std::string::npos && name != "." && name != "..";
}

}  // namespace

CJobInfoMetadataReaderManager::CJobInfoMetadataReaderManager(std::string, uint64_t, uint64_t snapJobId, uint64_t,
                                                             uint64_t, uint64_t value)
    : m_base(JobInfoIndexStore::Directory(snapJobId) + "/" + std::to_string(value)) {}

CWzError CJobInfoMetadataReaderManager::DownloadFiles(const std::string& container, std::list<std::string>& fileNames,
                                                      const std::string&, int) {
    if (!PlainName(container)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "Container name [%s] is not a plain name.", container.c_str());
    }
    std::vector<std::string> names;
    const std::string directory = m_base + "/" + container;
    if (wz::Fs().ReadDirectory(directory, names) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Container [%s] cannot be read.", directory.c_str());
    }
    std::sort(names.begin(), names.end());
    fileNames.assign(names.begin(), names.end());
    m_active = std::make_unique<CJobInfoMetadataReader>(m_base);
    return CWzError();
}

CWzError CJobInfoMetadataReader::Retrieve(const std::string& container, const std::string& name,
                                          const std::string& localPath) {
    if (!PlainName(container) || !PlainName(name)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "[%s/%s] names no file of the store.", container.c_str(),
                                       name.c_str());
    }
    const size_t slash = localPath.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : localPath.substr(0, slash);
    if (slash == std::string::npos || localPath.substr(slash + 1) != name) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "Local path [%s] does not end in [%s].", localPath.c_str(),
                                       name.c_str());
    }
    std::string error;
    if (!jobresults::CopyIntoIndex(m_base + "/" + container + "/" + name, folder, error)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EIO, "%s", error.c_str());
    }
    return CWzError();
}
