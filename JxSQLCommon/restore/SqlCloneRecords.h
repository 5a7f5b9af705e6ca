// Records of clone environments and recovery points: what a recovery point's
// caller hands the restore job, and the snapshot entities the recovery-point
// steps work on.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JXSnapHandler/SMVolSnapInfo.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"

// One recovery point as its caller describes it. The ids go into the attach
// request's recovery-point object unchanged (64 bits each).
struct SqlRecoveryPointInfo_t {
    int64_t idA = 0;               // the entity's field 20
    int64_t idB = 0;               // the object's field 3
    int64_t clientId = 0;          // the entity's field 47
    int64_t value4 = 0;
    int64_t value5 = 0;
    int64_t idC = 0;               // the object's field 1
    std::string mountPath;         // empty: the task's common mount path
    int reservationSeconds = 0;    // 0: one hour
};

// The snapshot client, the volume snapshots of one snapshot job and where
// each volume is mounted, keyed by the volume's source path (compared
// exactly: "/Data" and "/data" are different volumes).
struct EntitiesForCloneOperation {
    JXSnapClientAPI snapClient;
    SMVolSnapInfo snapInfo;
    std::map<std::string, SqlSMVolInfo> volumeMap;
};
