// LiveSyncReplication: the site replication records of live-sync restore
// tasks, kept by the central server. Here they are rows of the central-server
// stand-in's store under the platform root, one per (subtask id, replication
// id), with their status.
#pragma once

#include <string>
#include <vector>

#include "JXAppMgr/AdaptersBase.h"
#include "JxSQLCommon/records/AppMessages.h"

class LiveSyncReplication : public AdaptersBase {
public:
    // The records of the subtask that `request` names (its SubtaskEntity's
    // subtask id), by replication id. 0, or an error code with `error` set.
    int getSiteReplication(const App::LiveSyncReplicationInfo& request,
                           std::vector<App::LiveSyncReplicationInfo>& records, std::string& error, void* reserved);
    // Writes `record` (its subtask, replication id and status), replacing the
    // record of that subtask and replication id. 0, or an error code with
    // `error` set.
    int setSiteReplication(const App::LiveSyncReplicationInfo& record, std::string& error, void* reserved);

    static constexpr int kStoreError = 1;
    static constexpr int kBadRecord = 2;
};
