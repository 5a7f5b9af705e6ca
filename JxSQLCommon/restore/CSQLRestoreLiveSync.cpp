// CSQLRestoreBase: whether the job is a live-sync restore, from the
// replication ids its task carries, and the replication status of each
// restored database. A task without replication entities is an ordinary
// restore; keeping standby databases current through site replication
// records is not carried out on this platform, so a task that asks for it
// fails at set-up, before anything is restored.
#include <cinttypes>

#include "EvTaskApiNet/EvRstTask.h"
#include "JxSQLCommon/records/TMMsgMessages.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "WzUtils/FXString.h"

namespace {
// The replication-ids XML of a live-sync task.
constexpr unsigned long kOptReplicationIds = 120012;
}  // namespace

bool CSQLRestoreBase::InitializeLiveSyncJob(EvRstTask& task, std::string& error) {
    std::string xml;
    const int rc = task.getOptionString(kOptReplicationIds, xml);
    if (rc == EVTASK_ERR_NOT_FOUND) xml.clear();  // an ordinary task carries no replication ids
    else if (rc != 0) {
        error = "Failed to get replication ids from task option with error code [" + std::to_string(rc) + "]";
        EV_ERROR(m_logger, "%s.", error.c_str());
        return false;
    }
    if (xml.empty()) {
        EV_DEBUG(m_logger, 1, "Replicatoin id xml is empty. This is not a live sync restore.");
        return true;
    }
    EV_DEBUG(m_logger, 3, "Replication xml is [%s].", xml.c_str());
    TMMsg::EntityListResp entities;
    const int parsed = entities.unserialize(xml);
    std::vector<TMMsg::IdIdName> list;
    if (parsed != 0 || !entities.getlistobject(TMMsg::EntityListResp::kEntities, list)) {
        error = "Failed to unserialize replication id xml with error code [" + std::to_string(parsed) + "]";
        EV_ERROR(m_logger, "%s.", error.c_str());
        return false;
    }
    if (list.empty()) {
        EV_DEBUG(m_logger, 1,
                 "Replication entities are not set in replication id xml. This is not a live sync restore or is the "
                 "first sync after schedule creation..");
        return true;
    }
    for (const TMMsg::IdIdName& entity : list) {
        EV_DEBUG(m_logger, 1, "Found restore source [%s] with replication id [%" PRId64 "].",
                 entity.getstring(TMMsg::IdIdName::kName).c_str(), entity.getint64(TMMsg::IdIdName::kId));
    }
    error = "Live sync restore is not available on this platform.";
    EV_ERROR(m_logger, "%s", error.c_str());
    return false;
}

bool CSQLRestoreBase::UpdateDBLiveSyncStatus(std::string dbName) {
    if (!m_liveSyncRestore) return true;
    if (m_liveSyncReplicationInfo.find(FXString::ToWstring(dbName)) == m_liveSyncReplicationInfo.end()) {
        EV_WARN(m_logger, "No site replication info found for database [%s]. Cannot update the status.",
                dbName.c_str());
        return false;
    }
    EV_WARN(m_logger, "Failed to update live sync status to complete for database [%s].", dbName.c_str());
    return false;
}
