// JobInfoIndexStore: uploads a job's files into the index of the backup
// domain (indexing version 2).
//
// Files are added under a container name and sent together by backupData,
// which copies them under the platform root to
// "index/store/<job id>/<archive file id>/<container>/<file name>".
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "WzUtils/CWzError.h"

class JobInfoIndexStore {
public:
    // The index here is one per platform root: the backup domain and the
    // application the real index is kept by are not needed to find it.
    JobInfoIndexStore(uint64_t jobId, uint64_t /*jxCellId*/, uint64_t /*appNumber*/) : m_jobId(jobId) {}

    // A regular file to send under `container`; an error when it cannot be
    // read or the container name is not a plain name.
    CWzError addFileContentForKey(const std::string& container, const std::string& file);
    // Sends the added files, recorded with the archive file they index.
    CWzError backupData(const std::string& mediaAgent, const std::string& mediaAgentText, uint32_t archiveFileId);

    // "index/store/<job id>" under the platform root.
    static std::string Directory(uint64_t jobId);

private:
    uint64_t m_jobId;
    std::vector<std::pair<std::string, std::string>> m_files;   // container, path
};
