// FXDirectorySearch: one directory search in progress.
//
// The find-first/find-next operations of FXFile open it (the directory, the
// folder it lists and the wildcard pattern entries are matched against) and
// CloseDirAndChangeDir ends it; auto_find_handle owns one.
#pragma once

#include <dirent.h>

#include <string>

struct FXDirectorySearch {
    DIR* dir = nullptr;
    std::string folder;
    std::string pattern;
};

// Closes the search's directory and frees the search; null is ignored.
void CloseDirAndChangeDir(FXDirectorySearch* search);
