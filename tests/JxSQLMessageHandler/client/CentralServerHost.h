// Test fixture: an in-process host on a free loopback port serving the
// central-server stand-in as "sLNSQLServer61"/"sLPSQLMSG", with the settings
// that make a requester CSQLClientDll reach it, and the process-wide receive
// time-out back at its start value.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/TestRoot.h"
#include "tools/host/JxHost.h"

namespace jxtest {

class CentralServerTest : public ::testing::Test {
protected:
    // 1 platform second = 10 real ms, so the stand-in's 120-second receive
    // outlasts a loaded sanitizer build.
    CentralServerTest() : root(0.01) {}
    void SetUp() override;
    void TearDown() override { host.Stop(); }

    TestRoot root;
    JxHost host;
};

// Turns the central server's store into the form it had before `column` of
// `table` was kept: the column goes, and the store's next opening adds it
// back from what the old rows hold.
void DropColumnFromStore(const char* table, const char* column);

}  // namespace jxtest
