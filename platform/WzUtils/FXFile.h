// FXFile: folder searches by wildcard, with the kind of every entry found.
//
// A search "folder/pattern" lists the entries of the folder whose names
// match the pattern (shell wildcards, case-sensitive), "." and ".." left out,
// sorted by name. An entry is a reparse point when something else is mounted
// there: a symbolic link, or a directory on another device than the folder.
#pragma once

#include <string>
#include <vector>

#include "WzUtils/CWzError.h"

class FXFile {
public:
    struct CFileData {
        std::string name;
        bool directory = false;    // a directory, or a link to one
        bool reparsePoint = false;
        bool isReparsePoint() const { return reparsePoint; }
        bool isDirectory() const { return directory; }
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
