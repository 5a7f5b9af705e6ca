// The process runner: exit status, captured output, program table, bound.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include "JxLib/JxProcess.h"
#include "WzUtils/WzClock.h"
#include "tests/support/TestRoot.h"

namespace {

class Process : public jxtest::RootedTest {
protected:
    std::string Script(const std::string& name, const std::string& body) {
        root.WriteFile("bin/" + name, "#!/bin/sh\n" + body + "\n");
        std::string path = root.File("bin/" + name);
        ::chmod(path.c_str(), 0755);
        return path;
    }
};

TEST_F(Process, StatusAndBothOutputsAreCollected) {
    JxProcess::SetProgramPath("tool", Script("tool", "echo out \"$1\"; echo err >&2; exit 3"));
    std::string out;
    std::string err;
    EXPECT_EQ(JxProcess::system("tool status   mssql-server", out, err), 3);
    EXPECT_EQ(out, "out status\n");
    EXPECT_EQ(err, "err\n");
}

TEST_F(Process, UnlistedProgramIsSearchedOnPath) {
    std::string out;
    std::string err;
    EXPECT_EQ(JxProcess::system("true", out, err), 0);
    EXPECT_EQ(JxProcess::ProgramPath("true"), "true");
}

TEST_F(Process, MissingProgramAndEmptyCommandFail) {
    JxProcess::SetProgramPath("gone", root.path() + "/bin/gone");
    std::string out;
    std::string err;
    EXPECT_EQ(JxProcess::system("gone", out, err), 127);
    EXPECT_EQ(JxProcess::system("   ", out, err), -1);
}

TEST_F(Process, ProgramRunningPastTheBoundIsKilled) {
    root.ScaleHelperWaits();
    JxProcess::SetProgramPath("hang", Script("hang", "exec sleep 30"));
    std::string out;
    std::string err;
    int64_t start = wz::ClockMs();
    // 2 platform seconds are 2 real milliseconds at the tests' time scale.
    EXPECT_EQ(JxProcess::system("hang", out, err, 2), -1);
    EXPECT_NE(err.find("killed"), std::string::npos);
    EXPECT_LT(wz::RealMs(wz::ClockMs() - start), 5000);
}

TEST_F(Process, ProgramSlowerThanTheScaledBoundIsWaitedForUpToTheHelperFloor) {
    JxProcess::SetProgramPath("slow", Script("slow", "sleep 0.3; echo done"));
    std::string out;
    std::string err;
    // 2 platform seconds, 2 real milliseconds: a wait on a program lasts
    // the test root's floor at least.
    EXPECT_EQ(JxProcess::system("slow", out, err, 2), 0) << err;
    EXPECT_EQ(out, "done\n");
}

TEST_F(Process, ProgramThatClosesItsOutputIsStillBounded) {
    root.ScaleHelperWaits();
    JxProcess::SetProgramPath("detach", Script("detach", "exec >/dev/null 2>&1; exec sleep 30"));
    std::string out;
    std::string err;
    EXPECT_EQ(JxProcess::system("detach", out, err, 2), -1);
}

TEST_F(Process, KeptChildIsReapedWhenItEnds) {
    JxProcess::SetProgramPath("quick", Script("quick", "exit 7"));
    std::string err;
    const pid_t pid = JxProcess::StartChild("quick", err, false);
    ASSERT_GT(pid, 0) << err;
    int code = -1;
    while (!JxProcess::ChildEnded(pid, &code)) WZSLEEP_InTeRnAl(10);
    EXPECT_EQ(code, 7);
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1) << "already reaped";
}

TEST_F(Process, KeptChildStartsWithAnEmptyEnvironmentWhenAsked) {
    const std::string marker = root.File("env.txt");
    JxProcess::SetProgramPath("envdump", Script("envdump", "echo \"[$JX_PLATFORM_ROOT]\" > " + marker));
    std::string err;
    const pid_t pid = JxProcess::StartChild("envdump", err, true);
    ASSERT_GT(pid, 0) << err;
    while (!JxProcess::ChildEnded(pid)) WZSLEEP_InTeRnAl(10);
    EXPECT_EQ(root.ReadFile("env.txt"), "[]\n");
}

TEST_F(Process, KeptChildThatCannotRunIsReportedAndRunningOneIsEnded) {
    JxProcess::SetProgramPath("gone", root.path() + "/bin/gone");
    std::string err;
    EXPECT_EQ(JxProcess::StartChild("gone", err, true), -1);
    EXPECT_NE(err.find("cannot execute"), std::string::npos);

    JxProcess::SetProgramPath("hang", Script("hang", "exec sleep 30"));
    const pid_t pid = JxProcess::StartChild("hang", err, false);
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(JxProcess::ChildEnded(pid));
    EXPECT_TRUE(JxProcess::EndChild(pid, SIGTERM, 5));
    EXPECT_EQ(::waitpid(pid, nullptr, WNOHANG), -1) << "ended and reaped";
}

}  // namespace
