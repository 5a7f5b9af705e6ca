// Site replication records in the central-server stand-in's store.
#include "JxEntityLib/LiveSyncReplication.h"

#include <memory>

#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "WzSQLite/CSQLite3DB.h"
#include "WzSQLite/CSQLite3Exception.h"
#include "WzUtils/PlatformRoot.h"

namespace {

// The central-server stand-in's store file; the table is this library's own.
std::unique_ptr<FX::CSQLite3DB> OpenStore() {
    auto db = std::make_unique<FX::CSQLite3DB>(wz::PlatformFilePath("jxserve/jxserve.db"));
    db->SetBusyTimeout(FX::kSharedStoreBusyTimeout);  // the host and other jobs write it too
    db->ExecDML(FX::CSQLite3Sql(
        "CREATE TABLE IF NOT EXISTS site_replication(subtask_id INTEGER NOT NULL, replication_id INTEGER NOT NULL, "
        "status INTEGER NOT NULL, PRIMARY KEY(subtask_id, replication_id))"));
    return db;
}

int64_t SubtaskOf(const App::LiveSyncReplicationInfo& message) {
    JxEntities::SubtaskEntity subtask;
    message.getObject(App::LiveSyncReplicationInfo::kSubtask, subtask);
    return subtask.getint64(JxEntities::SubtaskEntity::kSubtaskId);
}

}  // namespace

int LiveSyncReplication::getSiteReplication(const App::LiveSyncReplicationInfo& request,
                                            std::vector<App::LiveSyncReplicationInfo>& records, std::string& error,
                                            void*) {
    const int64_t subtaskId = SubtaskOf(request);
    try {
        auto db = OpenStore();
        auto rows = db->ExecQuerySetup(FX::CSQLite3Sql(
            "SELECT replication_id, status FROM site_replication WHERE subtask_id = ? ORDER BY replication_id",
            {subtaskId}));
        std::vector<App::LiveSyncReplicationInfo> found;
        while (rows->NextRow()) {
            App::LiveSyncReplicationInfo record;
            record.setint64(App::LiveSyncReplicationInfo::kReplicationId, rows->GetInt64Field(0));
            record.setint64(App::LiveSyncReplicationInfo::kStatus, rows->GetInt64Field(1));
            JxEntities::SubtaskEntity subtask;
            subtask.setint64(JxEntities::SubtaskEntity::kSubtaskId, subtaskId);
            record.setObjectAccessor(App::LiveSyncReplicationInfo::kSubtask, subtask);
            found.push_back(std::move(record));
        }
        records.insert(records.end(), found.begin(), found.end());
    } catch (const FX::CSQLite3Exception& e) {
        error = std::string("Cannot read the site replication records: ") + e.what();
        return kStoreError;
    }
    return 0;
}

int LiveSyncReplication::setSiteReplication(const App::LiveSyncReplicationInfo& record, std::string& error, void*) {
    const int64_t subtaskId = SubtaskOf(record);
    const int64_t replicationId = record.getint64(App::LiveSyncReplicationInfo::kReplicationId);
    if (replicationId <= 0) {
        error = "The site replication record carries no replication id.";
        return kBadRecord;
    }
    try {
        OpenStore()->ExecDML(FX::CSQLite3Sql("INSERT OR REPLACE INTO site_replication VALUES(?, ?, ?)",
                                             {subtaskId, replicationId,
                                              record.getint64(App::LiveSyncReplicationInfo::kStatus)}));
    } catch (const FX::CSQLite3Exception& e) {
        error = std::string("Cannot write the site replication record: ") + e.what();
        return kStoreError;
    }
    return 0;
}
