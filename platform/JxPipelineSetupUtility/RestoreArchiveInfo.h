// RestoreArchiveInfo: one archive file of a backup to read back, as the
// restore job hands it to the data pipeline (one per stream, in the order
// of the backup's archive-file list).
#pragma once

#include <cstdint>

struct RestoreArchiveInfo {
    uint64_t appId = 0;            // application (subclient) of the backup
    uint64_t jxCellId = 0;         // backup domain of the archive file
    uint64_t optionsValue5 = 0;    // restore options, field 5
    uint64_t optionsValue1 = 0;    // restore options, field 1
    uint64_t archiveFileId = 0;
    uint64_t backupJobId = 0;
    uint64_t backupValue6 = 0;     // the backup's sixth number
    uint64_t offset = 0;           // of the piece in the archive file; 0 when offsets are ignored
    bool ignoreOffset = false;     // read the archive file's only piece wherever it starts
};
