// SnapRestoreHandlerCallback: the file call-backs through which the snapshot
// copy-restore handler reaches the restore job. The job class derives from
// it; the call-backs themselves are added with the snapshot copy-restore.
#pragma once

class SnapRestoreHandlerCallback {
public:
    SnapRestoreHandlerCallback() = default;
    virtual ~SnapRestoreHandlerCallback() = default;
    SnapRestoreHandlerCallback(const SnapRestoreHandlerCallback&) = delete;
    SnapRestoreHandlerCallback& operator=(const SnapRestoreHandlerCallback&) = delete;
};
