// A live-sync task in tests: the site replication records of its subtask and
// the replication entities its job reads from the task's options.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/TMMsgMessages.h"

inline App::LiveSyncReplicationInfo SiteRecord(int64_t subtask, int64_t replicationId, int64_t status) {
    App::LiveSyncReplicationInfo record;
    JxEntities::SubtaskEntity entity;
    entity.setint64(JxEntities::SubtaskEntity::kSubtaskId, subtask);
    record.setObjectAccessor(App::LiveSyncReplicationInfo::kSubtask, entity);
    record.setint64(App::LiveSyncReplicationInfo::kReplicationId, replicationId);
    record.setint64(App::LiveSyncReplicationInfo::kStatus, status);
    return record;
}

// The task's replication entities (id, restore source database) for job `jobId`.
inline void ReplicationIds(uint64_t jobId, const std::vector<std::pair<int64_t, std::string>>& entities) {
    std::vector<TMMsg::IdIdName> list;
    for (const auto& [id, name] : entities) {
        TMMsg::IdIdName e;
        e.setint64(TMMsg::IdIdName::kId, id);
        e.setstring(TMMsg::IdIdName::kName, name);
        list.push_back(e);
    }
    TMMsg::EntityListResp message;
    message.setlistobject(TMMsg::EntityListResp::kEntities, list);
    std::string xml;
    ASSERT_EQ(message.serialize(xml), 0);
    ASSERT_TRUE(EvTask::setOption(jobId, 120012, xml));
}
