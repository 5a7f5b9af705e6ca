// Reply documents of the XML requests.
#include "JxSQLMessageHandler/service/SqlXmlResponse.h"

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/JXGuiMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "WzUtils/WzFormat.h"

namespace {

// `text` as the value of a double-quoted XML attribute. Control characters
// that XML 1.0 cannot carry at all become "?"; line breaks and tabs become
// character references so that an attribute keeps them.
std::string EscapeAttribute(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default:
            out += static_cast<unsigned char>(c) < 0x20 ? '?' : c;
        }
    }
    return out;
}

}  // namespace

std::string SqlXmlFallbackDocument(const char* element, const char* codeAttribute, long long code,
                                   const char* textAttribute, const std::string& text) {
    return wz::Format("<%s %s=\"%lld\" %s=\"%s\" > </%s>", element, codeAttribute, code, textAttribute,
                      EscapeAttribute(text).c_str(), element);
}

int SqlSerializeReply(const CNMessageBase& message, std::string& out) {
    int rc = message.serialize(out);
    if (rc != kMsgOk) {
        EvDebug log;
        EV_WARN(log, "Failed to serialize xml string with error [%d]. Falling back to traditional way of formatting string,",
                rc);
        out.clear();
    }
    return rc;
}

std::string getResponseMessage(int errorCode, const std::string& message) {
    SQLPmn::ErrorMessage reply;
    reply.setint64(SQLPmn::ErrorMessage::kErrorCode, errorCode);
    reply.setstring(SQLPmn::ErrorMessage::kMessage, message);
    std::string text;
    if (SqlSerializeReply(reply, text) != kMsgOk) {
        text = SqlXmlFallbackDocument("SQLPmn_ErrorMessage", "errorCode", errorCode, "message", message);
    }
    return text;
}

std::string getGenericResponseMessage(int errorCode, const std::string& message) {
    JXGui::GenericResp reply;
    reply.setint64(JXGui::GenericResp::kErrorCode, errorCode);
    reply.setstring(JXGui::GenericResp::kErrorText, message);
    std::string text;
    // An empty text would read as success: fall back to a document that
    // still carries the code.
    if (SqlSerializeReply(reply, text) != kMsgOk) {
        text = SqlXmlFallbackDocument("JXGui_GenericResp", "errorCode", errorCode, "errorText", message);
    }
    return text;
}
