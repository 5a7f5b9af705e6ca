// JXSnapClientAPI: the state a mounted set keeps with the engine (mount
// status, metadata items, reservation) and the engine's last error.
#include <cerrno>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JXSnapHandler/SnapMountRegistry.h"

namespace {

struct LastError {
    int code = 0;
    std::string text;
};

thread_local LastError t_lastError;

}  // namespace

void JXSnapClientAPI::SetLastError(int code, const std::string& text) {
    t_lastError.code = code;
    t_lastError.text = text;
}

int JXSnapClientAPI::getErrCodeAndStr(std::string& text) {
    text = t_lastError.text;
    return t_lastError.code;
}

void JXSnapClientAPI::MakeMountRecord(const SMVolSnapInfo& snaps, int seconds, SnapMountRecord& record) {
    record = SnapMountRecord();
    record.snapJobId = SnapJobOf(snaps);
    record.jobId = snaps.getJobId();
    record.mountStatus = snaps.getMountStatus();
    record.reserveUntil = SnapMountRegistry::NowSeconds() + seconds;
    for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
        if (v->getMountPath().empty()) continue;
        record.volumes.push_back({v->getSMVolumeId(), v->getSourcePath(), v->getMountPath()});
    }
    for (const SMMetaDataInfo& item : snaps.metaDataList()) record.metadata.push_back(item);
}

bool JXSnapClientAPI::updateVolumeSnaps(SMVolSnapInfo& snaps) {
    SetLastError(0, "");
    if (TakeScriptedFailure("updateVolumeSnaps")) return false;
    const uint64_t snapJob = SnapJobOf(snaps);
    SnapMountRecord record;
    const int found = SnapMountRegistry::Load(snapJob, snaps.getJobId(), record);
    if (found < 0) {
        SetLastError(kErrEngine, "The mount record of job " + std::to_string(snapJob) + " is damaged.");
        return false;
    }
    if (found == 0) {
        MakeMountRecord(snaps, kDefaultReservationSeconds, record);
    } else {
        record.mountStatus = snaps.getMountStatus();
        for (const SMMetaDataInfo& item : snaps.metaDataList()) {
            bool replaced = false;
            for (SMMetaDataInfo& held : record.metadata) {
                if (!held.sameKey(item)) continue;
                held = item;
                replaced = true;
            }
            if (!replaced) record.metadata.push_back(item);
        }
    }
    if (!SnapMountRegistry::Store(record)) {
        SetLastError(kErrEngine, "Cannot store the mount record of job " + std::to_string(snapJob) + ".");
        return false;
    }
    return true;
}

bool JXSnapClientAPI::extendSnapVolumeMount(SMVolSnapInfo& snaps, const long& hours, const long& minutes) {
    SetLastError(0, "");
    if (TakeScriptedFailure("extendSnapVolumeMount")) return false;
    const uint64_t snapJob = SnapJobOf(snaps);
    if (hours < 0 || minutes < 0 || hours > 24L * 365 || minutes > 60L * 24 * 365) {
        SetLastError(kErrEngine, "A reservation of [" + std::to_string(hours) + "] hours and [" +
                                     std::to_string(minutes) + "] minutes cannot be made.");
        return false;
    }
    SnapMountRecord record;
    const int found = SnapMountRegistry::Load(snapJob, snaps.getJobId(), record);
    if (found <= 0) {
        SetLastError(found == 0 ? kErrNotMounted : kErrEngine,
                     "The volumes of job " + std::to_string(snapJob) +
                         (found == 0 ? " are not mounted." : " have a damaged mount record."));
        return false;
    }
    record.reserveUntil = SnapMountRegistry::NowSeconds() + hours * 3600 + minutes * 60;
    if (!SnapMountRegistry::Store(record)) {
        SetLastError(kErrEngine, "Cannot store the mount record of job " + std::to_string(snapJob) + ".");
        return false;
    }
    return true;
}
