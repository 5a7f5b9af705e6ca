// The ids that name one archive file of the media.
#pragma once

#include <cstdint>

struct ArchiveFileId_t {
    uint32_t jxCellId = 0;
    uint32_t archiveGroupId = 0;
    uint32_t archiveFileId = 0;
};
