// CSQLRemoteOpsWorkerInfo: what the serving thread of a remote copy and its
// worker thread share.
//
// The worker writes the result, then sets the completion event; the server
// reads the result only once it has seen the event (or joined the worker).
// The quit flag goes the other way: the server raises it to stop the worker.
#pragma once

#include <atomic>

#include "WzUtils/CWzError.h"
#include "WzUtils/FXEvent.h"

namespace SQLPmn {
class RemoteCopyInfo;
}

class CSQLRemoteOpsWorkerInfo {
public:
    // True when the worker ended within `seconds` (platform time).
    bool IsWorkCompleted(unsigned int seconds);

    FXEvent m_completed{0};
    std::atomic<bool> m_quit{false};
    CWzError m_result;
    SQLPmn::RemoteCopyInfo* m_request = nullptr;  // owned by the serving thread
};
