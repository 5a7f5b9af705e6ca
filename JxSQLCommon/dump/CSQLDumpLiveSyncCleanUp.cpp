// SQLDumpLiveSync::CleanUp: the unmount at the end of one live-sync run.
#include "JxSQLCommon/dump/CSQLDumpLiveSyncCleanUp.h"

#include "JxSQLCommon/dump/CSQLDumpLiveSync.h"
#include "WzUtils/FXErrorUtil.h"

namespace SQLDumpLiveSync {

CleanUp::~CleanUp() {
    // A run that ended early still unmounts; its failure was logged by the
    // unmount and cannot change how the run ended.
    (void)Reset();
}

CWzError CleanUp::Reset() {
    if (m_liveSync == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "m_liveSync not setup");
    if (m_unmountPending) {
        CWzError error = m_liveSync->UnMountAll();
        if (error.IsError()) return error.Push(FXCODELOC, "UnMountAll in loop failed");
        m_unmountPending = false;
    }
    return CWzError::Success();
}

}  // namespace SQLDumpLiveSync
