// JXSnapClientAPI: test clone environments. Each volume's snapshot is copied
// to the volume's mount path and the set is recorded as mounted, reserved
// for the largest test-environment reservation of its volumes, with its
// metadata items, so that the release of an expired environment detaches
// the databases its attach request names.
#include <algorithm>
#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JXSnapHandler/SnapMountRegistry.h"

bool JXSnapClientAPI::createTestCloneEnvs(SMVolSnapInfo& snaps) {
    SetLastError(0, "");
    if (TakeScriptedFailure("createTestCloneEnvs")) return false;
    const uint64_t snapJob = SnapJobOf(snaps);
    SnapMountRecord existing;
    if (SnapMountRegistry::Load(snapJob, snaps.getJobId(), existing) != 0) {
        SetLastError(kErrAlreadyMounted, "Test clone environments of job " + std::to_string(snapJob) +
                                             " already exist for job " + std::to_string(snaps.getJobId()) + ".");
        return false;
    }
    int seconds = 0;
    for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
        std::string error;
        if (v->getMountPath().empty()) error = "Volume [" + v->getSourcePath() + "] has no mount path.";
        if (error.empty() && !CopySnapToMountPath(*v, error) && error.empty()) error = "Cannot copy the snapshot.";
        if (!error.empty()) {
            (void)unmountVolumes(snaps);  // nothing of a failed creation stays
            SetLastError(kErrEngine, error);
            return false;
        }
        seconds = std::max(seconds, v->getTestEnvReservationTime());
    }
    SnapMountRecord record;
    MakeMountRecord(snaps, seconds > 0 ? seconds : kDefaultReservationSeconds, record);
    if (record.volumes.empty() || !SnapMountRegistry::Store(record)) {
        (void)unmountVolumes(snaps);
        SetLastError(kErrEngine, "Cannot record the test clone environments of job " + std::to_string(snapJob) + ".");
        return false;
    }
    return true;
}

bool JXSnapClientAPI::deleteTestCloneEnvs(SMVolSnapInfo& snaps) {
    SetLastError(0, "");
    if (TakeScriptedFailure("deleteTestCloneEnvs")) return false;
    if (!unmountVolumes(snaps)) {
        SetLastError(kErrEngine, "Cannot remove the test clone environments of job " +
                                     std::to_string(SnapJobOf(snaps)) + ".");
        return false;
    }
    return true;
}
