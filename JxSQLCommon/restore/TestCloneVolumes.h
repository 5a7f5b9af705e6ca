// Steps on the volume snapshots of a test clone environment that the test
// environment of a clone job and a recovery point share: the query of a
// snapshot job's volumes, a mount folder per volume and the attach request
// kept with each volume.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "JXSnapHandler/SMVolSnapInfo.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"

// Asks for the volume snapshots of `snapJobId`, taken for job `jobId` from
// the copy of precedence `copyPrecedence`.
void PrepareTestCloneVolumeQuery(SMVolSnapInfo& record, uint64_t snapJobId, uint64_t jobId, uint64_t copyPrecedence);

// Gives each volume a new folder of its own under `mountPath` ("<path>/<GUID>/",
// one slash between them whether or not the path ends in one), the mount-path
// flag and the reservation, and records each volume, by its source path
// (compared exactly), in `volumeMap`.
void SetTestCloneMountPaths(SMVolSnapInfo& record, const std::string& mountPath, int reservationSeconds,
                            std::map<std::string, SqlSMVolInfo>& volumeMap);

// Adds to each volume the attach request as its type-38 metadata (reference
// type 10: the volume), so that the release of the environment detaches
// the attached databases.
void AddAttachRequestToVolumes(SMVolSnapInfo& record, const std::string& attachXml);
