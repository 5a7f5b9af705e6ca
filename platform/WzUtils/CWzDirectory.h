// CWzDirectory: creating and removing directories.
#pragma once

#include "WzUtils/CWzError.h"

class CWzDirectory {
public:
    // Creates `path`; with `parents`, also every missing folder above it. An
    // existing directory is success; an existing file of that name is an error.
    static CWzError Create(const char* path, bool parents);

    // Removes the directory `path`; with `recursive`, also everything in it
    // (symbolic links are removed, never followed). A missing directory is
    // an error (ENOENT). The last argument is accepted and not used.
    static CWzError Remove(const char* path, bool recursive, bool);
};
