// CSQLRestoreBase::getAFilesForMountDatabase: the backup chain of a database
// mounted for browsing, asked for by instance and time alone (no restore
// task stands behind a browse).
#include <cinttypes>
#include <list>
#include <string>

#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

bool CSQLRestoreBase::getAFilesForMountDatabase(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain,
                                                uint64_t instanceId, unsigned int toTime) {
    // The request carries task id 0; the job's own restore task id is left
    // as it is for whatever the job does next.
    constexpr unsigned long kNoTask = 0;
    EV_DEBUG(m_logger, 2,
             "Get afiles for database mount with taskid [%lu], instanceid [%" PRIu64
             "], toTime [%u], restoreTime [%d], restore type [%d], dbName [%s].",
             kNoTask, instanceId, toTime, 0, 0, db.sDbName.c_str());
    bool fetched = false;
    {
        CSQLClientDll client;
        fetched = client.getAFilesForDb(kNoTask, instanceId, toTime, 0, 0, db.sDbName, chain);
    }
    if (!fetched) {
        EV_ERROR(m_logger, "Failed to get AFiles to restore.");
        return false;
    }
    if (chain.empty()) {
        EV_ERROR(m_logger, "There is no archive file to restore for database [%s]", db.sDbName.c_str());
        return false;
    }
    return true;
}
