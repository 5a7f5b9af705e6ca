// FXPath: path helpers of the utility library. Paths use "/" between levels.
#pragma once

#include <string>

#include "WzUtils/CWzError.h"

class FXPath {
public:
    // Splits `path` at its last "/" into the parent folder and the last
    // name ("/a/b.bak" gives "/a" and "b.bak"; "/b" gives "/" and "b"). A
    // trailing "/" is ignored. A path without a folder or without a name is
    // an invalid argument.
    static CWzError SplitParentPath(const std::string& path, std::string& parent, std::string& name);

    // Appends `name` to `path` with exactly one "/" between them; an empty
    // path becomes the name. An empty name is an invalid argument.
    static CWzError Append(std::string& path, const std::string& name);

    // Whether a level of `path` is "..", which can lead outside the folder
    // the path seems to name.
    static bool HasParentLevel(const std::string& path);

    // Removes one trailing "/" (the root "/" stays); always succeeds.
    static CWzError RemoveTrailingDelimiter(std::string& path);
};
