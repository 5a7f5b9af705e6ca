// CSQLRestoreBase: the file call-backs of the snapshot copy-restore handler.
// Each turns one file operation the handler needs on another node into a
// peer request to that node's agent and hands its result back.
#include <cinttypes>
#include <string>
#include <utility>
#include <vector>

#include "JXAppMgr/JXClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLMessageHandler/client/CSQLRemoteOps.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"

namespace {

// Splits `path` at its last "/" into its folder ("/" for a name at the top)
// and its name; both stay empty when there is no "/".
void SplitAtLastSlash(const std::string& path, std::string& folder, std::string& name) {
    folder.clear();
    name.clear();
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return;
    folder = slash == 0 ? "/" : path.substr(0, slash);
    name = path.substr(slash + 1);
}

// The directory a record's file goes to: its target directory, or, when that
// is the lone separator, the folder of its indexed path.
std::string TargetDirectory(const SnapCopyIndexFileInfo& file, const std::string& indexedFolder) {
    return file.targetDirectory == "/" ? indexedFolder : file.targetDirectory;
}

}  // namespace

bool CSQLRestoreBase::OnRestoreFile(uint64_t nodeId, SnapCopyIndexFileInfo* file, std::string& errorText) {
    if (file == nullptr) return false;
    if (file->nodePath.find('/') == std::string::npos) {
        // The node's folder of the file is the part before its last "/".
        errorText = "The path [" + file->nodePath + "] of the file on the node names no folder.";
        EV_ERROR(m_logger, "%s The file is not copied from node [%" PRIu64 "].", errorText.c_str(), nodeId);
        return false;
    }
    std::string folder, name;
    SplitAtLastSlash(file->indexedPath, folder, name);
    EV_DEBUG(m_logger, 3, "Restore file information is folder [%s], file [%s]", folder.c_str(), name.c_str());
    const std::string target = TargetDirectory(*file, folder);

    JXPlatformInfo settings;
    int64_t disableAsync = 1;
    if (settings.getNumber("MSSQLAgent", "bDisableAsyncCopySnapRestore", &disableAsync) == 0) {
        EV_DEBUG(m_logger, 2, "Failed to read the registry key 'bDisableAsyncCopySnapRestore'.");
        disableAsync = 1;
    }
    if (disableAsync != 0) {
        CSQLClientDll client;
        return client.CopySingleRemoteFileRequest(nodeId, m_restoreOptions.destinationClientId, file->nodePath,
                                                  target, errorText);
    }

    // Pull the file: the node pushes it here on a worker of its own.
    std::string nodeFolder, nodeName;
    SplitAtLastSlash(file->nodePath, nodeFolder, nodeName);
    SQLPmn::RemoteCopyFileInfo entry;
    entry.setstring(SQLPmn::RemoteCopyFileInfo::kSourceFolder, nodeFolder.back() == '/' ? nodeFolder : nodeFolder + "/");
    entry.setstring(SQLPmn::RemoteCopyFileInfo::kDestinationFolder, target);
    entry.setstring(SQLPmn::RemoteCopyFileInfo::kFileName, nodeName);
    entry.setint64(SQLPmn::RemoteCopyFileInfo::kDeleteSource, 0);
    std::string host;
    if (int rc = JXClient(nodeId).getNetworkHostnameMangled(host); rc != 0) {
        EV_ERROR(m_logger, "Cannot get the mangled hostname for the node [%" PRIu64 "] with error [%d].", nodeId, rc);
        return false;
    }
    EV_DEBUG(m_logger, 3, "Pulling [%s] to local directory [%s] from remote directory [%s] on node [%s]",
             nodeName.c_str(), target.c_str(), nodeFolder.c_str(), host.c_str());
    std::vector<SQLPmn::RemoteCopyFileInfo> files{entry};
    CSQLRemoteOps remote(m_pJobCtrlClnt, m_pJobClnt);
    CWzError pulled = remote.PullContentFromRemoteNode(host, files, eRemoteOpsPushFiles, 0);
    if (pulled.IsError()) {
        EV_ERROR(m_logger, "PullContentFromRemoteNode from %" PRIu64 " failed, error=[%s].", nodeId,
                 pulled.AsString().c_str());
        return false;
    }
    return true;
}

bool CSQLRestoreBase::OnRestoreMultiFiles(uint64_t nodeId, std::vector<SnapCopyIndexFileInfo>* files,
                                          std::string& errorText) {
    if (files == nullptr) {
        EV_ERROR(m_logger, "Restore multiple file information is NULL.");
        return false;
    }
    if (files->empty()) {
        EV_ERROR(m_logger, "Restore multiple file information is empty.");
        return false;
    }
    JXPlatformInfo settings;
    uint64_t batchLimit = 0;
    if (settings.getNumber("MSSQLAgent", "nSizeOfSQLFilestreamCopy", &batchLimit) == 0) batchLimit = 0;
    if (batchLimit != 0) EV_DEBUG(m_logger, 3, "File size on each copy request is set as [%" PRIu64 "].", batchLimit);

    CSQLClientDll client;
    std::vector<std::pair<std::string, std::string>> batch;
    auto send = [&] {
        EV_DEBUG(m_logger, 3, "Request multiple files [%zu] copy.", batch.size());
        if (!client.CopyMultipleRemoteFilesRequest(nodeId, batch, errorText)) return false;
        batch.clear();
        return true;
    };
    for (const SnapCopyIndexFileInfo& file : *files) {
        if (quit()) {
            EV_ERROR(m_logger, " Job Manager issued quit flag.");
            return false;
        }
        std::string folder, name;
        SplitAtLastSlash(file.indexedPath, folder, name);
        EV_DEBUG(m_logger, 3, "Restore file information is folder [%s], file [%s]", folder.c_str(), name.c_str());
        batch.emplace_back(file.nodePath, TargetDirectory(file, folder));
        if (batchLimit != 0 && batch.size() >= batchLimit && !send()) return false;
    }
    return batch.empty() || send();
}

bool CSQLRestoreBase::OnCreateJRTempDirectory(uint64_t nodeId, std::string directory, std::string& errorText) {
    CSQLClientDll client;
    return client.CreateDirectoryOnRemoteMachine(nodeId, directory, errorText);
}

uint64_t CSQLRestoreBase::OnGetPhysicalFileSize(uint64_t nodeId, std::string filePath) {
    CSQLClientDll client;
    return client.GetRemoteFileSize(nodeId, filePath);
}

bool CSQLRestoreBase::OnGetFileStreamFiles(uint64_t nodeId, std::string folder, std::string pattern,
                                           std::vector<std::string>& files, int& error) {
    CSQLClientDll client;
    return client.RetrieveFilestreamInfo(nodeId, folder, pattern, files, error);
}

bool CSQLRestoreBase::OnGetFileStreamFiles_V2(uint64_t nodeId, std::string folder, std::string pattern,
                                              SQLPmn::SqlGetFileStreamInfoRsp& reply) {
    CSQLClientDll client;
    return client.RetrieveFileStreamInfo_V2(nodeId, folder, pattern, reply);
}
