// FXFile: folder searches by wildcard, with the kind of every entry found.
//
// A search "folder/pattern" lists the entries of the folder whose names
// match the pattern (shell wildcards, case-sensitive), "." and ".." left out,
// sorted by name. An entry is a reparse point when something else is mounted
// there: a symbolic link, or a directory on another device than the folder.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <string>
#include <vector>

#include "WzUtils/CWzError.h"

class FXFile {
public:
    // One directory entry. Its file information (the link itself, never
    // followed) is read on first use and kept: in full-path mode from the
    // folder joined with the name, else from the name alone. A failed read
    // is kept too, with its errno, and not tried again.
    struct CFileData {
        std::string name;
        std::string folder;
        struct stat info {};
        int infoState = 0;  // 0 not read, 1 read, -1 failed
        int lastError = 0;  // errno of the failed read
        bool fullPath = false;
        // Set by a search: a directory, or a link to one.
        bool directory = false;
        // Set by a search: something else is mounted here (see above).
        bool reparsePoint = false;

        bool isRelativeFolder() const { return name == "." || name == ".."; }
        // Where the file information is read from: the folder joined with
        // the name in full-path mode, else the name.
        std::string path() const;
        // Reads the file information unless that was tried before; true when
        // it is at hand.
        bool getFileInfo();
        // Size in bytes (0 when the information cannot be read).
        uint64_t getSize();
        // What a search found, or else the entry's own file information.
        bool isDirectory();
        bool isReparsePoint() const { return reparsePoint; }
        // No reparse tag exists on this platform.
        uint32_t getReparseTag() const { return 0; }
        std::string getFileNameAsString() const { return name; }
        std::wstring getFileNameAsWstring() const;
    };

    // Win32 codes of a search that finds nothing.
    static constexpr uint32_t kPathNotFound = 3;
    static constexpr uint32_t kFileNotFound = 2;
    static constexpr uint32_t kNoMoreFiles = 18;

    // The entries matching `pattern`: fails with kPathNotFound when the folder
    // cannot be read, with kFileNotFound when nothing matches.
    static CWzError JXFindFiles(const std::string& pattern, std::vector<CFileData>& found);

    // Whether `path` itself is a mount of something else (see above).
    static bool IsReparsePoint(const std::string& path);
};
