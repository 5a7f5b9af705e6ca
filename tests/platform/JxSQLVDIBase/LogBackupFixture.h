// Test support: a simulated database ready for a log backup on one stream
// (the log stager's, the log-dump writer's), and a statement held at the
// start of its stream for a given number of VDI time-outs.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "JxSQLVDIBase/VdiLogStaging.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"
#include "tests/support/TestRoot.h"

namespace vdilogtest {

constexpr const char* kServer = "host/inst";
// The engine's VDI time-out as a one-stream backup leaves it, in platform
// seconds.
constexpr int64_t kVdiTimeOutSeconds = 300;

// The instance kServer with a database "Sales" that has a full backup and
// changes since.
class LogBackupTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(jxtest::CreateSimInstance(sim, kServer, {"Sales"}));
        std::string metadata;
        CWzError full = VdiBackUpOnOneStream(
            kServer, "Sales", 'D', [](const char*, size_t, std::string&) { return true; }, metadata);
        ASSERT_TRUE(full.IsSuccess()) << full.AsString();
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", 3, 1, "", 0}).IsError());
    }

    // Runs `work` on a thread of its own while the statement it starts is
    // held at its stream's header for `vdiTimeOuts` VDI time-outs of
    // platform time, then lets the statement go on and waits for `work`.
    // False when no statement reached the header.
    static bool RunWhileHeld(double vdiTimeOuts, const std::function<void()>& work) {
        VdiTestHold hold(VdiTestPoint::kBlockPut, 1);
        std::thread worker(work);
        const bool held = hold.WaitHeld();
        if (held) WZSLEEP_InTeRnAl(static_cast<uint32_t>(vdiTimeOuts * static_cast<double>(kVdiTimeOutSeconds) * 1000));
        hold.Release();
        worker.join();
        return held;
    }

    std::vector<std::string> Names(const std::string& folder) {
        std::vector<std::string> names;
        (void)wz::Fs().ReadDirectory(folder, names);  // a folder never made has no names
        return names;
    }

    // One VDI time-out is 0.6 s of real time, so that a side that gives up
    // on a statement does so quickly.
    jxtest::TestRoot root{0.002};
    SqlSimInstance sim;
};

}  // namespace vdilogtest
