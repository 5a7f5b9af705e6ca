// Frame header and payload coding of the session protocol.
#include "JxSession/jxsFrame.h"

#include <cerrno>
#include <cstring>

#include "JxSession/jxsCodecRegistry.h"
#include "JxSession/jxsXdr.h"
#include "JxSession/jxsXdrAppend.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

// Runs `proc` once in encode mode over a stream that grows as the record is
// written, up to the payload bound.
template <typename Proc>
bool EncodeWith(Proc proc, std::string& out) {
    out.clear();
    XDR xdrs;
    jxsXdrAppendCreate(&xdrs, &out, kJxsMaxPayloadBytes);
    bool ok = proc(&xdrs);
    XDR_DESTROY(&xdrs);
    if (!ok) out.clear();
    return ok;
}

// Decodes `payload` with `proc`; the whole payload must be consumed.
template <typename Proc>
bool DecodeWith(Proc proc, const std::string& payload) {
    XDR xdrs;
    xdrmem_create(&xdrs, const_cast<char*>(payload.data()), static_cast<u_int>(payload.size()), XDR_DECODE);
    bool ok = proc(&xdrs) && xdr_getpos(&xdrs) == payload.size();
    XDR_DESTROY(&xdrs);
    return ok;
}

void FreeWith(jxsRecordProc proc, void* record) {
    XDR xdrs;
    std::memset(&xdrs, 0, sizeof xdrs);
    xdrs.x_op = XDR_FREE;
    proc(&xdrs, record);
}

// Decodes a string of the layer's own payloads into std::string.
bool XdrText(XDR* xdrs, std::string& text, uint32_t maxLength) {
    char* p = xdrs->x_op == XDR_ENCODE ? const_cast<char*>(text.c_str()) : nullptr;
    if (!jxsXdrString(xdrs, &p, maxLength)) {
        if (xdrs->x_op == XDR_DECODE) std::free(p);
        return false;
    }
    if (xdrs->x_op == XDR_DECODE) {
        text = p;
        std::free(p);
    }
    return true;
}

constexpr uint32_t kMaxNameLength = 256;
constexpr uint32_t kMaxReplyText = 4096;

}  // namespace

uint32_t jxsFramePayloadLimit(jxsFrameKind kind, uint64_t code) {
    if (kind == jxsFrameKind::Xdr || kind == jxsFrameKind::Xml) {
        return jxsMessageGroup(code) == jxsMessageGroup(JXS_MSG_DISCONNECT) ? kJxsMaxLayerPayloadBytes
                                                                             : kJxsMaxPayloadBytes;
    }
    return kJxsMaxLayerPayloadBytes;
}

void jxsEncodeFrameHeader(const jxsFrameHeader& header, unsigned char out[kJxsFrameHeaderBytes]) {
    XDR xdrs;
    xdrmem_create(&xdrs, reinterpret_cast<char*>(out), kJxsFrameHeaderBytes, XDR_ENCODE);
    uint32_t magic = kJxsFrameMagic;
    auto kind = static_cast<uint32_t>(header.kind);
    uint64_t code = header.code, group = header.group;
    uint32_t length = header.length;
    xdr_uint32_t(&xdrs, &magic);
    xdr_uint32_t(&xdrs, &kind);
    xdr_uint64_t(&xdrs, &code);
    xdr_uint64_t(&xdrs, &group);
    xdr_uint32_t(&xdrs, &length);
    XDR_DESTROY(&xdrs);
}

CWzError jxsDecodeFrameHeader(const unsigned char in[kJxsFrameHeaderBytes], jxsFrameHeader& header) {
    XDR xdrs;
    xdrmem_create(&xdrs, reinterpret_cast<char*>(const_cast<unsigned char*>(in)), kJxsFrameHeaderBytes, XDR_DECODE);
    uint32_t magic = 0, kind = 0, length = 0;
    uint64_t code = 0, group = 0;
    bool ok = xdr_uint32_t(&xdrs, &magic) && xdr_uint32_t(&xdrs, &kind) && xdr_uint64_t(&xdrs, &code) &&
              xdr_uint64_t(&xdrs, &group) && xdr_uint32_t(&xdrs, &length);
    XDR_DESTROY(&xdrs);
    if (!ok || magic != kJxsFrameMagic) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EPROTO, "Not a session frame (magic 0x%08x).", magic);
    }
    if (kind < static_cast<uint32_t>(jxsFrameKind::Xdr) || kind > static_cast<uint32_t>(jxsFrameKind::Abort)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EPROTO, "Unknown frame kind %u.", kind);
    }
    const uint32_t limit = jxsFramePayloadLimit(static_cast<jxsFrameKind>(kind), code);
    if (length > limit) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EMSGSIZE,
                                       "Frame of kind %u under code 0x%llx announces %u bytes, above its limit of %u.",
                                       kind, static_cast<unsigned long long>(code), length, limit);
    }
    header.kind = static_cast<jxsFrameKind>(kind);
    header.code = code;
    header.group = group;
    header.length = length;
    return CWzError::Success();
}

CWzError jxsEncodeRecord(uint64_t code, const jxsDatabuf_v2& buffer, std::string& payload) {
    payload.clear();
    jxsRecordCodec codec;
    if (!jxsFindRecordCodec(code, codec)) {
        if (buffer.getDataBuffer() == nullptr || buffer.getDataLength() == 0) return CWzError::Success();
        return FXErrorUtil::ErrorErrNo(FXCODELOC, ENOMSG, "No record codec is registered for message code 0x%llx.",
                                       static_cast<unsigned long long>(code));
    }
    if (buffer.getDataBuffer() == nullptr || buffer.getDataLength() < codec.recordSize) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "The send buffer (%lu bytes) does not hold a %s (%zu bytes).",
                                       buffer.getDataLength(), codec.name, codec.recordSize);
    }
    void* record = buffer.getDataBuffer();
    if (!EncodeWith([&](XDR* x) { return codec.proc(x, record); }, payload)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EMSGSIZE, "Failed to encode %s for message code 0x%llx.", codec.name,
                                       static_cast<unsigned long long>(code));
    }
    return CWzError::Success();
}

CWzError jxsDecodeRecord(uint64_t code, const std::string& payload, jxsDatabuf_v2& buffer) {
    jxsRecordCodec codec;
    if (!jxsFindRecordCodec(code, codec)) return CWzError::Success();
    if (buffer.getDataBuffer() == nullptr || buffer.getDataLength() < codec.recordSize) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL,
                                       "The receive buffer (%lu bytes) cannot hold a %s (%zu bytes).",
                                       buffer.getDataLength(), codec.name, codec.recordSize);
    }
    void* record = buffer.getDataBuffer();
    // The decoder allocates only through null pointers: start from zero.
    std::memset(record, 0, codec.recordSize);
    if (!DecodeWith([&](XDR* x) { return codec.proc(x, record); }, payload)) {
        FreeWith(codec.proc, record);
        std::memset(record, 0, codec.recordSize);
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EBADMSG, "Malformed %s (%zu bytes) under message code 0x%llx.",
                                       codec.name, payload.size(), static_cast<unsigned long long>(code));
    }
    return CWzError::Success();
}

CWzError jxsFreeRecord(uint64_t code, jxsDatabuf_v2& buffer) {
    jxsRecordCodec codec;
    if (!jxsFindRecordCodec(code, codec) || buffer.getDataBuffer() == nullptr) return CWzError::Success();
    if (buffer.getDataLength() < codec.recordSize) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "The buffer (%lu bytes) does not hold a %s (%zu bytes).",
                                       buffer.getDataLength(), codec.name, codec.recordSize);
    }
    FreeWith(codec.proc, buffer.getDataBuffer());
    return CWzError::Success();
}

std::string jxsEncodeAttachRequest(const jxsAttachRequest& request) {
    std::string out;
    jxsAttachRequest copy = request;
    EncodeWith(
        [&](XDR* x) {
            return XdrText(x, copy.libraryName, kMaxNameLength) && XdrText(x, copy.entryName, kMaxNameLength) &&
                   XdrText(x, copy.ownName, kMaxNameLength) && xdr_uint64_t(x, &copy.option);
        },
        out);
    return out;
}

CWzError jxsDecodeAttachRequest(const std::string& payload, jxsAttachRequest& request) {
    bool ok = DecodeWith(
        [&](XDR* x) {
            return XdrText(x, request.libraryName, kMaxNameLength) && XdrText(x, request.entryName, kMaxNameLength) &&
                   XdrText(x, request.ownName, kMaxNameLength) && xdr_uint64_t(x, &request.option);
        },
        payload);
    if (!ok) return FXErrorUtil::ErrorErrNo(FXCODELOC, EBADMSG, "Malformed attach request.");
    return CWzError::Success();
}

std::string jxsEncodeAttachReply(uint32_t code, const std::string& text) {
    std::string out;
    std::string copy = text.substr(0, kMaxReplyText);
    EncodeWith([&](XDR* x) { return xdr_uint32_t(x, &code) && XdrText(x, copy, kMaxReplyText); }, out);
    return out;
}

CWzError jxsDecodeAttachReply(const std::string& payload, uint32_t& code, std::string& text) {
    if (!DecodeWith([&](XDR* x) { return xdr_uint32_t(x, &code) && XdrText(x, text, kMaxReplyText); }, payload)) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, EBADMSG, "Malformed attach reply.");
    }
    return CWzError::Success();
}

std::string jxsEncodeStatus(const jxsStatus& status) {
    std::string out;
    jxsStatus copy = status;
    EncodeWith(
        [&](XDR* x) {
            return xdr_uint32_t(x, &copy.statusClass) && xdr_uint64_t(x, &copy.errorCode) &&
                   xdr_uint32_t(x, &copy.severity);
        },
        out);
    return out;
}

CWzError jxsDecodeStatus(const std::string& payload, jxsStatus& status) {
    bool ok = DecodeWith(
        [&](XDR* x) {
            return xdr_uint32_t(x, &status.statusClass) && xdr_uint64_t(x, &status.errorCode) &&
                   xdr_uint32_t(x, &status.severity);
        },
        payload);
    if (!ok) return FXErrorUtil::ErrorErrNo(FXCODELOC, EBADMSG, "Malformed abort status.");
    return CWzError::Success();
}
