// In-process host fixture for the request-loop tests.
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "JxSession/jxsFrame.h"
#include "JxSession/jxsSocket.h"
#include "JxSession/jxsTargets.h"
#include "WzUtils/WzClock.h"
#include "tests/platform/JxSession/EchoRecord.h"
#include "tools/host/HostBindings.h"

namespace jxtest {

void ServiceHostTest::SetUp() {
    RegisterEchoRecord();
    ASSERT_TRUE(host.Start(0).IsSuccess());
    ASSERT_TRUE(jxsRegisterTarget("client1", host.Port()));
    ASSERT_TRUE(SetHostBinding("sLNSQLClient61", "sLPSQLMSG", {JX_SQL_LIBRARY, "sqlMessageHandler"}));
    ASSERT_TRUE(SetHostBinding("sLNECHO", "sLPECHO", {JX_ECHO_PLUGIN, "echoMessageHandler"}));
}

void ServiceHostTest::AttachPlugin(JxsRequester& requester) {
    ASSERT_TRUE(requester.Attach("client1", "sLNSQLClient61", "sLPSQLMSG").IsSuccess());
}

void ServiceHostTest::AttachEcho(JxsRequester& requester) {
    ASSERT_TRUE(requester.Attach("client1", "sLNECHO", "sLPECHO").IsSuccess());
}

int ServiceHostTest::RawAttachedSocket() {
    int fd = -1;
    if (jxsConnectLoopback(host.Port(), jxsDeadline(100), fd).IsError()) return -1;
    std::string payload = jxsEncodeAttachRequest({"sLNSQLClient61", "sLPSQLMSG", "raw", 0});
    jxsFrameHeader header;
    header.kind = jxsFrameKind::Attach;
    header.length = static_cast<uint32_t>(payload.size());
    std::string frame(kJxsFrameHeaderBytes, '\0');
    jxsEncodeFrameHeader(header, reinterpret_cast<unsigned char*>(frame.data()));
    frame += payload;
    int err = 0;
    size_t got = 0;
    unsigned char reply[kJxsFrameHeaderBytes];
    if (jxsWriteAll(fd, frame.data(), frame.size(), jxsDeadline(100), err) != jxsIoStatus::Done ||
        jxsReadExact(fd, reply, sizeof reply, jxsDeadline(100), got, err) != jxsIoStatus::Done ||
        jxsDecodeFrameHeader(reply, header).IsError() || header.kind != jxsFrameKind::AttachReply) {
        ::close(fd);
        return -1;
    }
    std::string body(header.length, '\0');
    uint32_t code = 1;
    std::string text;
    if (jxsReadExact(fd, body.data(), body.size(), jxsDeadline(100), got, err) != jxsIoStatus::Done ||
        jxsDecodeAttachReply(body, code, text).IsError() || code != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

std::string ServiceHostTest::ReadUntilClosed(int fd) {
    std::string bytes;
    int64_t deadline = wz::ClockMs() + 1000 * 1000;  // 10 real seconds at most
    char chunk[512];
    while (wz::ClockMs() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) continue;
        ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) break;
        bytes.append(chunk, static_cast<size_t>(n));
    }
    return bytes;
}

}  // namespace jxtest
