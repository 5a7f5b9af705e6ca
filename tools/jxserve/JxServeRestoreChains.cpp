// The stand-in's answer to a database's restore chain (kSqlAFilesReq): which
// of the database's backups a restore needs, chosen the way the central
// server chooses them, sent newest first (the requester puts each backup in
// front of the ones before it, so the job gets the chain oldest first).
//
// Restore kinds 0 to 3 ask for the state at the request's to-time (0 = the
// latest): the newest full backup that ended by then, the newest
// differential on it that ended by then, and the log backups after those
// up to the first one that reaches the to-time. Kind 4 asks for what follows
// the database's last restore (the request's second time, when the database
// was last restored into or the last restore point recorded; 0 = nothing
// restored yet, the latest chain): on the full backup that ended by then,
// its newest differential and the log backups that ended after that time.
// Times are whole seconds: a backup that ended in the very second of the
// last restore counts as restored.
//
// Log backups are passed on as stored, gaps included: refusing a broken
// chain is SQL Server's part.
#include <cstdint>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlArchiveFileRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeRestoreStore.h"
#include "tools/jxserve/JxServeWireAFiles.h"

namespace {

constexpr int kAfterLastRestore = 4;

constexpr size_t kNone = static_cast<size_t>(-1);

// The newest backup of `type` in [from, to) that `fits`; kNone when there is
// none.
template <typename Fits>
size_t Newest(const std::vector<JxServeBackup>& history, char type, size_t from, size_t to, Fits fits) {
    size_t found = kNone;
    for (size_t i = from; i < to && i < history.size(); ++i) {
        if (history[i].backupType == type && fits(history[i])) found = i;
    }
    return found;
}

// The chain for the state at `toTime` (0 = latest), oldest first.
std::vector<JxServeBackup> ChainAt(const std::vector<JxServeBackup>& history, uint64_t toTime) {
    auto endedBy = [toTime](const JxServeBackup& b) { return toTime == 0 || b.endTime <= toTime; };
    const size_t full = Newest(history, 'D', 0, kNone, endedBy);
    if (full == kNone) return {};
    std::vector<JxServeBackup> chain{history[full]};
    size_t base = full;
    const size_t diff = Newest(history, 'I', full + 1, kNone, endedBy);
    if (diff != kNone) {
        chain.push_back(history[diff]);
        base = diff;
    }
    for (size_t i = base + 1; i < history.size(); ++i) {
        if (history[i].backupType != 'L') continue;
        chain.push_back(history[i]);
        if (toTime != 0 && history[i].endTime >= toTime) break;  // this log reaches the to-time
    }
    return chain;
}

// What follows a restore made at `restoredUpTo`, oldest first.
std::vector<JxServeBackup> ChainAfter(const std::vector<JxServeBackup>& history, uint64_t restoredUpTo) {
    auto endedBy = [restoredUpTo](const JxServeBackup& b) { return b.endTime <= restoredUpTo; };
    auto endedAfter = [restoredUpTo](const JxServeBackup& b) { return b.endTime > restoredUpTo; };
    const size_t full = Newest(history, 'D', 0, kNone, endedBy);
    if (full == kNone) return ChainAt(history, 0);
    // A differential belongs to the newest full before it.
    size_t nextFull = full + 1;
    while (nextFull < history.size() && history[nextFull].backupType != 'D') ++nextFull;
    std::vector<JxServeBackup> chain;
    size_t base = full;
    const size_t diff = Newest(history, 'I', full + 1, nextFull, endedAfter);
    if (diff != kNone) {
        chain.push_back(history[diff]);
        base = diff;
    }
    for (size_t i = base + 1; i < history.size(); ++i) {
        if (history[i].backupType == 'L' && endedAfter(history[i])) chain.push_back(history[i]);
    }
    return chain;
}

bool ServeRestoreChain(JxServeRequest& request) {
    const SQLDbAFileRestoreInfo_VER6_Req_t& req = request.As<SQLDbAFileRestoreInfo_VER6_Req_t>();
    auto db = JxServeOpenRestoreStore();
    const std::vector<JxServeBackup> history =
        JxServeBackupsOf(*db, req.sourceInstanceId, req.databaseName != nullptr ? req.databaseName : "", 0);
    std::vector<JxServeBackup> chain = req.restoreKind == kAfterLastRestore && req.secondTime != 0
                                           ? ChainAfter(history, req.secondTime)
                                           : ChainAt(history, req.restoreKind == kAfterLastRestore ? 0 : req.pointInTime);
    std::vector<JxServeBackup> newestFirst(chain.rbegin(), chain.rend());
    return JxServeReplyChain(request, newestFirst, 0);
}

const JxServeRegistration kRestoreChains{
    {kSqlAFilesReq, &ServeRestoreChain},
};

}  // namespace
