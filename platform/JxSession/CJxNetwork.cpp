// Sessions of the network layer over loopback TCP.
#include "JxSession/CJxNetwork.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <memory>

#include "JxLib/EvDebug.h"
#include "JxSession/jxsSocket.h"
#include "JxSession/jxsTargets.h"
#include "Messages/CNMessageBase.h"
#include "Messages/XMLDecoder.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

EvDebug& Log() {
    static EvDebug log("JxSession");
    return log;
}

// How far ahead of the bytes that arrived a payload buffer may grow.
constexpr size_t kPayloadStepBytes = 64 * 1024;
// The read-ahead buffer of a session. A payload that does not fit in it is
// read into its own buffer, which grows in steps as the bytes arrive.
constexpr size_t kInputBufferBytes = 64 * 1024;

// Copies a zero-terminated name out of a fixed descriptor field.
std::string FieldText(const char* field, size_t size) { return std::string(field, strnlen(field, size)); }

void CopyField(char* field, size_t size, const std::string& text) {
    std::memset(field, 0, size);
    std::memcpy(field, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

CJxNetwork::CJxNetwork() = default;

CJxNetwork::CJxNetwork(int acceptedSocket) : m_fd(acceptedSocket) {
    if (m_fd >= 0 && !jxsSetBlocking(m_fd)) Close();
}

CJxNetwork::~CJxNetwork() { Close(); }

void CJxNetwork::Close() {
    if (m_fd >= 0) {
        // shutdown first: the host may hold another descriptor of the socket,
        // and the peer must see the end now.
        ::shutdown(m_fd, SHUT_RDWR);
        ::close(m_fd);
        m_fd = -1;
    }
    m_peeked.reset();
    m_inputBroken = false;
    m_inStart = m_inEnd = 0;
}

CWzError CJxNetwork::Fail(CWzError error, uint64_t code) {
    m_lastErrorCode = code;
    m_lastErrorText = error.GetMessage();
    EV_DEBUG(Log(), 2, "Session error [%" PRIu64 "]: %s", code, m_lastErrorText.c_str());
    return error;
}

CWzError CJxNetwork::NotConnected(const FXCodeLocation& where) {
    return Fail(FXErrorUtil::ErrorErrNo(where, ENOTCONN, "The session is not connected."), ENOTCONN);
}

CWzError CJxNetwork::SendFrame(jxsFrameKind kind, uint64_t code, const std::string& payload, int timeout, bool& flag) {
    if (!IsConnected()) return NotConnected(FXCODELOC);
    if (payload.size() > kJxsMaxPayloadBytes) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EMSGSIZE, "Message of %zu bytes is above the limit of %u.",
                                            payload.size(), kJxsMaxPayloadBytes),
                    EMSGSIZE);
    }
    jxsFrameHeader header;
    header.kind = kind;
    header.code = code;
    header.group = jxsMessageGroup(code);
    header.length = static_cast<uint32_t>(payload.size());
    unsigned char bytes[kJxsFrameHeaderBytes];
    jxsEncodeFrameHeader(header, bytes);
    int err = 0;
    switch (jxsWriteAll2(m_fd, bytes, sizeof bytes, payload.data(), payload.size(), Deadline(timeout), err, &m_wait)) {
    case jxsIoStatus::Done:
        return CWzError::Success();
    case jxsIoStatus::TimedOut:
        // Part of a frame may be out: the stream cannot be resumed.
        Close();
        flag = true;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, ETIMEDOUT, "Send timed out after %d seconds.", timeout),
                    ETIMEDOUT);
    case jxsIoStatus::Closed:
        Close();
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, ECONNRESET, "The peer closed the session."), ECONNRESET);
    case jxsIoStatus::Failed:
        break;
    }
    Close();
    return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, err, "Send failed: %s.", std::strerror(err)),
                static_cast<uint64_t>(err));
}

jxsIoStatus CJxNetwork::FillInput(int64_t deadline, int& err) {
    if (!m_in) m_in = std::make_unique_for_overwrite<char[]>(kInputBufferBytes);
    if (m_inStart == m_inEnd) {
        m_inStart = m_inEnd = 0;
    } else if (m_inEnd == kInputBufferBytes) {
        std::memmove(m_in.get(), m_in.get() + m_inStart, Buffered());
        m_inEnd = Buffered();
        m_inStart = 0;
    }
    size_t got = 0;
    jxsIoStatus status =
        jxsReadSome(m_fd, m_in.get() + m_inEnd, kInputBufferBytes - m_inEnd, deadline, got, err, &m_wait);
    if (status == jxsIoStatus::Done) m_inEnd += got;
    return status;
}

CWzError CJxNetwork::ReadHeader(jxsFrameHeader& header, int64_t deadline, bool& flag) {
    if (m_peeked) {
        header = *m_peeked;
        m_peeked.reset();
        return CWzError::Success();
    }
    if (!IsConnected()) return NotConnected(FXCODELOC);
    if (m_inputBroken) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EPROTO, "The session can no longer be read."), EPROTO);
    }
    int err = 0;
    jxsIoStatus status = jxsIoStatus::Done;
    while (Buffered() < kJxsFrameHeaderBytes && status == jxsIoStatus::Done) status = FillInput(deadline, err);
    switch (status) {
    case jxsIoStatus::Done: {
        CWzError e = jxsDecodeFrameHeader(reinterpret_cast<const unsigned char*>(m_in.get() + m_inStart), header);
        if (e.IsError()) {
            m_inputBroken = true;
            return Fail(e, static_cast<uint64_t>(FXErrorUtil::GetErrNo(e)));
        }
        m_inStart += kJxsFrameHeaderBytes;
        return CWzError::Success();
    }
    case jxsIoStatus::TimedOut:
        flag = true;
        // Inside a frame the stream cannot be resumed.
        if (Buffered() > 0) m_inputBroken = true;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, ETIMEDOUT, "No message arrived within the time-out."),
                    ETIMEDOUT);
    case jxsIoStatus::Closed:
        m_inputBroken = true;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, ECONNRESET, "The peer closed the session."), ECONNRESET);
    case jxsIoStatus::Failed:
        break;
    }
    m_inputBroken = true;
    return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, err, "Receive failed: %s.", std::strerror(err)),
                static_cast<uint64_t>(err));
}

CWzError CJxNetwork::ReadPayload(const jxsFrameHeader& header, std::string& payload, int64_t deadline, bool& flag) {
    // The buffer grows with what has arrived, never ahead of it by more than
    // one step: a header alone must not reserve the memory it announces.
    // What was read ahead comes first; a rest that fits in the input buffer
    // is read through it (with whatever follows it), a larger one directly.
    const size_t length = header.length;
    size_t take = std::min(Buffered(), length);
    payload.clear();
    if (take > 0) payload.assign(m_in.get() + m_inStart, take);
    m_inStart += take;
    size_t got = payload.size();
    int err = 0;
    jxsIoStatus status = jxsIoStatus::Done;
    if (length - payload.size() <= kInputBufferBytes) {
        while (payload.size() < length) {
            status = FillInput(deadline, err);
            if (status != jxsIoStatus::Done) {
                got = payload.size() + Buffered();
                break;
            }
            take = std::min(Buffered(), length - payload.size());
            payload.append(m_in.get() + m_inStart, take);
            m_inStart += take;
        }
    } else {
        while (payload.size() < length) {
            const size_t have = payload.size();
            const size_t step = std::min<size_t>(length - have, kPayloadStepBytes);
            payload.resize(have + step);
            size_t part = 0;
            status = jxsReadExact(m_fd, payload.data() + have, step, deadline, part, err, &m_wait);
            got = have + part;
            if (status != jxsIoStatus::Done) break;
        }
    }
    if (status == jxsIoStatus::Done) return CWzError::Success();
    payload.clear();
    payload.shrink_to_fit();
    m_inputBroken = true;
    if (status == jxsIoStatus::TimedOut) {
        flag = true;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, ETIMEDOUT, "A message stopped after %zu of %u bytes.", got,
                                            header.length),
                    ETIMEDOUT);
    }
    if (status == jxsIoStatus::Closed) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, ECONNRESET, "The peer closed the session inside a message."),
                    ECONNRESET);
    }
    return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, err, "Receive failed: %s.", std::strerror(err)),
                static_cast<uint64_t>(err));
}

int64_t CJxNetwork::Deadline(int timeout) const {
    return m_peerIsHelper ? jxsHelperDeadline(timeout) : jxsDeadline(timeout);
}

CWzError CJxNetwork::ReadFrame(jxsFrameHeader& header, std::string& payload, int timeout, bool& flag) {
    int64_t deadline = Deadline(timeout);
    CWzError e = ReadHeader(header, deadline, flag);
    if (e.IsError()) return e;
    return ReadPayload(header, payload, deadline, flag);
}

CWzError CJxNetwork::PeerAborted(const std::string& payload) {
    jxsStatus status;
    CWzError e = jxsDecodeStatus(payload, status);
    Close();
    if (e.IsError()) return Fail(e, EBADMSG);
    m_peerAbort = status;
    return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, ECONNABORTED,
                                        "The peer aborted the session with status {%u, 0x%" PRIx64 ", %u}.",
                                        status.statusClass, status.errorCode, status.severity),
                status.errorCode);
}

CWzError CJxNetwork::Attach_RemoteDLL(const std::string& target, const jxsExecuteRemoteDllType* descriptor,
                                      const char* ownName, int timeout, bool& flag) {
    flag = false;
    if (descriptor == nullptr) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "No attach descriptor."), EINVAL);
    }
    Close();
    int64_t deadline = Deadline(timeout);
    uint16_t port = 0;
    CWzError e = jxsResolveTarget(target, port);
    if (e.IsError()) return Fail(e, static_cast<uint64_t>(FXErrorUtil::GetErrNo(e)));
    int fd = -1;
    e = jxsConnectLoopback(port, deadline, fd);
    if (e.IsError()) {
        flag = FXErrorUtil::GetErrNo(e) == ETIMEDOUT;
        return Fail(e, static_cast<uint64_t>(FXErrorUtil::GetErrNo(e)));
    }
    if (!jxsSetBlocking(fd)) {
        const int err = errno;
        ::close(fd);
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, err, "Cannot make the session's socket blocking."),
                    static_cast<uint64_t>(err));
    }
    m_fd = fd;
    m_wait = jxsBlockingWait();
    m_peerAbort.reset();

    jxsAttachRequest request;
    request.libraryName = FieldText(descriptor->libraryName, sizeof descriptor->libraryName);
    request.entryName = FieldText(descriptor->entryName, sizeof descriptor->entryName);
    request.ownName = ownName != nullptr ? FieldText(ownName, 256) : "";
    request.option = descriptor->option;
    e = SendFrame(jxsFrameKind::Attach, 0, jxsEncodeAttachRequest(request), timeout, flag);
    if (e.IsError()) return e;

    jxsFrameHeader header;
    std::string payload;
    e = ReadFrame(header, payload, timeout, flag);
    if (e.IsError()) {
        Close();
        return e;
    }
    if (header.kind == jxsFrameKind::Abort) {
        e = PeerAborted(payload);
        if (m_peerAbort && m_peerAbort->errorCode == EBUSY) {
            return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EBUSY,
                                                "The host of [%s] refused the session: it serves as many sessions as "
                                                "it can; try again later.",
                                                target.c_str()),
                        EBUSY);
        }
        return e;
    }
    uint32_t code = 0;
    std::string text;
    if (header.kind != jxsFrameKind::AttachReply) {
        Close();
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EPROTO, "The host did not answer the attach request."), EPROTO);
    }
    e = jxsDecodeAttachReply(payload, code, text);
    if (e.IsError()) {
        Close();
        return Fail(e, EBADMSG);
    }
    if (code != 0) {
        Close();
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, static_cast<int>(code), "Attach to [%s] %s/%s refused: %s",
                                            target.c_str(), request.libraryName.c_str(), request.entryName.c_str(),
                                            text.c_str()),
                    code);
    }
    return CWzError::Success();
}

CWzError CJxNetwork::SendXDRMessage(unsigned long code, jxsDatabuf_v2* buffer, int /*flags*/, int timeout, bool& flag) {
    flag = false;
    std::string payload;
    if (buffer != nullptr) {
        CWzError e = jxsEncodeRecord(code, *buffer, payload);
        if (e.IsError()) return Fail(e, static_cast<uint64_t>(FXErrorUtil::GetErrNo(e)));
    }
    return SendFrame(jxsFrameKind::Xdr, code, payload, timeout, flag);
}

CWzError CJxNetwork::ReceiveDataFrame(jxsFrameKind expected, unsigned long* code, jxsHostProtocolHeader* header,
                                      std::string& payload, int timeout, bool& flag) {
    flag = false;
    jxsFrameHeader frame;
    CWzError e = ReadFrame(frame, payload, timeout, flag);
    if (e.IsError()) return e;
    if (frame.kind == jxsFrameKind::Abort) return PeerAborted(payload);
    if (frame.kind != expected) {
        // A record where XML was expected (or the reverse) leaves the stream
        // in step; attach frames never follow the attach.
        if (frame.kind != jxsFrameKind::Xml && frame.kind != jxsFrameKind::Xdr) m_inputBroken = true;
        return Fail(FXErrorUtil::ErrorErrNo(
                        FXCODELOC, EPROTO, "Expected a frame of kind %u, received kind %u under code 0x%" PRIx64 ".",
                        static_cast<unsigned>(expected), static_cast<unsigned>(frame.kind), frame.code),
                    EPROTO);
    }
    if (code != nullptr) *code = frame.code;
    if (header != nullptr) {
        *header = jxsHostProtocolHeader{kJxsProtocolVersion, frame.code, frame.group, frame.length};
    }
    return CWzError::Success();
}

CWzError CJxNetwork::ReceiveXDRMessage(unsigned long* code, jxsDatabuf_v2* buffer, jxsHostProtocolHeader* header,
                                       int /*flags*/, int timeout, bool& flag) {
    unsigned long received = 0;
    std::string payload;
    CWzError e = ReceiveDataFrame(jxsFrameKind::Xdr, &received, header, payload, timeout, flag);
    if (e.IsError()) return e;
    if (code != nullptr) *code = received;
    if (buffer != nullptr) {
        e = jxsDecodeRecord(received, payload, *buffer);
        if (e.IsError()) {
            // A malformed record leaves the stream in step, but nothing good
            // can be expected of a peer that sends one: read no further.
            m_inputBroken = true;
            return Fail(e, static_cast<uint64_t>(FXErrorUtil::GetErrNo(e)));
        }
    }
    return CWzError::Success();
}

CWzError CJxNetwork::FreeReceivedMessage(unsigned long code, jxsDatabuf_v2* buffer) {
    if (buffer == nullptr) return CWzError::Success();
    return jxsFreeRecord(code, *buffer);
}

CWzError CJxNetwork::SendXMLMessage(const std::string& xml, int /*flags*/, int timeout, bool& flag,
                                    unsigned long code) {
    flag = false;
    return SendFrame(jxsFrameKind::Xml, code, xml, timeout, flag);
}

CWzError CJxNetwork::ReceiveXMLMessage(unsigned long* code, std::string& xml, jxsHostProtocolHeader* header,
                                       int /*flags*/, int timeout, bool& flag) {
    std::string payload;
    CWzError e = ReceiveDataFrame(jxsFrameKind::Xml, code, header, payload, timeout, flag);
    if (e.IsSuccess()) xml = std::move(payload);
    return e;
}

CWzError CJxNetwork::SendXMLMessage(const CNMessageBase& message, int flags, int timeout, bool& flag) {
    flag = false;
    std::string xml;
    int rc = message.serialize(xml);
    if (rc != kMsgOk) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EMSGSIZE, "Cannot serialise message (%d, %d): result %d.",
                                            message.getModule(), message.getMessage(), rc),
                    EMSGSIZE);
    }
    return SendXMLMessage(xml, flags, timeout, flag, message.getTagID());
}

CWzError CJxNetwork::SendXMLMessage(const CNMessageBase* message, int flags, int timeout, bool& flag) {
    if (message == nullptr) {
        flag = false;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "No message to send."), EINVAL);
    }
    return SendXMLMessage(*message, flags, timeout, flag);
}

CWzError CJxNetwork::ReceiveXMLMessage(unsigned long* code, CNMessageBase*& message, jxsHostProtocolHeader* header,
                                       int flags, int timeout, bool& flag) {
    message = nullptr;
    std::string xml;
    CWzError e = ReceiveXMLMessage(code, xml, header, flags, timeout, flag);
    if (e.IsError()) return e;
    CWzError why;
    std::unique_ptr<CNMessageBase> decoded = XMLDecoder::decode(xml, &why);
    if (!decoded) {
        m_inputBroken = true;  // as with a malformed record
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EBADMSG, "Malformed XML message (%zu bytes): %s", xml.size(),
                                            why.GetMessage().c_str()),
                    EBADMSG);
    }
    message = decoded.release();
    return CWzError::Success();
}

CWzError CJxNetwork::PeekDataFormat(jxsDataFormat& format, int timeout, bool& flag) {
    flag = false;
    format = JXS_DATA_FORMAT_NONE;
    jxsFrameHeader header;
    CWzError e = ReadHeader(header, Deadline(timeout), flag);
    if (e.IsError()) return e;
    if (header.kind == jxsFrameKind::Abort) {
        std::string payload;
        e = ReadPayload(header, payload, Deadline(timeout), flag);
        if (e.IsError()) return e;
        return PeerAborted(payload);
    }
    m_peeked = header;
    format = header.kind == jxsFrameKind::Xml ? JXS_DATA_FORMAT_XML : JXS_DATA_FORMAT_XDR;
    return CWzError::Success();
}

CWzError CJxNetwork::ReplyDisconnect(int timeout, bool& flag) {
    flag = false;
    CWzError e = SendFrame(jxsFrameKind::Xdr, JXS_MSG_DISCONNECT_REPLY, "", timeout, flag);
    Close();
    return e;
}

CWzError CJxNetwork::AbortConnection(jxsStatus& status, int timeout, bool& flag) {
    flag = false;
    CWzError e = SendFrame(jxsFrameKind::Abort, JXS_MSG_ABORT, jxsEncodeStatus(status), timeout, flag);
    Close();
    return e;
}

CWzError CJxNetwork::Disconnect(int timeout, bool& flag) {
    flag = false;
    if (!IsConnected()) return CWzError::Success();
    int64_t deadline = Deadline(timeout);
    CWzError e = SendFrame(jxsFrameKind::Xdr, JXS_MSG_DISCONNECT, "", timeout, flag);
    // Messages still in flight before the reply are dropped.
    while (e.IsSuccess()) {
        jxsFrameHeader header;
        std::string payload;
        e = ReadHeader(header, deadline, flag);
        if (e.IsSuccess()) e = ReadPayload(header, payload, deadline, flag);
        if (e.IsError()) break;
        if (header.kind == jxsFrameKind::Abort) {
            e = PeerAborted(payload);
            break;
        }
        if (header.kind == jxsFrameKind::Xdr && header.code == JXS_MSG_DISCONNECT_REPLY) break;
    }
    Close();
    return e;
}

CWzError CJxNetwork::GetLastErrorGenericText(unsigned long* code, std::string& text, unsigned long /*flags*/) {
    if (code != nullptr) *code = m_lastErrorCode;
    text = m_lastErrorText;
    return CWzError::Success();
}

CWzError CJxNetwork::ReadAttachRequest(jxsExecuteRemoteDllType& descriptor, std::string& ownName, int timeout) {
    bool flag = false;
    int64_t deadline = Deadline(timeout);
    jxsFrameHeader header;
    CWzError e = ReadHeader(header, deadline, flag);
    if (e.IsError()) return e;
    // Anything else is refused before its payload is read.
    if (header.kind != jxsFrameKind::Attach) {
        Close();
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EPROTO, "A session must open with an attach request."), EPROTO);
    }
    std::string payload;
    e = ReadPayload(header, payload, deadline, flag);
    if (e.IsError()) return e;
    jxsAttachRequest request;
    e = jxsDecodeAttachRequest(payload, request);
    if (e.IsError()) {
        Close();
        return Fail(e, EBADMSG);
    }
    descriptor = jxsExecuteRemoteDllType{};
    CopyField(descriptor.libraryName, sizeof descriptor.libraryName, request.libraryName);
    CopyField(descriptor.entryName, sizeof descriptor.entryName, request.entryName);
    descriptor.option = request.option;
    ownName = request.ownName;
    return CWzError::Success();
}

CWzError CJxNetwork::ReplyAttach(uint32_t code, const std::string& text, int timeout) {
    bool flag = false;
    return SendFrame(jxsFrameKind::AttachReply, 0, jxsEncodeAttachReply(code, text), timeout, flag);
}
