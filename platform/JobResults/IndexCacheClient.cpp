// IndexCacheClient over a directory under the platform root.
#include "JobResults/IndexCacheClient.h"

#include "JobResults/IndexFileCopy.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

std::string IndexCacheClient::Directory(uint64_t jobId) {
    return wz::PlatformPath("index/cache/" + std::to_string(jobId));
}

int IndexCacheClient::sendDirChange(uint64_t, uint64_t, uint32_t, const std::string&, const std::string&,
                                    const std::vector<std::string>& files, bool closing, uint64_t jobId, char, int,
                                    int) {
    const std::string directory = Directory(jobId);
    for (const std::string& file : files) {
        std::string error;
        if (!jobresults::CopyIntoIndex(file, directory, error)) return -1;
    }
    if (closing) {
        if (wz::MakeDirectoryTree(directory) != 0 || !wz::WriteFileAtomically(directory + "/closed", "")) return -2;
    }
    return 0;
}
