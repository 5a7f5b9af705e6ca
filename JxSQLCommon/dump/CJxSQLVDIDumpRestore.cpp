// CJxSQLVDIDumpRestore: waiting for a restore from a dump file.
#include "JxSQLCommon/dump/CJxSQLVDIDumpRestore.h"

#include "JxLib/EvDebug.h"
#include "WzUtils/WzClock.h"

namespace {

EvDebug& Log() {
    static EvDebug log;
    return log;
}

}  // namespace

bool CJxSQLVDIDumpRestore::Success() const { return isFinished() && !queryFailed(); }

bool CJxSQLVDIDumpRestore::WaitUntilDone() { return WaitUntilDoneLinux(); }

bool CJxSQLVDIDumpRestore::WaitUntilDoneLinux() {
    // A restore may run far longer than any fixed bound; only a statement that
    // stops moving data is given up on.
    const int64_t idleLimitMs = static_cast<int64_t>(getVDITimeOut() > 0 ? getVDITimeOut() : 300) * 1000;
    uint64_t lastWork = getWorkDone();
    int64_t lastProgress = wz::ClockMs();
    bool ended = true;
    while (isStatementRunning()) {
        if (isQuit() || (m_stopRequested && m_stopRequested())) {
            setQuit(true);
            EV_INFO(Log(), "WaitUntilDoneLinux Job Manager issued quit flag");
            AbortOperation("The job was stopped.");
            ended = false;
            break;
        }
        const uint64_t work = getWorkDone();
        if (work != lastWork) {
            lastWork = work;
            lastProgress = wz::ClockMs();
        } else if (wz::ClockMs() - lastProgress > idleLimitMs) {
            EV_ERROR(Log(), "Failed waiting Query thread: no progress for %lld ms",
                     static_cast<long long>(idleLimitMs));
            AbortOperation("The restore made no progress within the VDI time-out.");
            ended = false;
            break;
        }
        WZSLEEP_InTeRnAl(kPollMs);
    }
    // Close joins the statement's thread before the devices go.
    const bool finalized = Finalize(false);
    EV_DEBUG(Log(), 1, "After joinThread in linux dump restore [%d].", finalized ? 1 : 0);
    clearDBFiles();
    Close();
    return ended;
}
