// The acknowledgements of a remote copy of job results (SQLPmn::RemoteCopyFileAck):
// their status values and the one way both ends send them.
#pragma once

#include <cstdint>
#include <string>

#include "WzUtils/CWzError.h"

class CJxNetwork;

enum eRemoteCopyStatus : int64_t {
    REMOTE_COPY_STARTED = 0,        // server: request accepted
    REMOTE_COPY_IN_PROGRESS = 1,    // server: worker still running
    REMOTE_COPY_FAILED = 2,         // server: finished without success
    REMOTE_COPY_COMPLETED = 3,      // server: finished
    REMOTE_COPY_SUSPEND = 4,        // requester: stop the copy
};

// The code of every remote-copy failure built here.
constexpr int32_t kRemoteCopyErrorCode = 774;
// Seconds every send and most receives of the conversation wait.
constexpr int kRemoteCopyTimeoutSeconds = 120;

// Sends one acknowledgement with `status` and `text`.
CWzError SendRemoteCopyAck(CJxNetwork& network, eRemoteCopyStatus status, const std::string& text);
