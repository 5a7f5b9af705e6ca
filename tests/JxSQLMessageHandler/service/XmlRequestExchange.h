// Test helpers for the requests that carry one XML document: send a
// document through a requester and read the one-text reply, and read the
// fields of the reply documents.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>

#include "JxSQLCommon/records/SqlXmlRequestRecords.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "Messages/CNMessageBase.h"
#include "Messages/XMLDecoder.h"
#include "tools/requester/JxsRequester.h"

namespace jxtest {

// Sends `xml` under `code` and returns the reply text; `replyCode` gets the
// code it came under. The reply is waited for up to `timeout` platform
// seconds. A failed exchange fails the test and returns "".
inline std::string ExchangeXml(JxsRequester& requester, unsigned long code, const std::string& xml,
                               unsigned long* replyCode = nullptr, int timeout = 240) {
    SqlRegisterRecordCodecs();  // the requester's end needs the codecs too
    SQLXmlTextRecord_t request;
    request.xml = const_cast<char*>(xml.c_str());
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&request, sizeof request);
    EXPECT_TRUE(requester.Send(code, &out).IsSuccess());
    SQLXmlTextRecord_t reply;
    jxsDatabuf_v2 in;
    in.setExternalBuffer(&reply, sizeof reply);
    unsigned long got = 0;
    CWzError received = requester.Receive(got, &in, timeout);
    EXPECT_TRUE(received.IsSuccess()) << received.AsString();
    if (replyCode != nullptr) *replyCode = got;
    std::string text = reply.xml != nullptr ? reply.xml : "";
    EXPECT_TRUE(CJxNetwork::FreeReceivedMessage(got, &in).IsSuccess());
    return text;
}

// The serialised text of a message.
inline std::string XmlOf(const CNMessageBase& message) {
    std::string text;
    EXPECT_EQ(message.serialize(text), 0);
    return text;
}

// The code and text of an SQLPmn::ErrorMessage reply.
struct ErrorReply {
    int64_t code = -999;
    std::string message;
};

inline ErrorReply ReadErrorReply(const std::string& xml) {
    ErrorReply out;
    std::unique_ptr<CNMessageBase> m = XMLDecoder::decode(xml);
    EXPECT_TRUE(m != nullptr) << "not a message: " << xml;
    if (m == nullptr) return out;
    EXPECT_EQ(m->getModule(), 34);
    EXPECT_EQ(m->getMessage(), 47);
    out.code = m->getint64(2, 5);
    out.message = m->getstring(1, 1);
    return out;
}

}  // namespace jxtest
