// CSQLRemoteOps: the remote copy of job-results files between nodes.
//
// Requester side (a restore job that needs files another node produced):
//   CSQLRemoteOps ops(jobCtrl, jobClient);     // both may be null
//   CWzError e = ops.PullContentFromRemoteNode(node, files, eRemoteOpsPushFiles, 0);
// attaches to the node's remote-operations entry ("sLNSQLCOMM" /
// "sSQLRemoteOpsMsgEntry", ProcessRemoteOpsMessage.h), sends one
// SQLPmn::RemoteCopyInfo and waits for the node's acknowledgements until it
// reports completion (success) or failure (error 774 with the node's text).
// While it waits it keeps the job alive every 600 seconds and, when the job
// is asked to stop, asks the node to suspend the copy.
//
// Serving side: the node's worker thread runs HandleRemoteCopyRequest, which
// pushes the listed files to the requesting node with JxCopyFile. Every path
// of a request is checked first: folders must be absolute, file names plain
// names, no path level may be "..", and each text must fit the copy record.
#pragma once

#include <string>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "WzUtils/CWzError.h"

class CSQLRemoteOpsWorkerInfo;
class JXJobClient;
class JXJobCtrlClient;

// What a remote operation asks for (field 2 of SQLPmn::RemoteCopyInfo).
enum eRemoteOpsContentType {
    eRemoteOpsPushFiles = 0,  // push the listed files to the requesting node
};

class CSQLRemoteOps {
public:
    CSQLRemoteOps();
    CSQLRemoteOps(JXJobCtrlClient* jobCtrl, JXJobClient* jobClient);
    ~CSQLRemoteOps() = default;

    // Requester: copies `files` from `remoteNode` into their destination
    // folders on this node.
    CWzError PullContentFromRemoteNode(std::string& remoteNode, std::vector<SQLPmn::RemoteCopyFileInfo>& files,
                                       eRemoteOpsContentType type, unsigned long id);
    // Requester: runs the conversation of one request with `remoteNode`.
    CWzError ExecuteRemoteOperation(const std::string& remoteNode, SQLPmn::RemoteCopyInfo& request);

    // Worker: carries out one received request.
    CWzError HandleRemoteCopyRequest(SQLPmn::RemoteCopyInfo* request);
    // Worker: copies `files` from this node to `node`; `copyFlag` goes into
    // the copy records unchanged.
    CWzError PushContentToRemoteNode(const std::string& node, std::vector<SQLPmn::RemoteCopyFileInfo>& files,
                                     const bool& copyFlag);

    // This node's network name, looked up once; an error when the platform
    // names no network name for this machine.
    CWzError getCurrentNodeName(std::string& name);

    // Lets a worker's push see the quit flag of its worker record.
    void setWorkerInfo(CSQLRemoteOpsWorkerInfo* worker) { m_worker = worker; }
    // True when a worker record is attached and its quit flag is set.
    bool CheckQuitFlag();

private:
    std::string m_nodeName;
    JXJobCtrlClient* m_jobCtrl = nullptr;
    JXJobClient* m_jobClient = nullptr;
    CSQLRemoteOpsWorkerInfo* m_worker = nullptr;
};
