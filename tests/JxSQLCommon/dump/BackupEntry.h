// One backup of a restore chain as the dump restore sees it, for tests.
#pragma once

#include <cstdint>
#include <string>

#include "JxSQLCommon/records/SqlRestoreRecords.h"

namespace dumptest {

// A backup of type `type` ('D', 'I', 'L') covering LSNs `first` to `last`,
// taken by subclient 9 at `time`.
inline SqlAFilesPerBackup_t BackupEntry(char type, const std::string& first, const std::string& last,
                                        uint64_t time = 0) {
    SqlAFilesPerBackup_t e;
    e.backupType = static_cast<uint32_t>(type);
    e.sFirstLsn = first;
    e.sLastLsn = last;
    e.referenceTime = time;
    e.applicationId = 9;
    return e;
}

}  // namespace dumptest
