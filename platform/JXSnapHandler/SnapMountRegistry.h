// SnapMountRegistry: the snapshot engine's record of what it has mounted,
// one file per mounted set under the platform root
// ("snapshots/mounts/<snap job id>_<job id>"), so that a later call, another
// process or the release command sees the mount: its volumes and mount
// paths, its mount status, its metadata items and when its reservation ends.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JXSnapHandler/SMMetaDataInfo.h"

struct SnapMountRecord {
    struct Volume {
        uint32_t volumeId = 0;
        std::string sourcePath;
        std::string mountPath;
    };
    uint64_t snapJobId = 0;
    uint64_t jobId = 0;
    int mountStatus = 0;
    // Seconds since 1970 at which the reservation ends.
    int64_t reserveUntil = 0;
    std::vector<Volume> volumes;
    std::vector<SMMetaDataInfo> metadata;
};

class SnapMountRegistry {
public:
    static std::string Directory();
    static std::string FilePath(uint64_t snapJobId, uint64_t jobId);

    // 1 with `record` filled, 0 when the set has no record, -1 when its
    // record cannot be read or is damaged.
    static int Load(uint64_t snapJobId, uint64_t jobId, SnapMountRecord& record);
    static bool Store(const SnapMountRecord& record);
    // Removing a record that is not there succeeds.
    static bool Remove(uint64_t snapJobId, uint64_t jobId);
    // Every readable record; the names of damaged ones go to `damaged`.
    static std::vector<SnapMountRecord> List(std::vector<std::string>* damaged = nullptr);

    // Wall-clock seconds since 1970 (the platform clock).
    static int64_t NowSeconds();

    // The text form of a record, and back (false for damaged text).
    static std::string Encode(const SnapMountRecord& record);
    static bool Decode(const std::string& text, SnapMountRecord& record);
};
