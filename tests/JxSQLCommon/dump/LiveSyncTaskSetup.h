// Test support: makes restore task `task` of job `job` a live-sync task for
// the databases named, one replication entity (ids from 11 up) and its site
// record each.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JxEntityLib/LiveSyncReplication.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/TMMsgMessages.h"

inline void MakeLiveSyncTask(uint64_t task, uint64_t job, const std::vector<std::string>& databases) {
    std::vector<TMMsg::IdIdName> list(databases.size());
    for (size_t i = 0; i < databases.size(); ++i) {
        const int64_t id = 11 + static_cast<int64_t>(i);
        std::string error;
        App::LiveSyncReplicationInfo record;
        JxEntities::SubtaskEntity subtask;
        subtask.setint64(JxEntities::SubtaskEntity::kSubtaskId, static_cast<int64_t>(task));
        record.setObjectAccessor(App::LiveSyncReplicationInfo::kSubtask, subtask);
        record.setint64(App::LiveSyncReplicationInfo::kReplicationId, id);
        ASSERT_EQ(LiveSyncReplication().setSiteReplication(record, error, nullptr), 0) << error;
        list[i].setint64(TMMsg::IdIdName::kId, id);
        list[i].setstring(TMMsg::IdIdName::kName, databases[i]);
    }
    TMMsg::EntityListResp message;
    message.setlistobject(TMMsg::EntityListResp::kEntities, list);
    std::string xml;
    ASSERT_EQ(message.serialize(xml), 0);
    ASSERT_TRUE(EvTask::setOption(job, 120012, xml));
}
