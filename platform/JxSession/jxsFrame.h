// The frame of the session protocol and the coding of what frames carry.
//
// Every message on a session is one frame: a fixed 28-byte header (XDR
// encoded: magic, kind, message code, message group, payload length) followed
// by the payload. Record payloads are coded by the codec registered for the
// message code; the layer's own payloads (attach, attach reply, abort status)
// are coded here. Everything from the peer is checked before use: a bad
// magic or kind, a length above the frame's bound (see
// jxsFramePayloadLimit), a malformed or truncated payload, or
// trailing bytes after a record are refused with an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "JxSession/jxsDatabuf_v2.h"
#include "JxSession/jxsTypes.h"
#include "WzUtils/CWzError.h"

enum class jxsFrameKind : uint32_t {
    Xdr = 1,          // a record under a message code (also disconnect and its reply)
    Xml = 2,          // the text of an XML message
    Attach = 3,       // requester -> host: which library and entry to run
    AttachReply = 4,  // host -> requester: 0, or the reason the attach failed
    Abort = 5,        // a jxsStatus; the sender closes the session after it
};

struct jxsFrameHeader {
    jxsFrameKind kind = jxsFrameKind::Xdr;
    uint64_t code = 0;
    uint64_t group = 0;
    uint32_t length = 0;
};

constexpr size_t kJxsFrameHeaderBytes = 28;
constexpr uint32_t kJxsFrameMagic = 0x4a585331;  // "JXS1"
constexpr uint64_t kJxsProtocolVersion = 1;

// The layer's own frames (attach, attach reply, abort, and the session-control
// codes of group 0x09000000) are small: they get a bound of their own, so a
// peer cannot make the other end wait for, or hold, megabytes with them.
constexpr uint32_t kJxsMaxLayerPayloadBytes = 8u * 1024u;
// The largest payload a frame of `kind` under `code` may announce.
uint32_t jxsFramePayloadLimit(jxsFrameKind kind, uint64_t code);

void jxsEncodeFrameHeader(const jxsFrameHeader& header, unsigned char out[kJxsFrameHeaderBytes]);
CWzError jxsDecodeFrameHeader(const unsigned char in[kJxsFrameHeaderBytes], jxsFrameHeader& header);

// Records by the codec of `code`. Encoding a code without a codec gives an
// empty payload when nothing was lent, an error otherwise; decoding a code
// without a codec skips the payload and leaves the buffer alone.
CWzError jxsEncodeRecord(uint64_t code, const jxsDatabuf_v2& buffer, std::string& payload);
CWzError jxsDecodeRecord(uint64_t code, const std::string& payload, jxsDatabuf_v2& buffer);
// Frees what decoding allocated and clears it; harmless on a zeroed record.
CWzError jxsFreeRecord(uint64_t code, jxsDatabuf_v2& buffer);

struct jxsAttachRequest {
    std::string libraryName;
    std::string entryName;
    std::string ownName;
    uint64_t option = 0;
};
std::string jxsEncodeAttachRequest(const jxsAttachRequest& request);
CWzError jxsDecodeAttachRequest(const std::string& payload, jxsAttachRequest& request);

// An attach reply: 0 when the handler runs, else an error code and its text.
std::string jxsEncodeAttachReply(uint32_t code, const std::string& text);
CWzError jxsDecodeAttachReply(const std::string& payload, uint32_t& code, std::string& text);

std::string jxsEncodeStatus(const jxsStatus& status);
CWzError jxsDecodeStatus(const std::string& payload, jxsStatus& status);
