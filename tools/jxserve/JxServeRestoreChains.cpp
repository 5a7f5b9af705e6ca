// The stand-in's answer to a database's restore chain (kSqlAFilesReq), sent
// newest first (the requester puts each backup in front of the ones before
// it, so the job gets the chain oldest first).
//
// Restore kinds 0 to 3 ask for the state at the request's to-time (0 = the
// latest, JxServeChainAt). Kind 4 asks for what follows the database's last
// restore (the request's second time: the point, in whole seconds, the
// database was last restored to, or the last restore point recorded of a
// restore to disk, JxServeChainAfter; 0 = nothing restored yet, the latest
// chain).
#include <cstdint>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlArchiveFileRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "tools/jxserve/JxServeChains.h"
#include "tools/jxserve/JxServeHandlers.h"
#include "tools/jxserve/JxServeRestoreStore.h"
#include "tools/jxserve/JxServeWireAFiles.h"

namespace {

constexpr int kAfterLastRestore = 4;

bool ServeRestoreChain(JxServeRequest& request) {
    const SQLDbAFileRestoreInfo_VER6_Req_t& req = request.As<SQLDbAFileRestoreInfo_VER6_Req_t>();
    auto db = JxServeOpenRestoreStore();
    const std::vector<JxServeBackup> history =
        JxServeBackupsOf(*db, req.sourceInstanceId, req.databaseName != nullptr ? req.databaseName : "", 0);
    std::vector<JxServeBackup> chain =
        req.restoreKind == kAfterLastRestore && req.secondTime != 0
            ? JxServeChainAfter(history, req.secondTime)
            : JxServeChainAt(history, req.restoreKind == kAfterLastRestore ? 0 : req.pointInTime);
    std::vector<JxServeBackup> newestFirst(chain.rbegin(), chain.rend());
    return JxServeReplyChain(request, newestFirst, 0);
}

const JxServeRegistration kRestoreChains{
    {kSqlAFilesReq, &ServeRestoreChain},
};

}  // namespace
