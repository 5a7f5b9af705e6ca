// JXArchive: one archive file of the media as the pipeline holds it open.
#pragma once

#include <cstdint>

#include "JxPipelineSetupUtility/ArchiveFileId.h"

class JXArchive {
public:
    JXArchive() = default;
    explicit JXArchive(const ArchiveFileId_t& id) : m_id(id) {}
    virtual ~JXArchive() = default;

    const ArchiveFileId_t& GetArchiveFileId() const { return m_id; }
    // The media agent's resource-consumer id of this archive file.
    int GetResourceConsumerId() const { return static_cast<int>(m_id.archiveFileId); }

private:
    ArchiveFileId_t m_id;
};
