// A short backup chain of database "sales" on the central server stand-in.
#pragma once

#include <cstdint>
#include <utility>

#include "tools/jxserve/JxServeRestoreStore.h"

namespace restoretest {

// A full backup ending at 100 and logs ending at 200 and 300 of "sales" on
// instance `instanceId`; each backup is its own job (numbered as its end
// time) with one archive file of the same number.
inline void PutSalesChain(uint64_t instanceId) {
    for (auto [type, end] : {std::pair{'D', 100}, {'L', 200}, {'L', 300}}) {
        JxServeBackup b;
        b.instanceId = instanceId;
        b.database = "sales";
        b.jobId = static_cast<uint64_t>(end);
        b.backupType = type;
        b.endTime = static_cast<uint64_t>(end);
        b.archiveFiles.push_back({2, static_cast<uint32_t>(end), 0, ""});
        JxServePutBackup(b);
    }
}

}  // namespace restoretest
