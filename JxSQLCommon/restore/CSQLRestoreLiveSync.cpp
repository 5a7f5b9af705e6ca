// CSQLRestoreBase: live-sync restores. A task of a live-sync schedule names,
// in its replication-ids XML, the replication entities it keeps current
// (replication id and restore source database). The job then restores each
// database's live-sync chain (what followed its last restore) and, after each
// database, marks that database's site replication record complete. A task
// without replication entities is an ordinary restore.
#include <cinttypes>
#include <map>

#include "EvTaskApiNet/EvRstTask.h"
#include "JxEntityLib/LiveSyncReplication.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/TMMsgMessages.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "WzUtils/FXString.h"

namespace {
// The replication-ids XML of a live-sync task.
constexpr unsigned long kOptReplicationIds = 120012;
constexpr int64_t kStatusComplete = 1;
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

    m_liveSyncRestore = true;
    EV_INFO(m_logger, "This is a live sync restore job.");
    std::map<int64_t, std::wstring> sources;  // replication id -> restore source name
    for (const TMMsg::IdIdName& entity : list) {
        const int64_t id = entity.getint64(TMMsg::IdIdName::kId);
        const std::string name = entity.getstring(TMMsg::IdIdName::kName);
        EV_INFO(m_logger, "Found restore source [%s] with replication id [%" PRId64 "].", name.c_str(), id);
        sources[id] = FXString::ToWstring(name);
    }

    App::LiveSyncReplicationInfo request;
    JxEntities::SubtaskEntity subtask;
    subtask.setint64(JxEntities::SubtaskEntity::kSubtaskId, static_cast<int64_t>(m_restoreTaskId));
    request.setObjectAccessor(App::LiveSyncReplicationInfo::kSubtask, subtask);
    std::vector<App::LiveSyncReplicationInfo> records;
    std::string text;
    if (LiveSyncReplication().getSiteReplication(request, records, text, nullptr) != 0) {
        error = "Failed to get site replication info for task id [" + std::to_string(m_restoreTaskId) +
                "] with error [" + text + "]";
        EV_ERROR(m_logger, "%s.", error.c_str());
        return false;
    }
    if (records.empty()) EV_INFO(m_logger, "Empty site replication vector.");
    for (const App::LiveSyncReplicationInfo& record : records) {
        const int64_t id = record.getint64(App::LiveSyncReplicationInfo::kReplicationId);
        auto source = sources.find(id);
        if (source == sources.end()) {
            EV_INFO(m_logger, "Replication id [%" PRId64 "] is not part of this live sync restore. Skipping...", id);
            continue;
        }
        EV_INFO(m_logger, "Adding replication site info for replication id [%" PRId64 "] and database [%s] in the cache.",
                id, FXString::ToString(source->second).c_str());
        m_liveSyncReplicationInfo.insert_or_assign(source->second, record);
    }
    return true;
}

bool CSQLRestoreBase::UpdateDBLiveSyncStatus(std::string dbName) {
    if (!m_liveSyncRestore) return true;
    auto found = m_liveSyncReplicationInfo.find(FXString::ToWstring(dbName));
    if (found == m_liveSyncReplicationInfo.end()) {
        EV_WARN(m_logger, "No site replication info found for database [%s]. Cannot update the status.",
                dbName.c_str());
        return false;
    }
    App::LiveSyncReplicationInfo record = found->second;
    record.setint64(App::LiveSyncReplicationInfo::kStatus, kStatusComplete);
    std::string error;
    if (LiveSyncReplication().setSiteReplication(record, error, nullptr) != 0) {
        EV_WARN(m_logger, "Failed to update live sync status to complete for database [%s]: %s", dbName.c_str(),
                error.c_str());
        return false;
    }
    EV_INFO(m_logger, "Updated live sync status for restore source DB [%s] to complete.", dbName.c_str());
    return true;
}
