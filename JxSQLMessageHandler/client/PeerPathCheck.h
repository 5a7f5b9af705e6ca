// The check every path a peer sends goes through before this machine acts
// on it.
#pragma once

#include <string>

// True for an absolute path shorter than PATH_MAX without a ".." level;
// otherwise false with `why` saying what is wrong.
bool SqlIsAcceptablePeerPath(const std::string& path, std::string& why);

// What a peer asks to do with a path.
enum class SqlPeerPathUse {
    kCreateDirectory,  // at or under the job-results directory
    kRemoveDirectory,  // strictly under the job-results directory
    kReadFile,         // under one of the file roots (PeerPathRoots.h): sizes, copies, lists
    kRemoveFile,       // strictly under the job-results directory: a copied source the peer asks to remove
};

// True when `path` is acceptable (above) and, with every link followed (the
// real path of its deepest existing ancestor), lies where `use` allows;
// `resolved` then holds that resolved path. Otherwise false with `why`
// saying what is wrong; nothing is touched either way.
bool SqlIsPeerPathAllowed(const std::string& path, SqlPeerPathUse use, std::string& resolved, std::string& why);
