// CJobInfoMetadataReaderManager: the download side of the job-information
// index store (indexing version 2).
//
// A manager is made for one job's metadata; `value` names the archive file
// whose index entry holds it (the lowest of the job's archive files, under
// which JobInfoIndexStore::backupData files it). DownloadFiles lists the
// names a container holds; the active reader then retrieves them one by one.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <string>

#include "WzUtils/CWzError.h"

class CJobInfoMetadataReader {
public:
    explicit CJobInfoMetadataReader(std::string base) : m_base(std::move(base)) {}
    // Copies the file `name` of `container` to `localPath`.
    CWzError Retrieve(const std::string& container, const std::string& name, const std::string& localPath);

private:
    std::string m_base;   // "index/store/<job id>/<archive file id>" under the platform root
};

class CJobInfoMetadataReaderManager {
public:
    CJobInfoMetadataReaderManager(std::string mediaAgentHost, uint64_t jobId, uint64_t snapJobId,
                                  uint64_t backupDomainId, uint64_t appId, uint64_t value);

    // Fills `fileNames` with the plain names the container holds (sorted);
    // an error when the container is not a plain name or cannot be read.
    // Makes the reader of the container the active one.
    CWzError DownloadFiles(const std::string& container, std::list<std::string>& fileNames,
                           const std::string& targetFolder, int flags);
    // The reader of the last listed container; null before a listing.
    CJobInfoMetadataReader* GetActiveMetadataReader() { return m_active.get(); }

private:
    std::string m_base;
    std::unique_ptr<CJobInfoMetadataReader> m_active;
};
