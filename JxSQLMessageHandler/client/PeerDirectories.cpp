// Directories on a peer: the requesters that ask another client to create
// or remove a directory, and the handlers that do it on this machine. The
// two directions differ only in their codes, target and words.
#include <string>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/client/PeerPathCheck.h"
#include "JxSQLMessageHandler/client/PeerRecordFrames.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "WzUtils/CWzDirectory.h"

namespace {

struct DirectoryChange {
    unsigned long requestCode;
    unsigned long replyCode;
    bool toMessageProcessor;
    const char* sendingLine;
    const char* noPathText;
    const char* failedLine;
    const char* exceptionLine;
};

constexpr DirectoryChange kCreate{kSqlCreateDirectoryReq,
                                  kSqlCreateDirectoryRsp,
                                  true,
                                  "Sending create directory [%s] to client [%lu].",
                                  "Failed to get folder path for creation request.",
                                  "Failed to create folder [%s] with error [%s].",
                                  "Unexpected exception caught when create directory."};
constexpr DirectoryChange kDelete{kSqlDeleteDirectoryReq,
                                  kSqlDeleteDirectoryRsp,
                                  false,
                                  "Sending delete directory [%s] to client [%lu].",
                                  "Failed to get folder path for deletion request.",
                                  "Failed to delete folder [%s] with error [%s].",
                                  "Unexpected exception caught when delete directory."};

}  // namespace

bool CSQLClientDll::CreateDirectoryOnRemoteMachine(unsigned long clientId, std::string directory,
                                                   std::string& errorText) {
    return requestDirectoryChange(true, clientId, directory, errorText);
}

bool CSQLClientDll::DeleteDirectoryOnRemoteMachine(unsigned long clientId, std::string directory,
                                                   std::string& errorText) {
    return requestDirectoryChange(false, clientId, directory, errorText);
}

bool CSQLClientDll::CreateDirectoryOnRequest() { return serveDirectoryChange(true); }

bool CSQLClientDll::DeleteDirectoryOnRequest() { return serveDirectoryChange(false); }

bool CSQLClientDll::requestDirectoryChange(bool create, unsigned long clientId, const std::string& directory,
                                           std::string& errorText) {
    const DirectoryChange& op = create ? kCreate : kDelete;
    try {
        EV_INFO(m_event, op.sendingLine, directory.c_str(), clientId);
        std::string path = directory;
        SQLCreateDeleteDirectoryReq_t request;
        request.directory = path.data();
        return requestPeerRecord<SQLGenericErrorXmlRsp_t>(
            clientId, request, op.requestCode, op.replyCode, op.toMessageProcessor,
            [&](const SQLGenericErrorXmlRsp_t& reply) {
                return readErrorMessageReply(reply.xml, create ? "create directory" : "delete directory", errorText);
            });
    } catch (...) {
        EV_ERROR(m_event, "%s", op.exceptionLine);
        return false;
    }
}

bool CSQLClientDll::serveDirectoryChange(bool create) {
    const DirectoryChange& op = create ? kCreate : kDelete;
    SQLPmn::ErrorMessage message;
    message.setint64(SQLPmn::ErrorMessage::kErrorCode, 0);
    message.setstring(SQLPmn::ErrorMessage::kMessage, "");
    bool result = true;
    try {
        const auto* request = ReceivedRecord<SQLCreateDeleteDirectoryReq_t>(m_receivedBuffer);
        std::string directory = TextOf(request->directory);
        std::string why, resolved;
        if (directory.empty()) {
            message.setint64(SQLPmn::ErrorMessage::kErrorCode, 1);
            message.setstring(SQLPmn::ErrorMessage::kMessage, op.noPathText);
            result = false;
        } else if (!SqlIsPeerPathAllowed(directory,
                                         create ? SqlPeerPathUse::kCreateDirectory : SqlPeerPathUse::kRemoveDirectory,
                                         resolved, why)) {
            // Peers create and remove directories only inside the job-results
            // directory, wherever links in the path lead.
            EV_ERROR(m_event, op.failedLine, directory.c_str(), why.c_str());
            message.setint64(SQLPmn::ErrorMessage::kErrorCode, 2);
            message.setstring(SQLPmn::ErrorMessage::kMessage, why);
            result = false;
        }
        if (TextOf(request->extraOptions).empty()) EV_WARN(m_event, "No xml options set for extra options.");
        if (result) {
            // The resolved path holds no link left to redirect the change.
            CWzError err = create ? CWzDirectory::Create(resolved.c_str(), true)
                                  : CWzDirectory::Remove(resolved.c_str(), true, false);
            if (err.IsError()) {
                EV_ERROR(m_event, op.failedLine, directory.c_str(), err.AsString().c_str());
                message.setint64(SQLPmn::ErrorMessage::kErrorCode, 2);
                message.setstring(SQLPmn::ErrorMessage::kMessage, err.AsString());
                result = false;
            }
        }
        if (!sendErrorMessageReply(op.replyCode, message)) result = false;
    } catch (...) {
        EV_ERROR(m_event, "Unexpected exception happened.");
        result = false;
    }
    return result;
}
