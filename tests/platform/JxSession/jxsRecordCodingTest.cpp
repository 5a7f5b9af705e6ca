// Record and frame coding: round trips, release rules, and refusal of
// malformed input from a peer.
#include <gtest/gtest.h>
#include <rpc/xdr.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsFrame.h"
#include "JxSession/jxsXdr.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/platform/JxSession/EchoRecord.h"

namespace {

// Hand-built XDR payloads, so tests can lie about counts and lengths.
struct Wire {
    std::string bytes;
    Wire& U32(uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<char>((v >> shift) & 0xff));
        return *this;
    }
    Wire& U64(uint64_t v) { return U32(static_cast<uint32_t>(v >> 32)).U32(static_cast<uint32_t>(v)); }
    Wire& Text(const std::string& s) {
        U32(static_cast<uint32_t>(s.size()));
        bytes += s;
        bytes.append((4 - s.size() % 4) % 4, '\0');
        return *this;
    }
};

class RecordCoding : public ::testing::Test {
protected:
    void SetUp() override { RegisterEchoRecord(); }

    CWzError Decode(const std::string& payload) {
        std::memset(&record, 0xab, sizeof record);  // the layer must not trust old contents
        buffer.setExternalBuffer(&record, sizeof record);
        return jxsDecodeRecord(kEchoRequestCode, payload, buffer);
    }

    EchoRecord_t record;
    jxsDatabuf_v2 buffer;
};

TEST_F(RecordCoding, RoundTripsStringsAndArrays) {
    uint64_t values[] = {1, 0xffffffffffffULL, 7};
    char text[] = "hello";
    EchoRecord_t sent{42, text, 3, values};
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&sent, sizeof sent);
    std::string payload;
    ASSERT_TRUE(jxsEncodeRecord(kEchoRequestCode, out, payload).IsSuccess());

    ASSERT_TRUE(Decode(payload).IsSuccess());
    EXPECT_EQ(record.number, 42u);
    EXPECT_STREQ(record.text, "hello");
    ASSERT_EQ(record.count, 3u);
    EXPECT_EQ(record.values[1], 0xffffffffffffULL);
    EXPECT_TRUE(jxsFreeRecord(kEchoRequestCode, buffer).IsSuccess());
}

// A record of one long text, for sizes the echo record's bounds refuse.
struct LongText_t {
    char* text;
};
bool xdr_LongText_t(XDR* xdrs, LongText_t* record) { return jxsXdrString(xdrs, &record->text, 1u << 30); }
constexpr unsigned long kLongTextCode = 0x1e0001f0;

TEST(LargeRecords, EncodeWholeOrNotAtAll) {
    jxsRegisterRecord<LongText_t, xdr_LongText_t>(kLongTextCode, "LongText_t");
    // Far above any first guess of a buffer size, and not a multiple of four.
    std::string big(40003, 'x');
    big[0] = 'a';
    big.back() = 'z';
    LongText_t sent{big.data()}, received{};
    jxsDatabuf_v2 out, in;
    out.setExternalBuffer(&sent, sizeof sent);
    in.setExternalBuffer(&received, sizeof received);
    std::string payload;
    ASSERT_TRUE(jxsEncodeRecord(kLongTextCode, out, payload).IsSuccess());
    EXPECT_EQ(payload.size(), 4u + 40004u);
    ASSERT_TRUE(jxsDecodeRecord(kLongTextCode, payload, in).IsSuccess());
    EXPECT_EQ(std::string(received.text), big);
    EXPECT_TRUE(jxsFreeRecord(kLongTextCode, in).IsSuccess());

    // A record above the payload bound is refused and leaves no partial payload.
    std::string huge(kJxsMaxPayloadBytes, 'y');
    sent.text = huge.data();
    CWzError e = jxsEncodeRecord(kLongTextCode, out, payload);
    EXPECT_EQ(FXErrorUtil::GetErrNo(e), EMSGSIZE);
    EXPECT_TRUE(payload.empty());
}

TEST_F(RecordCoding, NullStringAndEmptyArraySendAsEmpty) {
    EchoRecord_t sent{1, nullptr, 0, nullptr};
    jxsDatabuf_v2 out;
    out.setExternalBuffer(&sent, sizeof sent);
    std::string payload;
    ASSERT_TRUE(jxsEncodeRecord(kEchoRequestCode, out, payload).IsSuccess());
    ASSERT_TRUE(Decode(payload).IsSuccess());
    EXPECT_STREQ(record.text, "");
    EXPECT_EQ(record.count, 0u);
    EXPECT_EQ(record.values, nullptr);
    jxsFreeRecord(kEchoRequestCode, buffer);
}

TEST_F(RecordCoding, ReleaseClearsPointersSoASecondReleaseDoesNothing) {
    ASSERT_TRUE(Decode(Wire().U32(5).Text("abc").U32(1).U64(9).bytes).IsSuccess());
    ASSERT_TRUE(jxsFreeRecord(kEchoRequestCode, buffer).IsSuccess());
    EXPECT_EQ(record.text, nullptr);
    EXPECT_EQ(record.values, nullptr);
    EXPECT_EQ(record.count, 0u);
    EXPECT_TRUE(jxsFreeRecord(kEchoRequestCode, buffer).IsSuccess());

    // A record that never received anything (zero-filled) releases harmlessly.
    EchoRecord_t never{};
    jxsDatabuf_v2 untouched;
    untouched.setExternalBuffer(&never, sizeof never);
    EXPECT_TRUE(jxsFreeRecord(kEchoRequestCode, untouched).IsSuccess());
}

TEST_F(RecordCoding, RefusesMalformedRecordsAndLeavesNothingAllocated) {
    struct Case {
        const char* what;
        std::string payload;
    };
    const Case cases[] = {
        {"empty", ""},
        {"truncated inside the string", Wire().U32(1).U32(10).bytes + "abc"},
        {"string length beyond the bound", Wire().U32(1).U32(5000).bytes + std::string(5000, 'x')},
        {"string length beyond the message", Wire().U32(1).U32(0xfffffff0u).bytes},
        {"count beyond the bound", Wire().U32(1).Text("a").U32(17).bytes + std::string(17 * 8, '\0')},
        {"huge count", Wire().U32(1).Text("a").U32(0xffffffffu).bytes},
        {"count beyond the message", Wire().U32(1).Text("a").U32(4).U64(1).bytes},
        {"trailing bytes", Wire().U32(1).Text("a").U32(0).U32(0).bytes},
    };
    for (const Case& c : cases) {
        CWzError e = Decode(c.payload);
        ASSERT_TRUE(e.IsError()) << c.what;
        EXPECT_EQ(FXErrorUtil::GetErrNo(e), EBADMSG) << c.what;
        // The failed decode released its partial allocations and zeroed the record.
        EXPECT_EQ(record.text, nullptr) << c.what;
        EXPECT_EQ(record.values, nullptr) << c.what;
    }
}

TEST_F(RecordCoding, RefusesABufferTooSmallForTheRecord) {
    char small[4];
    jxsDatabuf_v2 tiny;
    tiny.setExternalBuffer(small, sizeof small);
    EXPECT_EQ(FXErrorUtil::GetErrNo(jxsDecodeRecord(kEchoRequestCode, Wire().U32(1).Text("").U32(0).bytes, tiny)),
              EINVAL);
    std::string payload;
    EXPECT_EQ(FXErrorUtil::GetErrNo(jxsEncodeRecord(kEchoRequestCode, tiny, payload)), EINVAL);
}

TEST(UncodedMessages, CarryNoPayload) {
    const unsigned long code = 0x1e000095;  // no codec registered
    jxsDatabuf_v2 empty;
    std::string payload = "x";
    ASSERT_TRUE(jxsEncodeRecord(code, empty, payload).IsSuccess());
    EXPECT_TRUE(payload.empty());

    // A lent record cannot be sent without a codec.
    char record[8] = {};
    jxsDatabuf_v2 lent;
    lent.setExternalBuffer(record, sizeof record);
    EXPECT_EQ(FXErrorUtil::GetErrNo(jxsEncodeRecord(code, lent, payload)), ENOMSG);

    // A payload under such a code is skipped; the buffer is left alone.
    std::memset(record, 0x5a, sizeof record);
    EXPECT_TRUE(jxsDecodeRecord(code, "abcd", lent).IsSuccess());
    EXPECT_EQ(record[0], 0x5a);
}

TEST(FrameHeader, RoundTripsAndRefusesForeignOrOversizedFrames) {
    jxsFrameHeader header;
    header.kind = jxsFrameKind::Abort;
    header.code = 0x9000203;
    header.group = 0x9000000;
    header.length = 16;
    unsigned char bytes[kJxsFrameHeaderBytes];
    jxsEncodeFrameHeader(header, bytes);
    jxsFrameHeader back;
    ASSERT_TRUE(jxsDecodeFrameHeader(bytes, back).IsSuccess());
    EXPECT_EQ(back.kind, jxsFrameKind::Abort);
    EXPECT_EQ(back.code, 0x9000203u);
    EXPECT_EQ(back.group, 0x9000000u);
    EXPECT_EQ(back.length, 16u);

    unsigned char bad[kJxsFrameHeaderBytes];
    std::memcpy(bad, bytes, sizeof bad);
    bad[0] ^= 0xff;
    EXPECT_EQ(FXErrorUtil::GetErrNo(jxsDecodeFrameHeader(bad, back)), EPROTO);

    header.kind = static_cast<jxsFrameKind>(99);
    jxsEncodeFrameHeader(header, bad);
    EXPECT_EQ(FXErrorUtil::GetErrNo(jxsDecodeFrameHeader(bad, back)), EPROTO);

    header.kind = jxsFrameKind::Xdr;
    header.length = kJxsMaxPayloadBytes + 1;
    jxsEncodeFrameHeader(header, bad);
    EXPECT_EQ(FXErrorUtil::GetErrNo(jxsDecodeFrameHeader(bad, back)), EMSGSIZE);
}

TEST(FrameHeader, TheLayersOwnFramesHaveASmallBound) {
    auto decode = [](jxsFrameKind kind, uint64_t code, uint32_t length) {
        jxsFrameHeader header;
        header.kind = kind;
        header.code = code;
        header.length = length;
        unsigned char bytes[kJxsFrameHeaderBytes];
        jxsEncodeFrameHeader(header, bytes);
        jxsFrameHeader back;
        return FXErrorUtil::GetErrNo(jxsDecodeFrameHeader(bytes, back));
    };
    for (jxsFrameKind kind : {jxsFrameKind::Attach, jxsFrameKind::AttachReply, jxsFrameKind::Abort}) {
        EXPECT_EQ(decode(kind, 0, kJxsMaxLayerPayloadBytes), 0);
        EXPECT_EQ(decode(kind, 0, kJxsMaxLayerPayloadBytes + 1), EMSGSIZE);
    }
    EXPECT_EQ(decode(jxsFrameKind::Xdr, JXS_MSG_DISCONNECT, kJxsMaxLayerPayloadBytes + 1), EMSGSIZE);
    EXPECT_EQ(decode(jxsFrameKind::Xdr, kEchoRequestCode, kJxsMaxPayloadBytes), 0);
    EXPECT_EQ(decode(jxsFrameKind::Xml, 0x4000001, kJxsMaxPayloadBytes), 0);
}

TEST(LayerPayloads, AttachRequestReplyAndStatusRoundTrip) {
    jxsAttachRequest request{"sLNSQLClient61", "sLPSQLMSG", "clientA", 999900};
    jxsAttachRequest back;
    ASSERT_TRUE(jxsDecodeAttachRequest(jxsEncodeAttachRequest(request), back).IsSuccess());
    EXPECT_EQ(back.libraryName, "sLNSQLClient61");
    EXPECT_EQ(back.entryName, "sLPSQLMSG");
    EXPECT_EQ(back.ownName, "clientA");
    EXPECT_EQ(back.option, 999900u);

    uint32_t code = 0;
    std::string text;
    ASSERT_TRUE(jxsDecodeAttachReply(jxsEncodeAttachReply(2, "no such entry"), code, text).IsSuccess());
    EXPECT_EQ(code, 2u);
    EXPECT_EQ(text, "no such entry");

    jxsStatus status{2, 0x900001d, 2}, got;
    ASSERT_TRUE(jxsDecodeStatus(jxsEncodeStatus(status), got).IsSuccess());
    EXPECT_EQ(got.errorCode, 0x900001du);

    EXPECT_TRUE(jxsDecodeStatus("abc", got).IsError());
    // A library name longer than the descriptor field is refused.
    EXPECT_TRUE(jxsDecodeAttachRequest(Wire().Text(std::string(300, 'a')).Text("e").Text("").U64(0).bytes, back)
                    .IsError());
}

}  // namespace
