// ArMgrClientAPI: the archive manager's view of the disk library.
//
// The disk-library folders of a subclient (its mount paths) are the
// directories "media/mountpaths/<subclient id>/<name>" under the platform
// root, listed in name order. A mount path is active (status 0) unless it
// holds a file named "offline" (status 1).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ArMgrMountPath {
    std::string path;   // absolute
    int status = 0;     // 0 or -1 active, anything else not usable
};

class ArMgrClientAPI {
public:
    // The folder that holds the mount paths of `subclientId`.
    static std::string MountPathsFolder(uint64_t subclientId);

    // The mount paths of `subclientId`: 0, or 2 when the subclient has no
    // folder. `otherId` and the flags are accepted and not used.
    static int getSubclientMountpathList(uint64_t subclientId, uint64_t otherId, bool flag1, bool flag2,
                                         std::vector<ArMgrMountPath>& paths);
};
