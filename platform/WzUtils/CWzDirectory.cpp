// Directory creation and removal through the file-system seam.
#include "WzUtils/CWzDirectory.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"

CWzError CWzDirectory::Create(const char* path, bool parents) {
    if (path == nullptr || *path == '\0') return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "no directory path");
    wz::FileSystem& fs = wz::Fs();
    int rc = parents ? wz::MakeDirectoryTree(path) : fs.Mkdir(path);
    if (rc != 0 && !parents && errno == EEXIST) rc = 0;
    if (rc != 0) {
        const int error = errno;
        return FXErrorUtil::ErrorErrNo(FXCODELOC, error, "cannot create [%s]: %s", path, std::strerror(error));
    }
    struct stat st {};
    if (fs.Stat(path, &st) != 0 || !S_ISDIR(st.st_mode)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOTDIR, "[%s] exists and is not a directory", path);
    }
    return CWzError::Success();
}

CWzError CWzDirectory::Remove(const char* path, bool recursive, bool) {
    if (path == nullptr || *path == '\0') return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "no directory path");
    wz::FileSystem& fs = wz::Fs();
    struct stat st {};
    if (fs.Lstat(path, &st) != 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOENT, "[%s] does not exist", path);
    if (!S_ISDIR(st.st_mode)) return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOTDIR, "[%s] is not a directory", path);
    if ((recursive ? wz::RemoveTree(path) : fs.Rmdir(path)) != 0) {
        const int error = errno;
        return FXErrorUtil::ErrorErrNo(FXCODELOC, error, "cannot remove [%s]: %s", path, std::strerror(error));
    }
    return CWzError::Success();
}
