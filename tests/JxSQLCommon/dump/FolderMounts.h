// Test support: the mounts of a dump restore seen as folder mounts.
//
// The mounting service links each disk-library mount path of a subclient
// into the job's mount folder. Seen through FolderMounts, such a link is a
// directory on a device of its own, as the mount of a remote folder is, and
// a path through it resolves to the mount point, not to the folder behind
// it: once unmounted, no path the job took through the mount leads to the
// disk library any more.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "WzUtils/WzFileSystem.h"

class FolderMounts : public wz::ForwardingFileSystem {
public:
    // `folders`: the disk-library folders the mounts lead to.
    explicit FolderMounts(const std::vector<std::string>& folders) {
        for (const std::string& folder : folders) m_folders.insert(std::filesystem::canonical(folder).string());
    }

    int Lstat(const std::string& path, struct stat* st) override {
        if (!IsMountPoint(path)) return wz::ForwardingFileSystem::Lstat(path, st);
        struct stat above {};
        if (wz::ForwardingFileSystem::Stat(path, st) != 0 ||
            wz::ForwardingFileSystem::Stat(Parent(path), &above) != 0) {
            return -1;
        }
        st->st_dev = above.st_dev + 1;
        return 0;
    }

    int RealPath(const std::string& path, std::string& resolved) override {
        for (size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
            const std::string level = path.substr(0, end);
            if (IsMountPoint(level)) {
                // Resolved down to the mount point, not past it.
                struct stat st {};
                std::string above;
                if (wz::ForwardingFileSystem::Stat(path, &st) != 0 ||
                    wz::ForwardingFileSystem::RealPath(Parent(level), above) != 0) {
                    return -1;
                }
                resolved = above + level.substr(level.rfind('/')) + (end == std::string::npos ? "" : path.substr(end));
                return 0;
            }
            if (end == std::string::npos) break;
        }
        return wz::ForwardingFileSystem::RealPath(path, resolved);
    }

private:
    static std::string Parent(const std::string& path) { return path.substr(0, path.rfind('/')); }

    // A link to one of the folders.
    bool IsMountPoint(const std::string& path) {
        struct stat own {};
        std::string target;
        return !path.empty() && wz::ForwardingFileSystem::Lstat(path, &own) == 0 && S_ISLNK(own.st_mode) &&
               wz::ForwardingFileSystem::RealPath(path, target) == 0 && m_folders.count(target) != 0;
    }

    std::set<std::string> m_folders;
};
