// FXFile::CFileData: one directory entry and its file information, read once
// through the file-system seam.
#include <cerrno>

#include "WzUtils/FXFile.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr mode_t kTypeBits = 0xF000;
constexpr mode_t kDirectoryType = 0x4000;

}  // namespace

std::string FXFile::CFileData::path() const {
    if (!fullPath) return name;
    return (folder == "/" ? "" : folder) + "/" + name;
}

bool FXFile::CFileData::getFileInfo() {
    if (infoState != 0) return infoState == 1;
    if (wz::Fs().Lstat(path(), &info) != 0) {
        lastError = errno;
        infoState = -1;
        return false;
    }
    infoState = 1;
    return true;
}

uint64_t FXFile::CFileData::getSize() { return getFileInfo() ? static_cast<uint64_t>(info.st_size) : 0; }

bool FXFile::CFileData::isDirectory() {
    return directory || (getFileInfo() && (info.st_mode & kTypeBits) == kDirectoryType);
}

std::wstring FXFile::CFileData::getFileNameAsWstring() const { return FXString::ToWstring(name); }
