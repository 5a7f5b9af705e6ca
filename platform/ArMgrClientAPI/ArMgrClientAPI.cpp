// ArMgrClientAPI: mount paths read from the disk-library folder.
#include "ArMgrClientAPI/ArMgrClientAPI.h"

#include <sys/stat.h>

#include <algorithm>

#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

std::string ArMgrClientAPI::MountPathsFolder(uint64_t subclientId) {
    return wz::PlatformPath("media/mountpaths/" + std::to_string(subclientId));
}

int ArMgrClientAPI::getSubclientMountpathList(uint64_t subclientId, uint64_t /*otherId*/, bool /*flag1*/,
                                              bool /*flag2*/, std::vector<ArMgrMountPath>& paths) {
    paths.clear();
    const std::string folder = MountPathsFolder(subclientId);
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) return 2;
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name == "." || name == "..") continue;
        const std::string path = folder + "/" + name;
        struct stat info {};
        if (wz::Fs().Stat(path, &info) != 0 || !S_ISDIR(info.st_mode)) continue;
        ArMgrMountPath entry;
        entry.path = path;
        entry.status = wz::Fs().Stat(path + "/offline", &info) == 0 ? 1 : 0;
        paths.push_back(std::move(entry));
    }
    return 0;
}
