// A raw attached connection for hand-written frames.
#include "tests/platform/JxSession/RawSession.h"

#include <unistd.h>

#include "JxSession/jxsFrame.h"
#include "JxSession/jxsSocket.h"

namespace jxtest {

int AttachRawSession(uint16_t port, const std::string& library, const std::string& entry, int timeoutSeconds) {
    int fd = -1;
    if (jxsConnectLoopback(port, jxsDeadline(timeoutSeconds), fd).IsError()) return -1;
    std::string payload = jxsEncodeAttachRequest({library, entry, "raw", 0});
    jxsFrameHeader header;
    header.kind = jxsFrameKind::Attach;
    header.length = static_cast<uint32_t>(payload.size());
    std::string frame(kJxsFrameHeaderBytes, '\0');
    jxsEncodeFrameHeader(header, reinterpret_cast<unsigned char*>(frame.data()));
    frame += payload;
    int err = 0;
    size_t got = 0;
    unsigned char reply[kJxsFrameHeaderBytes];
    if (jxsWriteAll(fd, frame.data(), frame.size(), jxsDeadline(timeoutSeconds), err) != jxsIoStatus::Done ||
        jxsReadExact(fd, reply, sizeof reply, jxsDeadline(timeoutSeconds), got, err) != jxsIoStatus::Done ||
        jxsDecodeFrameHeader(reply, header).IsError() || header.kind != jxsFrameKind::AttachReply) {
        ::close(fd);
        return -1;
    }
    std::string body(header.length, '\0');
    uint32_t code = 1;
    std::string text;
    if (jxsReadExact(fd, body.data(), body.size(), jxsDeadline(timeoutSeconds), got, err) != jxsIoStatus::Done ||
        jxsDecodeAttachReply(body, code, text).IsError() || code != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

}  // namespace jxtest
