// In-process host fixture for the request-loop tests.
#include "tests/JxSQLMessageHandler/service/ServiceHost.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "JxSession/jxsTargets.h"
#include "WzUtils/WzClock.h"
#include "tests/platform/JxSession/EchoRecord.h"
#include "tests/platform/JxSession/RawSession.h"
#include "tools/host/HostBindings.h"

namespace jxtest {

void ServeSqlPlugin(const JxHost& host, const std::string& target) {
    ASSERT_TRUE(jxsRegisterTarget(target, host.Port()));
    ASSERT_TRUE(SetHostBinding("sLNSQLClient61", "sLPSQLMSG", {JX_SQL_LIBRARY, "sqlMessageHandler"}));
}

void AttachSqlPlugin(JxsRequester& requester, const std::string& target) {
    ASSERT_TRUE(requester.Attach(target, "sLNSQLClient61", "sLPSQLMSG").IsSuccess());
}

void ServiceHostTest::SetUp() {
    RegisterEchoRecord();
    ASSERT_TRUE(host.Start(0).IsSuccess());
    ServeSqlPlugin(host, "client1");
    ASSERT_TRUE(SetHostBinding("sLNECHO", "sLPECHO", {JX_ECHO_PLUGIN, "echoMessageHandler"}));
}

void ServiceHostTest::AttachPlugin(JxsRequester& requester) { AttachSqlPlugin(requester, "client1"); }

void ServiceHostTest::AttachEcho(JxsRequester& requester) {
    ASSERT_TRUE(requester.Attach("client1", "sLNECHO", "sLPECHO").IsSuccess());
}

int ServiceHostTest::RawAttachedSocket() { return AttachRawSession(host.Port(), "sLNSQLClient61", "sLPSQLMSG", 100); }

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
