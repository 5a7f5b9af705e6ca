// File size and file copy between clients: the requesters that ask another
// client for a file's size or to push files here, and the handlers that
// serve those requests on the client that holds the files.
#include "JxSQLMessageHandler/client/PeerFileCopy.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "JXAppMgr/JXClient.h"
#include "JxLib/JXFile.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/client/OwnClientName.h"
#include "JxSQLMessageHandler/client/PeerPathCheck.h"
#include "JxSQLMessageHandler/client/PeerRecordFrames.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSession/JxCopyFile.h"

namespace {

constexpr uint32_t kCopyOption = 17;

// The id of the client named after this machine; 0 when the model has none.
uint64_t OwnClientId() {
    char name[kOwnClientNameSize];
    GetOwnClientName(name);
    uint64_t id = 0;
    if (JXClient(std::string(name)).getClientId(id) != 0) return 0;
    return id;
}

}  // namespace

const char* SqlFileCopyText(int code) {
    switch (code) {
    case kSqlCopyOk: return "";
    case kSqlCopyMissingInput: return "Failed to get filepath or destination or remote client Id from request.";
    case kSqlCopyNoHostName: return "Failed to get host manged name.";
    case kSqlCopyNoConnection: return "Failed to get connection with host.";
    default: return "Failed to copy file to destination.";
    }
}

int SqlPushFileToClient(const std::string& sourcePath, const std::string& destinationPath,
                        uint64_t destinationClientId, EvDebug& log) {
    if (sourcePath.empty() || destinationPath.empty() || destinationClientId == 0) return kSqlCopyMissingInput;
    std::string hostName;
    if (JXClient(destinationClientId).getNetworkHostnameMangled(hostName) != 0) {
        EV_ERROR(log, "Failed to get mangled host name for destination client [%llu].",
                 static_cast<unsigned long long>(destinationClientId));
        return kSqlCopyNoHostName;
    }
    std::string folder, file;
    size_t slash = sourcePath.rfind('/');
    if (slash != std::string::npos) {
        folder = sourcePath.substr(0, slash);
        file = sourcePath.substr(slash + 1);
    }
    EV_INFO(log, "Restore file information is folder [%s], file [%s] - [%s]", folder.c_str(), file.c_str(),
            destinationPath.c_str());
    // Both paths come from a peer: neither may lead elsewhere than it says,
    // the source lies where peers may read, and neither may be cut to fit
    // the copy record.
    std::string why, resolved;
    if (!SqlIsPeerPathAllowed(sourcePath, SqlPeerPathUse::kReadFile, resolved, why) ||
        !SqlIsAcceptablePeerPath(destinationPath, why) ||
        folder.size() >= kJxsFileCopyPathBytes || file.size() >= kJxsFileCopyPathBytes ||
        destinationPath.size() >= kJxsFileCopyPathBytes) {
        EV_ERROR(log, "File copy failed. %s", why.empty() ? "A path is too long for the copy record." : why.c_str());
        return kSqlCopyFailed;
    }
    char ownName[kOwnClientNameSize];
    GetOwnClientName(ownName);
    std::vector<_JXS_FILE_COPY_INFO> copies(1);
    _JXS_FILE_COPY_INFO& info = copies.front();
    std::memcpy(info.request.fileName, file.c_str(), file.size() + 1);
    std::memcpy(info.sourceFolder, folder.c_str(), folder.size() + 1);
    std::memcpy(info.request.destinationFolder, destinationPath.c_str(), destinationPath.size() + 1);
    info.copyOption = kCopyOption;

    JxCopyFile copy;
    CWzError err = copy.GetConnection(hostName.c_str(), ownName, false);
    int code = kSqlCopyOk;
    if (err.IsError()) {
        EV_ERROR(log, "File copy failed while getting connecttion. %s", err.AsString().c_str());
        code = kSqlCopyNoConnection;
    } else {
        err = copy.CopyFiles(copies, false, nullptr, "", "");
        if (err.IsError()) {
            EV_ERROR(log, "File copy failed. %s", err.AsString().c_str());
            code = kSqlCopyFailed;
        }
    }
    copy.Disconnect();
    return code;
}

unsigned long CSQLClientDll::GetRemoteFileSize(unsigned long clientId, std::string filePath) {
    try {
        EV_DEBUG(m_event, 3, "Sending file [%s] size request to client [%lu].", filePath.c_str(), clientId);
        SQLGetFileSizeReqRsp_t request;
        request.filePath = filePath.data();
        // The size read stands even when the release fails.
        unsigned long size = 0;
        requestPeerRecord<SQLGetFileSizeReqRsp_t>(
            clientId, request, kSqlFileSizeReq, kSqlFileSizeRsp, true, [&](const SQLGetFileSizeReqRsp_t& reply) {
                if (reply.size > 0) size = static_cast<unsigned long>(reply.size);
                return true;
            });
        return size;
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception caught when asking for a remote file size.");
        return 0;
    }
}

bool CSQLClientDll::GetRemoteFileSize() {
    return servePeerRecord<SQLGetFileSizeReqRsp_t, SQLGetFileSizeReqRsp_t>(
        kSqlFileSizeRsp, "Unexpected exception happened.",
        [&](const SQLGetFileSizeReqRsp_t& request, SQLGetFileSizeReqRsp_t& reply) {
            std::string path = TextOf(request.filePath);
            if (path.empty()) {
                EV_ERROR(m_event, "No file path is set for request.");
                return false;
            }
            EV_DEBUG(m_event, 3, "File path [%s] is set for request.", path.c_str());
            reply.filePath = request.filePath;
            // An unreadable file answers 0 and is no failure of the request.
            long long size = 0;
            std::string why, resolved;
            if (!SqlIsPeerPathAllowed(path, SqlPeerPathUse::kReadFile, resolved, why)) {
                EV_ERROR(m_event, "%s", why.c_str());
            } else if (int rc = JXFile::getFileSize(path.c_str(), &size); rc != 0 && rc != 2) {
                EV_ERROR(m_event, "JXFile::getFileSize() returned error. ErrorCode[%d].", rc);
            }
            reply.size = size;
            return true;
        });
}

bool CSQLClientDll::CopySingleRemoteFileRequest(unsigned long sourceClientId, unsigned long destinationClientId,
                                                std::string sourcePath, std::string destinationPath,
                                                std::string& errorText) {
    try {
        EV_DEBUG(m_event, 3, "Send copy file [%s] request to client [%lu].", sourcePath.c_str(), sourceClientId);
        uint64_t destination = destinationClientId;
        bool keepGiven = (JXPlatformInfo().getJXPlatformType() & 1) != 0;
        if (!keepGiven && destinationClientId != 0) {
            bool installed = false;
            if (int rc = ClientProperties(destinationClientId).getIsInstalledClient(installed); rc != 0) {
                EV_ERROR(m_event, "Failed to get client properties for the client [%lu]. Error [%d].",
                         destinationClientId, rc);
                return false;
            }
            std::string name;
            JXClient(static_cast<uint64_t>(destinationClientId)).getClientName(name);
            keepGiven = installed && !name.empty();
        }
        if (!keepGiven) destination = OwnClientId();
        EV_DEBUG(m_event, 3, "File to be copied from client [%lu] to [%llu] .", sourceClientId,
                 static_cast<unsigned long long>(destination));

        SQLCopySingleRemoteFileReq_t request;
        request.sourcePath = sourcePath.data();
        request.destinationPath = destinationPath.data();
        request.destinationClientId = destination;
        return requestPeerRecord<SQLGenericErrorXmlRsp_t>(
            sourceClientId, request, kSqlCopySingleFileReq, kSqlCopySingleFileRsp, true,
            [&](const SQLGenericErrorXmlRsp_t& reply) {
                return readErrorMessageReply(reply.xml, "copy file", errorText);
            });
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception in file copy request. Error [%d].", errno);
        return false;
    }
}

bool CSQLClientDll::CopyMultipleRemoteFilesRequest(unsigned long sourceClientId,
                                                   std::vector<std::pair<std::string, std::string>>& files,
                                                   std::string& errorText) {
    if (files.empty()) {
        EV_ERROR(m_event, "File information for copying mutiple file is empty.");
        return false;
    }
    try {
        EV_DEBUG(m_event, 3, "Send copy multiple file request to client [%lu].", sourceClientId);
        uint64_t destination = OwnClientId();
        std::vector<SQLCopySingleRemoteFileReq_t> entries(files.size());
        for (size_t i = 0; i < files.size(); ++i) {
            entries[i].sourcePath = files[i].first.data();
            entries[i].destinationPath = files[i].second.data();
            entries[i].destinationClientId = destination;
        }
        SQLCopyMultipleRemoteFilesReq_t request;
        request.count = static_cast<uint32_t>(entries.size());
        request.files = entries.data();
        return requestPeerRecord<SQLGenericErrorXmlRsp_t>(
            sourceClientId, request, kSqlCopyMultipleFilesReq, kSqlCopyMultipleFilesRsp, true,
            [&](const SQLGenericErrorXmlRsp_t& reply) {
                return readErrorMessageReply(reply.xml, "copy file", errorText);
            });
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception in file copy request. Error [%d].", errno);
        return false;
    }
}

bool CSQLClientDll::CopySingleRemoteFile() {
    SQLPmn::ErrorMessage message;
    bool result = true;
    try {
        const auto* request = ReceivedRecord<SQLCopySingleRemoteFileReq_t>(m_receivedBuffer);
        int code = SqlPushFileToClient(TextOf(request->sourcePath), TextOf(request->destinationPath),
                                       request->destinationClientId, m_event);
        message.setint64(SQLPmn::ErrorMessage::kErrorCode, code);
        message.setstring(SQLPmn::ErrorMessage::kMessage, SqlFileCopyText(code));
        if (code != kSqlCopyOk) result = false;
        if (!sendErrorMessageReply(kSqlCopySingleFileRsp, message)) result = false;
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception happened .");
        result = false;
    }
    return result;
}
