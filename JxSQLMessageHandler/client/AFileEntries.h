// The archive-file entries of the central server's restore replies as
// value records.
#pragma once

#include <cstdint>

#include "JxSQLCommon/records/SqlArchiveFileRecords.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"

// Ids travel as 32-bit numbers: read them unsigned, so that an id above
// 2^31 - 1 keeps its value instead of turning into a huge 64-bit number.
inline AFileInfo_t SqlAFileInfoOf(const SQLAFileEntry_t& entry) {
    AFileInfo_t info;
    info.jxCellId = static_cast<uint32_t>(entry.jxCellId);
    info.archiveFileId = static_cast<uint32_t>(entry.archiveFileId);
    info.offset = entry.offset;
    info.path = entry.path != nullptr ? entry.path : "";
    return info;
}
