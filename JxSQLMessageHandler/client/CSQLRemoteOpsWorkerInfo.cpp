// Waiting for the remote-copy worker.
#include "JxSQLMessageHandler/client/CSQLRemoteOpsWorkerInfo.h"

bool CSQLRemoteOpsWorkerInfo::IsWorkCompleted(unsigned int seconds) {
    return m_completed.WaitForSet(seconds * 1000u) != FX_WAIT_TIMEOUT;
}
