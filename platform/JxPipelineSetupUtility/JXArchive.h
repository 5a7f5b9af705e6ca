// JXArchive: one archive file of the media as the pipeline holds it open.
#pragma once

#include <cstdint>

#include "JxPipelineSetupUtility/ArchiveFileId.h"

// What an archive file reserved for a snapshot is created for.
struct CreateArgs_t {
    uint32_t backupType = 0;      // 1 full, 2 log, 4 differential
    uint32_t flags = 0;
    uint64_t appNumber = 0;
    uint64_t clientId = 0;
    uint32_t appType = 0;
    uint64_t instanceId = 0;
    uint32_t jxCellId = 0;
};

class JXArchive {
public:
    JXArchive() = default;
    explicit JXArchive(const ArchiveFileId_t& id) : m_id(id) {}
    virtual ~JXArchive() = default;

    const ArchiveFileId_t& GetArchiveFileId() const { return m_id; }
    // The media agent's resource-consumer id of this archive file.
    int GetResourceConsumerId() const { return static_cast<int>(m_id.archiveFileId); }

    // Snapshot backups write no data: each snapped volume only gets an
    // archive file of the disk library to be recorded under.
    void SetJobID(uint64_t jobId) { m_jobId = jobId; }
    // Creates an empty archive file for the job; 0 on success (its id then
    // from GetArchiveFileId), else the errno-style cause.
    int CreateArchiveForSnapBackup(const CreateArgs_t& args);
    // Closes the archive file created last; 0 on success.
    int closeAfile();

private:
    ArchiveFileId_t m_id;
    uint64_t m_jobId = 0;
    uint32_t m_snapStream = 0;   // archive files created for snapshots so far
    bool m_open = false;
};
