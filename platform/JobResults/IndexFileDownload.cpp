// GetIndexFiles over the index-cache directories under the platform root.
#include "JobResults/IndexFileDownload.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>

#include "JobResults/IndexFileCopy.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

int GetIndexFiles(const std::string&, uint64_t, uint64_t, uint64_t, uint64_t, int, int,
                  const std::string& targetFolder, const std::vector<std::string>* filters, void*) {
    if (filters == nullptr || targetFolder.empty()) return -1;
    wz::FileSystem& fs = wz::Fs();
    const std::string cache = wz::PlatformPath("index/cache");
    std::vector<std::string> jobs;
    if (fs.ReadDirectory(cache, jobs) != 0) return -1;
    std::sort(jobs.begin(), jobs.end());
    std::vector<std::string> copied;
    auto undo = [&]() {
        for (const std::string& file : copied) (void)fs.Unlink(file);  // best effort: the call fails anyway
        return -1;
    };
    for (const std::string& job : jobs) {
        const std::string directory = cache + "/" + job;
        std::vector<std::string> names;
        struct stat st {};
        if (fs.Stat(directory, &st) != 0 || !S_ISDIR(st.st_mode)) continue;
        if (fs.ReadDirectory(directory, names) != 0) return undo();
        std::sort(names.begin(), names.end());
        for (const std::string& name : names) {
            bool wanted = false;
            for (const std::string& filter : *filters) {
                if (::fnmatch(filter.c_str(), name.c_str(), 0) == 0) wanted = true;
            }
            if (!wanted) continue;
            std::string error;
            if (!jobresults::CopyIntoIndex(directory + "/" + name, targetFolder, error)) return undo();
            copied.push_back(targetFolder + "/" + name);
        }
    }
    return static_cast<int>(copied.size());
}
