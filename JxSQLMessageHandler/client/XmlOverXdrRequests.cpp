// XML documents sent to the central server inside the XDR exchange: the
// document is the only text of the request record (kSqlXmlReqV2) and the
// reply's document the only text of the reply record (kSqlXmlRsp).
#include <string>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

constexpr int32_t kXmlExchangeFailed = 116;
constexpr int32_t kXmlReplyUnparsable = 118;
constexpr int32_t kXmlReplyReportsError = 119;

// One XML exchange on `client`; `where` locates the errors in the caller.
CWzError ExchangeXml(CSQLClientDll& client, EvDebug& log, const std::string& request, std::string& reply,
                     const FXCodeLocation& where) {
    std::string text = request;
    SQLGenericXmlReq_t record;
    record.xml = text.data();
    client.getDataBuffer()->setExternalBuffer(&record, sizeof record);
    SQLGenericErrorXmlRsp_t replyRecord;
    client.getReceiveDataBuffer()->setExternalBuffer(&replyRecord, sizeof replyRecord);
    if (!client.sendAndReceiveMessage(2, kSqlXmlReqV2, kSqlXmlRsp)) {
        log.Tagged(where.file, where.line, EvDebug::kError, 0, "Failed to send or recieve message.");
        return FXErrorUtil::ErrorJXResult(where, kXmlExchangeFailed, "Failed to send or receive message.");
    }
    reply = replyRecord.xml != nullptr ? replyRecord.xml : "";
    log.Tagged(where.file, where.line, EvDebug::kDebug, 3, "Xml response received [%s].", reply.c_str());
    if (reply.empty()) {
        log.Tagged(where.file, where.line, EvDebug::kError, 0, "Failed to recieve xml response.");
        (void)client.FreeReceivedMessage(kSqlXmlRsp);  // logged there; the exchange failed anyway
        return FXErrorUtil::ErrorJXResult(where, kXmlExchangeFailed, "Failed to recieve xml response.");
    }
    CWzError e = client.FreeReceivedMessage(kSqlXmlRsp);
    if (e.IsError()) return e.Push(where, "Releasing the XML reply");
    return e;
}

}  // namespace

CWzError CSQLClientDll::SendAndReceiveXmlViaXdrProtocol(const std::string& request, std::string& reply) {
    return ExchangeXml(*this, m_event, request, reply, FXCODELOC);
}

CWzError CSQLClientDll::UpdateBackupSetInfoInBulk(const std::string& request, std::string& reply) {
    return ExchangeXml(*this, m_event, request, reply, FXCODELOC);
}

CWzError CSQLClientDll::CheckGenericError(const std::string& reply) {
    SQLPmn::ErrorMessage error;
    std::string text = reply;
    if (GetXmlTagID(text) != error.getTagID()) return CWzError::Success();
    if (int rc = error.unserialize(reply); rc != 0) {
        EV_ERROR(m_event, "Failed to unserialize the request with error [%d].", rc);
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kXmlReplyUnparsable,
                                          "Failed to unserialize the request with error [%d].", rc);
    }
    if (error.getint64(SQLPmn::ErrorMessage::kErrorCode) >= 1) {
        std::string message = error.getstring(SQLPmn::ErrorMessage::kMessage);
        EV_ERROR(m_event, "The central server reported error [%lld] [%s].",
                 static_cast<long long>(error.getint64(SQLPmn::ErrorMessage::kErrorCode)), message.c_str());
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kXmlReplyReportsError, "%s", message.c_str());
    }
    return CWzError::Success();
}
