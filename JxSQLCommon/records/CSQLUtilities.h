// CSQLUtilities: process start and directory creation for the agent's tools.
#pragma once

#include <string>
#include <vector>

class CSQLUtilities {
public:
    // Starts `command` through the process runner and does not wait for it.
    // True when the program is running. The process keeps this process's
    // identity: `user` and `password` are only named in the log.
    static bool createProcessAsUser(std::string user, std::string password, std::string command);

    // Creates `path` and its missing parent folders. True when the path is a
    // directory afterwards (one that already existed counts); false with the
    // errno value in `error` otherwise (ENOTDIR when the path or a parent is
    // an existing non-directory, EINVAL for a null or empty path or one with a
    // character that UTF-8 cannot carry). With `created`, the levels this
    // call made are appended to it, the topmost first.
    static bool createRecursiveDirectory(const wchar_t* path, unsigned int& error,
                                         std::vector<std::string>* created = nullptr);
};
