// FXFile::CFileData: one entry of a directory search.
//
// Holds the entry's name and folder; its file information (lstat) is loaded
// on first need and kept. In full-path mode the information is that of
// folder + "/" + name, otherwise that of the name alone (relative to the
// working directory). A failed load is remembered (state -1) with its errno.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>

#include "WzUtils/FXFile.h"

class FXFile::CFileData {
public:
    CFileData() = default;
    CFileData(std::string fileName, std::string folder, bool fullPath);

    // True for "." and "..".
    bool isRelativeFolder() const;

    // Loads the file information once; true when it is loaded. On failure
    // getLastError() gives the errno of the lstat call.
    bool getFileInfo();
    // Size in bytes, 0 when the information cannot be loaded.
    uint64_t getSize();
    // A directory (not a symbolic link to one); false when unknown.
    bool isDirectory();
    // This platform has no reparse points.
    bool isReparsePoint() const { return false; }
    uint32_t getReparseTag() const { return 0; }

    const std::string& getFileNameAsString() const { return m_fileName; }
    std::wstring getFileNameAsWstring() const;
    const std::string& getFolder() const { return m_folder; }
    int getLastError() const { return m_lastError; }

private:
    std::string m_fileName;
    std::string m_folder;
    struct stat m_stat {};
    int m_infoState = 0;  // 0 not loaded, 1 loaded, -1 failed
    int m_lastError = 0;
    bool m_fullPath = false;
};
