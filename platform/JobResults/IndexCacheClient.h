// IndexCacheClient: the directory-change upload of a job's files into the
// index cache (indexing version 1).
//
// Each upload copies the files under the platform root to
// "index/cache/<job id>/<file name>"; the closing call (no files,
// `closing` set) writes "index/cache/<job id>/closed".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class IndexCacheClient {
public:
    // 0 on success; -1 for a file that cannot be read (the upload may be
    // tried again), -2 for a cache that cannot be written (fails the job).
    static int sendDirChange(uint64_t jxCellId, uint64_t appNumber, uint32_t backupType,
                             const std::string& mediaAgent, const std::string& mediaAgentText,
                             const std::vector<std::string>& files, bool closing, uint64_t jobId, char separator,
                             int timeoutSeconds, int mode);

    // "index/cache/<job id>" under the platform root.
    static std::string Directory(uint64_t jobId);
};
