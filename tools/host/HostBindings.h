// The host's bindings: which shared library and which exported entry serve
// an attach descriptor (library name, entry name).
//
// File "host/bindings.ini" under the platform root, one section per library
// name:
//   [sLNSQLClient61]
//   library=/path/to/libJxSQL.so
//   sLPSQLMSG=sqlMessageHandler
// Key "library" is the path of the shared library; every other key is an
// entry name and its value the exported symbol to call.
#pragma once

#include <string>

#include "WzUtils/CWzError.h"

struct HostBinding {
    std::string libraryPath;
    std::string symbol;
};

std::string HostBindingsPath();
// The binding of (libraryName, entryName); an error naming what is missing.
CWzError FindHostBinding(const std::string& libraryName, const std::string& entryName, HostBinding& binding);
// Adds or replaces a binding (used by tests and set-up tools).
bool SetHostBinding(const std::string& libraryName, const std::string& entryName, const HostBinding& binding);
