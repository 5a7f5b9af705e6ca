// Test fixture: two clients of one backup domain in one process.
//
// Both share the test's platform root (settings, model, targets, bindings)
// and each has a host on a loopback port of its own: client 1 ("client1",
// host target "host1") is this machine, the requester's own client; client 2
// ("client2", target "host2") is the peer. Each host serves the SQL plug-in
// and the message-processor stand-in. File copies between the two write on
// the one file system, as the file-copy stand-in does for every client.
// Peers may change directories under "jobs" (the job-results directory) and
// read files under "jobs", "peer", "fs" and "data" of the root.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/support/TestRoot.h"
#include "tools/host/JxHost.h"

namespace jxtest {

constexpr unsigned long kOwnClient = 1;
constexpr unsigned long kPeerClient = 2;

class PeerHostsTest : public ::testing::Test {
protected:
    // 1 platform second = 10 real ms, so a sanitizer build keeps up with the
    // session time-outs.
    PeerHostsTest() : root(0.01) {}
    void SetUp() override;
    void TearDown() override;

    // A file under the root with `content`; returns its absolute path.
    std::string MakeFile(const std::string& relative, const std::string& content);

    TestRoot root;
    JxHost ownHost;
    JxHost peerHost;
};

}  // namespace jxtest
