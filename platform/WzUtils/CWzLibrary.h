// CWzLibrary: the registry of the product's shared libraries.
#pragma once

#include <string>

class CWzLibrary {
public:
    explicit CWzLibrary(bool /*loadRegistry*/ = true) {}

    // The file name of a library known by its short name ("JXSnapHandler"
    // gives "libJXSnapHandler.so"); empty for an empty or path-like name.
    std::string GetLibraryNameForName(const std::string& name) const;
};
