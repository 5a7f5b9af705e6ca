// Stand-in of the agent's message processor: the entry sqlMessageProcessor
// serves one conversation of peer requests.
//
// The requests that the SQL plug-in also serves (directory creation, file
// size, single-file copy, FILESTREAM list) run through the plug-in's own
// handlers; the two that only the message processor serves are answered
// here: the multiple-file copy (kSqlCopyMultipleFilesReq, an SQLPmn::ErrorMessage reply
// under kSqlCopyMultipleFilesRsp with the first failure) and the XML FILESTREAM list
// (kSqlFileStreamInfoV2Req, an SQLPmn::SqlGetFileStreamInfoRsp or, for a request without
// folder or pattern, an SQLPmn::GenericResp under kSqlFileStreamInfoV2Rsp).
#include <cerrno>
#include <cstring>
#include <exception>
#include <memory>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/client/PeerFileCopy.h"
#include "JxSQLMessageHandler/client/PeerPathCheck.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlDispatchTable.h"
#include "JxSQLMessageHandler/service/sqlMessageHandler.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSQLMessageHandler/service/sqlSessionAbort.h"
#include "JxSession/CJxNetwork.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

CWzError SendText(CJxNetwork* session, unsigned long code, std::string text) {
    SQLXmlTextRecord_t record;
    record.xml = text.data();
    jxsDatabuf_v2 buffer;
    buffer.setExternalBuffer(&record, sizeof record);
    bool flag = false;
    return session->SendXDRMessage(code, &buffer, 0, kSqlRequestTimeoutSeconds, flag);
}

CWzError CopyMultiple(CJxNetwork* session, const SQLCopyMultipleRemoteFilesReq_t& request, EvDebug& log) {
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
    return SendText(session, kSqlCopyMultipleFilesRsp, text);
}

CWzError ListFileStreamFiles(CJxNetwork* session, const SQLXmlTextRecord_t& request) {
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
    return SendText(session, kSqlFileStreamInfoV2Rsp, text);
}

// Runs one request's handling; an exception (an allocation failure while
// building a reply) becomes an error that ends only this session.
template <typename Handle>
CWzError Guarded(unsigned long code, Handle&& handle) {
    try {
        return handle();
    } catch (const std::exception& e) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, ECANCELED, "Request [0x%lx] failed with exception [%s].", code,
                                       e.what());
    } catch (...) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, ECANCELED, "Request [0x%lx] failed with an unknown exception.", code);
    }
}

}  // namespace

extern "C" __attribute__((visibility("default"))) void sqlMessageProcessor(CJxNetwork* session, unsigned long) {
    if (session == nullptr) return;
    SqlRegisterRecordCodecs();
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
        if (header.messageGroup != kSqlMessageGroup) {
            (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // the receive area holds any record
            // The session ends here either way; a lost reply or abort changes nothing.
            if (code == JXS_MSG_DISCONNECT || code == JXS_MSG_DISCONNECT_V2) {
                (void)session->ReplyDisconnect(kSqlRequestTimeoutSeconds, flag);
            } else {
                jxsStatus status{2, kSqlForeignMessageStatus, 2};
                (void)session->AbortConnection(status, kSqlRequestTimeoutSeconds, flag);
            }
            return;
        }
        CWzError served = Guarded(code, [&] {
            if (code == kSqlCopyMultipleFilesReq) {
                return CopyMultiple(session, *reinterpret_cast<SQLCopyMultipleRemoteFilesReq_t*>(area.get()), log);
            }
            if (code == kSqlFileStreamInfoV2Req) {
                return ListFileStreamFiles(session, *reinterpret_cast<SQLXmlTextRecord_t*>(area.get()));
            }
            if (SqlRequestWrapper wrapper = SqlFindRequestWrapper(code)) wrapper(session, code, &buffer);
            return CWzError::Success();
        });
        (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // the receive area holds any record
        if (served.IsError()) {
            // The requester did not get its reply: end the session as a failed receive does.
            EV_ERROR(log, "Request [0x%lx] failed. Error:[%s]", code, served.AsString().c_str());
            SqlAbortWithLastError(session, kSqlRequestTimeoutSeconds, flag);
            return;
        }
    }
}
