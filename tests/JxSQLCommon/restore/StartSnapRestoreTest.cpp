// The indexed snapshot restore session against the scripted index-restore
// stand-in: how each way of ending maps to the result, stop requests and
// their bound, keep-alives, and progress to the job manager.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <ostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JXRstJobClient.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/restore/StartSnapRestore.h"
#include "WzUtils/WzClock.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kJobId = 4711;

class StartSnapRestoreTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        // The stand-in runs in its own process: it takes the scaled time
        // from the environment.
        ::setenv(wz::kTimeScaleEnv, "0.01", 1);
        ASSERT_TRUE(JxProcess::SetProgramPath("fsindexrestore", JX_FSINDEXRESTORE_PROGRAM));
    }

    void Script(const std::string& text, uint64_t jobId = kJobId) {
        root.WriteFile("fsindexrestore/" + std::to_string(jobId) + ".script", text);
    }

    // Runs one session of `restore` over `paths` for `jobId` (the stand-in
    // keeps a script and a record of what it read per job); the object stays
    // for inspection.
    bool RunSession(StartSnapRestore& restore, std::vector<std::string> paths = {"db/Sales.mdf"},
                    uint64_t jobId = kJobId) {
        FSIndexRestoreInit init;
        init.jobId = jobId;
        init.restoreLevel = 2;
        init.paths = std::move(paths);
        restore.setRestoreObject(&restoreClient);
        restore.setJobControlObject(&jobControl);
        std::string initError;
        if (!restore.Initialize(init, initError)) {
            error = initError;
            return false;
        }
        return restore.onMsgRestore(error);
    }
    bool Run(std::vector<std::string> paths = {"db/Sales.mdf"}) { return RunSession(session, std::move(paths)); }

    // Names of the messages the stand-in read in its session for `jobId`, in
    // order. The stand-in reads and records on its own time, after the job
    // may have moved on: its record is whole once it holds the request that
    // ends the session, which the job sends last. That is waited for (a
    // minute at most).
    std::vector<std::string> Received(uint64_t jobId = kJobId) const {
        const std::string file = "fsindexrestore/" + std::to_string(jobId) + ".received";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        for (;;) {
            std::istringstream in(root.ReadFile(file));
            std::vector<std::string> names;
            for (std::string line; std::getline(in, line);) names.push_back(line);
            if ((!names.empty() && names.back() == kSessionEnd) || std::chrono::steady_clock::now() > deadline) {
                return names;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }
    int ReceivedCount(const std::string& name, uint64_t jobId = kJobId) const {
        int n = 0;
        for (const std::string& r : Received(jobId)) n += r == name ? 1 : 0;
        return n;
    }
    static constexpr const char* kSessionEnd = "JXS_PM_DISCONNECT_REQ";

    std::vector<jobmanager::JournalEntry> Journal(const std::string& op) const {
        auto entries = jobmanager::JobJournalReader::Read(kJobId);
        return entries ? jobmanager::JobJournalReader::WithOp(*entries, op) : std::vector<jobmanager::JournalEntry>{};
    }
    int64_t JournalSum(const std::string& op) const {
        int64_t sum = 0;
        for (const auto& e : Journal(op)) sum += std::stoll(e.Get("value"));
        return sum;
    }

    bool LogHas(const std::string& text) const {
        return jxtest::ReadWholeFile(EvDebug::LogFilePath()).find(text) != std::string::npos;
    }

    JXRstJobClient restoreClient{kJobId};
    JXJobCtrlClient jobControl{kJobId};
    StartSnapRestore session;
    std::string error;
};

TEST_F(StartSnapRestoreTest, NormalEndRelaysItemsProgressAndSourcePaths) {
    Script(
        "srcpath /snap/vol1\n"
        "item /db/Sales.mdf 4096\n"
        "items 3\n"
        "progress 4 2 0 0\n"
        "progress 4 3 0 1 final\n"
        "end\n");
    ASSERT_TRUE(Run()) << error;
    EXPECT_EQ(session.itemsReturned(), 4u);
    EXPECT_EQ(session.sourcePaths(), std::vector<std::string>{"/snap/vol1"});
    EXPECT_EQ(JournalSum("setNumSuccessful2Add"), 3);
    EXPECT_EQ(JournalSum("setNumFailures2Add"), 1);
    EXPECT_EQ(JournalSum("setUncompBytes2Add"), 3 * 1024);
    ASSERT_FALSE(Journal("setTotFiles2Xfer").empty());
    EXPECT_EQ(Journal("setTotFiles2Xfer").back().Get("value"), "4");
    ASSERT_FALSE(Journal("setPercentage").empty());
    EXPECT_EQ(Journal("setPercentage").back().Get("value"), "100");
    EXPECT_EQ(restoreClient.getRestartString(0), "-o 1:4");
    ASSERT_FALSE(Journal("setActiveFile").empty());
    EXPECT_EQ(Journal("setActiveFile").front().Get("value"), "/db/Sales.mdf");
    EXPECT_FALSE(session.isConnected());
    EXPECT_TRUE(LogHas("STARTRESTORE: Received FSR_MSG_RESTORE_END"));
}

TEST_F(StartSnapRestoreTest, WithoutScriptEveryRequestedPathComesBackRooted) {
    ASSERT_TRUE(Run({"db/a.mdf", "/db/b.ldf"})) << error;
    EXPECT_EQ(session.itemsReturned(), 2u);
    std::vector<std::string> active;
    for (const auto& e : Journal("setActiveFile")) active.push_back(e.Get("value"));
    EXPECT_EQ(active, (std::vector<std::string>{"/db/a.mdf", "/db/b.ldf", ""}));
}

// The job's budget for the program to start and connect back is 120
// platform seconds, a tenth of a real second here: a program that a busy
// machine starts later is still waited for.
TEST_F(StartSnapRestoreTest, AnIndexRestoreProgramThatStartsLateIsWaitedFor) {
    root.WriteFile("bin/late", std::string("#!/bin/sh\nsleep 0.5\nexec '") + JX_FSINDEXRESTORE_PROGRAM + "' \"$@\"\n");
    ASSERT_EQ(::chmod(root.File("bin/late").c_str(), 0755), 0);
    ASSERT_TRUE(JxProcess::SetProgramPath("fsindexrestore", root.File("bin/late")));
    ASSERT_TRUE(Run()) << error;
    EXPECT_EQ(session.itemsReturned(), 1u);
}

struct FailingEnd {
    const char* name;
    const char* script;
    const char* reason;  // part of the error text
};

void PrintTo(const FailingEnd& end, std::ostream* out) { *out << end.name; }

class StartSnapRestoreFailingEndTest : public StartSnapRestoreTest, public ::testing::WithParamInterface<FailingEnd> {};

TEST_P(StartSnapRestoreFailingEndTest, EndsAsFailure) {
    Script(GetParam().script);
    EXPECT_FALSE(Run());
    EXPECT_NE(error.find(GetParam().reason), std::string::npos) << error;
    EXPECT_FALSE(session.isConnected());
}

INSTANTIATE_TEST_SUITE_P(
    Ends, StartSnapRestoreFailingEndTest,
    ::testing::Values(FailingEnd{"RestoreFailed", "item /a\nfail 17\n", "reason 17"},
                      FailingEnd{"NoRestore", "norestore\n", "nothing to restore"},
                      FailingEnd{"NoBackup", "nobackup\n", "no backup"},
                      FailingEnd{"DroppedConnection", "item /a\ndrop\n", "broke"},
                      FailingEnd{"DisconnectRequest", "item /a\ndisconnect\n", "disconnected"},
                      FailingEnd{"UnrequestedPartialEnd", "partialend\n", "partially"},
                      FailingEnd{"JobFailedThenEnd", "jobfail 3\nend\n", "reason 3"},
                      FailingEnd{"UnknownCodeThenEnd", "send 18000099\nend\n", "0x18000099"},
                      FailingEnd{"KeepAliveFromPeerThenEnd", "send 18000031\nend\n", "FSR_MSG_KEEP_ALIVE"},
                      FailingEnd{"ItemCountMismatchThenEnd", "items 3 5\nend\n", "damaged item list"},
                      FailingEnd{"SilentAfterPeerStop", "send 18000017\nsilent\n", "after the stop"}),
    [](const ::testing::TestParamInfo<FailingEnd>& info) { return std::string(info.param.name); });

TEST_F(StartSnapRestoreTest, JobFailureAndUnknownCodesDoNotEndTheLoop) {
    Script(
        "jobfail 9\n"
        "send 18000099\n"
        "item /after/failure\n"
        "items 3 5\n"
        "items 2\n"
        "end\n");
    EXPECT_FALSE(Run());
    EXPECT_TRUE(session.isJobFailed());
    EXPECT_FALSE(session.isRestoreFailed());
    // Everything after the failures was still read; the damaged array was not counted.
    EXPECT_EQ(session.itemsReturned(), 3u);
    EXPECT_TRUE(LogHas("STARTRESTORE: Protocol error: unexpected message [0x18000099]"));
}

TEST_F(StartSnapRestoreTest, AcceptedNotesAndRebootRequestKeepTheRestoreGood) {
    Script("send 18000032\nsend 18000048\nreboot\nitem /x\nend\n");
    EXPECT_TRUE(Run()) << error;
    EXPECT_TRUE(session.isRebootRequested());
}

TEST_F(StartSnapRestoreTest, PercentageWithZeroTotalIsIgnored) {
    Script(
        "percent 0 0\n"
        "percent 10 5\n"
        "end\n");
    EXPECT_TRUE(Run()) << error;
    ASSERT_EQ(Journal("setPercentage").size(), 1u);
    EXPECT_EQ(Journal("setPercentage")[0].Get("value"), "50");
}

TEST_F(StartSnapRestoreTest, RefusedSetUpStepsFailTheRestore) {
    Script("refuse path /db/missing.ndf\n");
    EXPECT_FALSE(Run({"db/Sales.mdf", "db/missing.ndf", "db/never.ldf"}));
    EXPECT_NE(error.find("/db/missing.ndf"), std::string::npos) << error;
    EXPECT_FALSE(session.isConnected());
}

TEST_F(StartSnapRestoreTest, RefusedInitOrSnapRestoreAndMissingProgramFail) {
    Script("refuse init\n");
    EXPECT_FALSE(Run());
    EXPECT_EQ(error, "Failed to initialize fsindexrestore process on MA.");

    StartSnapRestore second;
    Script("refuse snap\n");
    EXPECT_FALSE(RunSession(second));
    EXPECT_EQ(error, "restoreFromSnap API failed.");

    ASSERT_TRUE(JxProcess::SetProgramPath("fsindexrestore", root.File("bin/none")));
    StartSnapRestore third;
    EXPECT_FALSE(RunSession(third));
    EXPECT_EQ(error, "Failed to connect to fsindexrestore process on MA.");

    StartSnapRestore emptyPath;
    EXPECT_FALSE(RunSession(emptyPath, {"db/a.mdf", ""}));
    EXPECT_EQ(error, "An empty path cannot be restored.");

    FSIndexRestoreInit noJob;
    noJob.paths = {"x"};
    StartSnapRestore fourth;
    EXPECT_FALSE(fourth.Initialize(noJob, error));
    EXPECT_FALSE(error.empty());
}

// The job gives the stand-in kStopWaitSeconds to end the session after the
// stop: a minute of real time, so that a busy machine cannot fail it.
constexpr double kRoomForTheStopAnswer = 0.5;

TEST_F(StartSnapRestoreTest, StopIsSentOnceAndAcknowledged) {
    wz::SetTimeScale(kRoomForTheStopAnswer);
    ASSERT_TRUE(JXJobCtrlClient::requestStop(kJobId));
    Script(
        "onstop ackend\n"
        "waitfor FSR_MSG_STOP 1\n"
        "silent\n");
    EXPECT_TRUE(Run()) << error;
    EXPECT_TRUE(session.isStopped());
    EXPECT_FALSE(session.isStopUnacknowledged());
    EXPECT_EQ(ReceivedCount("FSR_MSG_STOP"), 1);
    EXPECT_TRUE(LogHas("STARTRESTORE: Job has been stopped"));
    EXPECT_FALSE(LogHas("unacknowledged by FSIndexedRestore"));
}

TEST_F(StartSnapRestoreTest, UnansweredStopIsLoggedAsUnacknowledged) {
    wz::SetTimeScale(kRoomForTheStopAnswer);
    ASSERT_TRUE(JXJobCtrlClient::requestStop(kJobId));
    Script(
        "onstop ignore\n"
        "waitfor FSR_MSG_STOP 1\n"
        "end\n");
    EXPECT_TRUE(Run()) << error;
    EXPECT_TRUE(session.isStopUnacknowledged());
    EXPECT_EQ(ReceivedCount("FSR_MSG_STOP"), 1);
    EXPECT_TRUE(LogHas("Job has been stopped (unacknowledged by FSIndexedRestore)"));
}

TEST_F(StartSnapRestoreTest, SilentPeerAfterStopEndsWithinTheBound) {
    ASSERT_TRUE(JXJobCtrlClient::requestStop(kJobId));
    Script(
        "onstop ignore\n"
        "silent\n");
    EXPECT_FALSE(Run());
    EXPECT_NE(error.find("stop"), std::string::npos) << error;
    // The quit flag stays raised all along: the stop still goes out once.
    EXPECT_EQ(ReceivedCount("FSR_MSG_STOP"), 1);
    EXPECT_TRUE(LogHas("did not end the session within 120 seconds of the stop"));
}

TEST_F(StartSnapRestoreTest, KeepAlivesGoOutOnlyForNewerSessions) {
    ASSERT_NE(JXPlatformInfo().setNumber("Jxd", "nKEEPALIVEINTERVAL", 1), 0);
    Script(
        "waitfor FSR_MSG_KEEP_ALIVE 2\n"
        "end\n");
    EXPECT_TRUE(Run()) << error;
    EXPECT_TRUE(session.isKeepAliveEnabled());
    EXPECT_EQ(session.keepAliveIntervalSeconds(), 60);
    // One more may go out while the end is on its way.
    EXPECT_GE(ReceivedCount("FSR_MSG_KEEP_ALIVE"), 2);

    // A session of its own, so that its record holds only what it was sent.
    constexpr uint64_t kOldSessionJob = kJobId + 1;
    StartSnapRestore old;
    Script(
        "version 5\n"
        "pause 300\n"
        "end\n",
        kOldSessionJob);
    EXPECT_TRUE(RunSession(old, {"db/Sales.mdf"}, kOldSessionJob)) << error;
    EXPECT_FALSE(old.isKeepAliveEnabled());
    EXPECT_EQ(ReceivedCount("FSR_MSG_KEEP_ALIVE", kOldSessionJob), 0) << "none from the version-5 session";
    EXPECT_TRUE(LogHas("FSIndexedRestore Session will not be kept alive because session version is 5"));
}

TEST_F(StartSnapRestoreTest, ZeroKeepAliveIntervalMeansThirtyMinutes) {
    ASSERT_NE(JXPlatformInfo().setNumber("Jxd", "nKEEPALIVEINTERVAL", 0), 0);
    EXPECT_TRUE(Run()) << error;
    EXPECT_EQ(session.keepAliveIntervalSeconds(), 30 * 60);
    EXPECT_TRUE(LogHas("Keep Alive Messages will be sent every 30 minutes"));
}

TEST_F(StartSnapRestoreTest, FinalReportsCarryCountsIntoTheRestartPointOnce) {
    session.setRestoreObject(&restoreClient);
    MsgJobProgress_5_9 report;
    report.totalFiles = 10;
    report.succeeded = 2;
    session.onMsgJobProgress5_9(&report);
    session.updateJobMgrProgress_5_9(report);
    report.succeeded = 6;
    report.isFinal = 1;
    session.onMsgJobProgress5_9(&report);
    session.updateJobMgrProgress_5_9(report);
    EXPECT_EQ(restoreClient.getRestartString(0), "-o 1:6");
    // The next part starts counting from zero again.
    MsgJobProgress_5_9 next;
    next.totalFiles = 10;
    next.succeeded = 9;  // 90 %
    session.onMsgJobProgress5_9(&next);
    session.updateJobMgrProgress_5_9(next);
    EXPECT_EQ(restoreClient.getRestartString(0), "-o 1:15");
    EXPECT_EQ(JournalSum("setNumSuccessful2Add"), 15);
    // A report without counts (as a percentage message makes) takes nothing
    // back, and the next real one adds only what is new.
    session.updateJobProgressByPercent(95);
    session.updateJobMgrProgress_5_9(MsgJobProgress_5_9{});
    EXPECT_EQ(restoreClient.getRestartString(0), "-o 1:15");
    next.succeeded = 10;
    session.onMsgJobProgress5_9(&next);
    session.updateJobMgrProgress_5_9(next);
    EXPECT_EQ(restoreClient.getRestartString(0), "-o 1:16");
    EXPECT_EQ(JournalSum("setNumSuccessful2Add"), 16);
    // A report that moves the percentage by less than one point is not sent.
    const size_t sent = Journal("setPercentage").size();
    session.updateJobMgrProgress_5_9(next);
    EXPECT_EQ(Journal("setPercentage").size(), sent);
}

TEST_F(StartSnapRestoreTest, MultiIndexSearchCanBeTurnedOffAndOptionsAreNamed) {
    const uint64_t options = 0x1 | 0x20000000 | StartSnapRestore::kMultiIndexSearchOption;
    EXPECT_EQ(session.processOptions(options), options);
    ASSERT_NE(JXPlatformInfo().setString("JxServe", "NoMultiIndexSearch", "YES"), 0);
    EXPECT_EQ(session.processOptions(options), 0x1u | 0x20000000u);
    EXPECT_TRUE(LogHas("multi-index option is TURNED OFF due to NoMultiIndexSearch registry value"));
    session.PrintOptions(0x1 | 0x20000000 | 0x4000000000000000);
    EXPECT_TRUE(LogHas("Restore Options -  ER_BROWSE |  ER_SNAPSHOT |  ER_ONE_TOUCH | "));
}

}  // namespace
