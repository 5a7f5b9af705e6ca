// RestoreMarkerFile: an empty file in a dump folder that says "database X is
// being restored by job N" (<lower-case database>_<job id>.rmf).
//
// The marker exists as long as the object that made it: the destructor
// removes it. Linux has no delete-on-close, so a process that dies leaves its
// marker behind; to tell such a marker from a live one, the owner holds a
// shared open-file-description lock on it for its whole life, which the
// kernel drops when the process ends. IsStale() tests for that lock, so a
// later run (or a program that tidies the dump folder) can recognise and
// remove markers whose owner is gone.
#pragma once

#include <string>

#include "WzUtils/CWzError.h"
#include "WzUtils/auto_handle.h"

class RestoreMarkerFile {
public:
    RestoreMarkerFile() = default;
    virtual ~RestoreMarkerFile();
    RestoreMarkerFile(const RestoreMarkerFile&) = delete;
    RestoreMarkerFile& operator=(const RestoreMarkerFile&) = delete;

    // Creates the marker of `database` and `jobID` in the existing `folder`
    // (an existing marker of the same name is taken over). Refused on an
    // object that already holds a marker.
    CWzError Create(const std::string& folder, const std::string& database, const std::string& jobID);

    // The marker's full path after a successful Create.
    const std::string& GetPath() const { return m_path; }

    // `stale` = the marker at `path` exists and no live process holds it.
    static CWzError IsStale(const std::string& path, bool& stale);

private:
    auto_handle m_handle;
    std::string m_path;
    std::string m_name;
};
