// Test support for the catalogue requests: a host serving the plug-in, a
// simulated instance, and one-call exchanges of request and reply records.
#pragma once

#include <gtest/gtest.h>

#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/CJxNetwork.h"
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"

namespace jxtest {

// A decoded reply record, released when it goes.
template <typename Reply>
struct ReceivedReply {
    Reply record;
    unsigned long code = 0;
    bool received = false;

    ReceivedReply() = default;
    ReceivedReply(const ReceivedReply&) = delete;
    ReceivedReply& operator=(const ReceivedReply&) = delete;
    ~ReceivedReply() {
        if (!received) return;
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(&record, sizeof(record));
        EXPECT_TRUE(CJxNetwork::FreeReceivedMessage(code, &buffer).IsSuccess());
    }
    Reply* operator->() { return &record; }
};

class CatalogueRequestTest : public ServiceHostTest {
protected:
    void SetUp() override {
        ServiceHostTest::SetUp();
        SqlRegisterRecordCodecs();
        AttachPlugin(requester);
    }

    // Sends `request` under `code` and decodes the answer into `reply`.
    template <typename Request, typename Reply>
    void Ask(unsigned long code, Request& request, ReceivedReply<Reply>& reply) {
        jxsDatabuf_v2 out;
        out.setExternalBuffer(&request, sizeof(request));
        ASSERT_TRUE(requester.Send(code, &out).IsSuccess());
        jxsDatabuf_v2 in;
        in.setExternalBuffer(&reply.record, sizeof(reply.record));
        CWzError err = requester.Receive(reply.code, &in);
        ASSERT_TRUE(err.IsSuccess()) << err.AsString();
        reply.received = true;
    }

    JxsRequester requester;
};

// A writable copy of a text for a request field.
inline char* Field(std::string& text) { return text.data(); }

}  // namespace jxtest
