// SQLDumpLiveSync::CleanUp: the scope guard of one live-sync run. It ends
// the run's use of the disk library (unmounts, drops marker files) when
// Reset is called or, failing that, when it goes out of scope, so a run that
// stops early still leaves nothing mounted.
#pragma once

#include "WzUtils/CWzError.h"

class CSQLDumpLiveSync;

namespace SQLDumpLiveSync {

inline constexpr unsigned OneHundredPercent = 100;

class CleanUp {
public:
    explicit CleanUp(CSQLDumpLiveSync* liveSync) : m_liveSync(liveSync) {}
    virtual ~CleanUp();
    CleanUp(const CleanUp&) = delete;
    CleanUp& operator=(const CleanUp&) = delete;

    // Unmounts now when that is still pending; a failure leaves it pending.
    CWzError Reset();

private:
    bool m_unmountPending = true;
    CSQLDumpLiveSync* m_liveSync = nullptr;
};

}  // namespace SQLDumpLiveSync
