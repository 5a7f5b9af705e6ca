// Stand-in of the agent's message processor: the entry sqlMessageProcessor
// serves one conversation of peer requests.
//
// The requests that the SQL plug-in also serves (directory creation, file
// size, single-file copy, FILESTREAM list) run through the plug-in's own
// handlers; the two that only the message processor serves are answered
// here: the multiple-file copy (0x1e000121, an SQLPmn::ErrorMessage reply
// under 0x1e000122 with the first failure) and the XML FILESTREAM list
// (0x1e00011d, an SQLPmn::SqlGetFileStreamInfoRsp or, for a request without
// folder or pattern, an SQLPmn::GenericResp under 0x1e00011e).
#include <cstring>
#include <memory>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/client/PeerFileCopy.h"
#include "JxSQLMessageHandler/client/PeerPathCheck.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlDispatchTable.h"
#include "JxSQLMessageHandler/service/sqlMessageHandler.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/CJxNetwork.h"

namespace {

void SendText(CJxNetwork* session, unsigned long code, std::string text) {
    SQLXmlTextRecord_t record;
    record.xml = text.data();
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&record, sizeof record);
    bool flag = false;
    session->SendXDRMessage(code, &buffer, 0, kSqlRequestTimeoutSeconds, flag);
}

void CopyMultiple(CJxNetwork* session, const SQLCopyMultipleRemoteFilesReq_t& request, EvDebug& log) {
    int code = kSqlCopyOk;
    for (uint32_t i = 0; i < request.count && code == kSqlCopyOk; ++i) {
        const SQLCopySingleRemoteFileReq_t& file = request.files[i];
        code = SqlPushFileToClient(file.sourcePath ? file.sourcePath : "",
                                   file.destinationPath ? file.destinationPath : "", file.destinationClientId, log);
    }
    SQLPmn::ErrorMessage reply;
    reply.setint64(SQLPmn::ErrorMessage::kErrorCode, code);
    reply.setstring(SQLPmn::ErrorMessage::kMessage, SqlFileCopyText(code));
    std::string text;
    reply.serialize(text);
    SendText(session, kSqlCopyMultipleFilesRsp, text);
}

void ListFileStreamFiles(CJxNetwork* session, const SQLXmlTextRecord_t& request) {
    SQLPmn::SqlGetFileStreamInfoReq message;
    std::string text;
    if (request.xml == nullptr || message.unserialize(request.xml) != 0 ||
        message.getstring(SQLPmn::SqlGetFileStreamInfoReq::kFolder).empty() ||
        message.getstring(SQLPmn::SqlGetFileStreamInfoReq::kPattern).empty()) {
        SQLPmn::GenericResp failure;
        failure.setint64(SQLPmn::GenericResp::kErrorCode, 1);
        failure.setstring(SQLPmn::GenericResp::kErrorText, "The request names no folder or no pattern.");
        failure.serialize(text);
    } else if (std::string why, resolved;
               !SqlIsPeerPathAllowed(message.getstring(SQLPmn::SqlGetFileStreamInfoReq::kFolder),
                                     SqlPeerPathUse::kReadFile, resolved, why)) {
        SQLPmn::GenericResp failure;
        failure.setint64(SQLPmn::GenericResp::kErrorCode, 1);
        failure.setstring(SQLPmn::GenericResp::kErrorText, why);
        failure.serialize(text);
    } else {
        CSQLClientDll walker;
        SQLPmn::SqlGetFileStreamInfoRsp reply;
        walker.GetAllFilesInFolder(message.getstring(SQLPmn::SqlGetFileStreamInfoReq::kFolder),
                                   message.getstring(SQLPmn::SqlGetFileStreamInfoReq::kPattern), reply);
        reply.serialize(text);
    }
    SendText(session, kSqlFileStreamInfoV2Rsp, text);
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void sqlMessageProcessor(CJxNetwork* session, unsigned long) {
    if (session == nullptr) return;
    sqlRegisterRecordCodecs();
    EvDebug log;
    std::unique_ptr<char[]> area(new char[kSqlReceiveAreaBytes]());
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(area.get(), kSqlReceiveAreaBytes);
    for (;;) {
        std::memset(area.get(), 0, kSqlReceiveAreaBytes);
        jxsHostProtocolHeader header;
        unsigned long code = 0;
        bool flag = false;
        if (session->ReceiveXDRMessage(&code, &buffer, &header, 0, kSqlRequestTimeoutSeconds, flag).IsError()) return;
        if (header.messageGroup != kSqlRequestGroup) {
            CJxNetwork::FreeReceivedMessage(code, &buffer);
            if (code == JXS_MSG_DISCONNECT || code == JXS_MSG_DISCONNECT_V2) {
                session->ReplyDisconnect(kSqlRequestTimeoutSeconds, flag);
            } else {
                jxsStatus status{2, kSqlForeignMessageStatus, 2};
                session->AbortConnection(status, kSqlRequestTimeoutSeconds, flag);
            }
            return;
        }
        if (code == kSqlCopyMultipleFilesReq) {
            CopyMultiple(session, *reinterpret_cast<SQLCopyMultipleRemoteFilesReq_t*>(area.get()), log);
        } else if (code == kSqlFileStreamInfoV2Req) {
            ListFileStreamFiles(session, *reinterpret_cast<SQLXmlTextRecord_t*>(area.get()));
        } else if (sqlRequestWrapper wrapper = sqlFindRequestWrapper(code)) {
            wrapper(session, code, &buffer);
        }
        CJxNetwork::FreeReceivedMessage(code, &buffer);
    }
}
