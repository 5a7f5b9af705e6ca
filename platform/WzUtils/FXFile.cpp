// FXFile: folder searches over the file-system seam.
#include "WzUtils/FXFile.h"

#include <fnmatch.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"

namespace {

bool ReparsePointIn(const std::string& parent, const std::string& path, bool& directory) {
    wz::FileSystem& fs = wz::Fs();
    struct stat own {};
    directory = false;
    if (fs.Lstat(path, &own) != 0) return false;
    if (S_ISLNK(own.st_mode)) {
        struct stat target {};
        directory = fs.Stat(path, &target) == 0 && S_ISDIR(target.st_mode);
        return true;
    }
    if (!S_ISDIR(own.st_mode)) return false;
    directory = true;
    struct stat up {};
    return fs.Stat(parent, &up) == 0 && up.st_dev != own.st_dev;
}

std::string ParentOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

CWzError FXFile::JXFindFiles(const std::string& pattern, std::vector<CFileData>& found) {
    found.clear();
    const size_t slash = pattern.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : pattern.substr(0, slash));
    const std::string wildcard = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    if (wildcard.empty()) return FXErrorUtil::ErrorWin32(FXCODELOC, kFileNotFound, "No name in %s", pattern.c_str());

    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) {
        return FXErrorUtil::ErrorWin32(FXCODELOC, kPathNotFound, "Cannot read %s: %s", folder.c_str(),
                                       std::strerror(errno));
    }
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name == "." || name == ".." || ::fnmatch(wildcard.c_str(), name.c_str(), FNM_PERIOD) != 0) continue;
        CFileData data;
        data.name = name;
        data.folder = folder;
        data.fullPath = true;
        data.reparsePoint = ReparsePointIn(folder, data.path(), data.directory);
        found.push_back(std::move(data));
    }
    if (found.empty()) return FXErrorUtil::ErrorWin32(FXCODELOC, kFileNotFound, "Nothing matches %s", pattern.c_str());
    return CWzError::Success();
}

bool FXFile::IsReparsePoint(const std::string& path) {
    bool directory = false;
    return ReparsePointIn(ParentOf(path), path, directory);
}
