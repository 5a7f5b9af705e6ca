// SnapCopyRestoreHandler: the snapshot copy-restore handler of a restore job.
// It mounts snapshot volumes for a job and unmounts them at its end; a job
// that restores only from streamed backups never mounts anything, so
// unmounting then has nothing to do.
#pragma once

class SnapCopyRestoreHandler {
public:
    SnapCopyRestoreHandler() = default;
    virtual ~SnapCopyRestoreHandler() = default;
    SnapCopyRestoreHandler(const SnapCopyRestoreHandler&) = delete;
    SnapCopyRestoreHandler& operator=(const SnapCopyRestoreHandler&) = delete;

    // Unmounts every volume the handler mounted for the job.
    void UnmountAllVolumes() {}
};
