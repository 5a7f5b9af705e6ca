// Directory creation and removal over std::filesystem.
#include "WzUtils/CWzDirectory.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "WzUtils/FXErrorUtil.h"

namespace fs = std::filesystem;

CWzError CWzDirectory::Create(const char* path, bool parents) {
    if (path == nullptr || *path == '\0') return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "no directory path");
    std::error_code ec;
    if (parents) {
        fs::create_directories(path, ec);
    } else {
        fs::create_directory(path, ec);
    }
    if (ec) return FXErrorUtil::ErrorErrNo(FXCODELOC, ec.value(), "cannot create [%s]: %s", path, ec.message().c_str());
    if (!fs::is_directory(path, ec)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOTDIR, "[%s] exists and is not a directory", path);
    }
    return CWzError::Success();
}

CWzError CWzDirectory::Remove(const char* path, bool recursive, bool) {
    if (path == nullptr || *path == '\0') return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "no directory path");
    std::error_code ec;
    fs::file_status status = fs::symlink_status(path, ec);
    if (ec || !fs::exists(status)) return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOENT, "[%s] does not exist", path);
    if (!fs::is_directory(status)) return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOTDIR, "[%s] is not a directory", path);
    if (recursive) {
        fs::remove_all(path, ec);
    } else {
        fs::remove(path, ec);
    }
    if (ec) return FXErrorUtil::ErrorErrNo(FXCODELOC, ec.value(), "cannot remove [%s]: %s", path, ec.message().c_str());
    return CWzError::Success();
}
