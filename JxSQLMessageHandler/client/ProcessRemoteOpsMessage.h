// ProcessRemoteOpsMessage: the entry that serves one remote copy of
// job-results files.
//
// The host calls it with a session another node attached under the
// descriptor (kRemoteOpsLibraryName, kRemoteOpsEntryName). It receives one
// SQLPmn::RemoteCopyInfo, acknowledges it (status 0), pushes the listed files
// on one worker thread and, while the worker runs, acknowledges progress
// (status 1) every 60 seconds and listens for a suspend request (status 4).
// It ends with one final acknowledgement: 3 when the copy completed, 2 with
// the reason otherwise ("Remote copy got suspended" after a suspend request),
// and returns only after the worker has ended. Any other message is logged
// and dropped. The session stays the caller's.
#pragma once

#include <boost/shared_ptr.hpp>

#include "WzUtils/CWzError.h"

class CJxNetwork;
class CNMessageBase;
class CSQLRemoteOpsWorkerInfo;

// The descriptor under which other nodes attach to the entry.
constexpr const char* kRemoteOpsLibraryName = "sLNSQLCOMM";
constexpr const char* kRemoteOpsEntryName = "sSQLRemoteOpsMsgEntry";
constexpr unsigned long long kRemoteOpsAttachOption = 999900;

// Serves one received request message (a SQLPmn::RemoteCopyInfo).
CWzError ProcessSQLRemoteCopyMsg(CJxNetwork* network, CNMessageBase* message);
// Reports progress until the worker ends, a suspend request arrives
// (`suspended` true) or the requester cannot be told (an error).
CWzError CheckProgress(CJxNetwork* network, boost::shared_ptr<CSQLRemoteOpsWorkerInfo> worker, bool& suspended);
// The worker thread: runs the request of its CSQLRemoteOpsWorkerInfo.
void* ThreadEntry(void* workerRecord);

extern "C" {
// The exported entry; the second argument is not used.
void ProcessRemoteOpsMessage(CJxNetwork* network, unsigned long unused);
}
