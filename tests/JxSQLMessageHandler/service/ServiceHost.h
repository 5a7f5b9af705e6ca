// Test fixture: an in-process host on a free loopback port, serving the real
// plug-in as "sLNSQLClient61"/"sLPSQLMSG" and the echo plug-in as
// "sLNECHO"/"sLPECHO" under the target "client1".
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestRoot.h"
#include "tools/host/JxHost.h"
#include "tools/requester/JxsRequester.h"

namespace jxtest {

// Serves the real plug-in on `host` as "sLNSQLClient61"/"sLPSQLMSG" under
// the target `target`, and attaches a requester to it there.
void ServeSqlPlugin(const JxHost& host, const std::string& target);
void AttachSqlPlugin(JxsRequester& requester, const std::string& target);

class ServiceHostTest : public ::testing::Test {
protected:
    // 1 platform second = 10 real ms: the loop's 120-second receive time-out
    // lasts 1.2 s, long enough for a loaded sanitizer build.
    ServiceHostTest() : root(0.01) {}
    void SetUp() override;
    void TearDown() override { host.Stop(); }

    // A requester attached to the real plug-in, or to the echo plug-in.
    void AttachPlugin(JxsRequester& requester);
    void AttachEcho(JxsRequester& requester);

    // A raw connection that has attached to the real plug-in; -1 on failure.
    int RawAttachedSocket();
    // Bytes the host sends on `fd` until it closes the connection (bounded wait).
    std::string ReadUntilClosed(int fd);

    TestRoot root;
    JxHost host;
};

}  // namespace jxtest
