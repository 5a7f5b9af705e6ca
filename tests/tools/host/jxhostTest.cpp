// The jxhost program: port file, targets, plug-ins by binding, several
// sessions, and a clean stop on a signal.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "JxSession/jxsTargets.h"
#include "tests/platform/JxSession/EchoRecord.h"
#include "tests/support/TestRoot.h"
#include "tools/host/HostBindings.h"
#include "tools/requester/JxsRequester.h"

extern char** environ;

namespace {

class HostProgram : public ::testing::Test {
protected:
    HostProgram() : root(0.01) {}

    void SetUp() override {
        setenv("JX_TIME_SCALE", "0.01", 1);
        RegisterEchoRecord();
        ASSERT_TRUE(SetHostBinding("sLNSQLClient61", "sLPSQLMSG", {JX_SQL_LIBRARY, "sqlMessageHandler"}));
        ASSERT_TRUE(SetHostBinding("sLNECHO", "sLPECHO", {JX_ECHO_PLUGIN, "echoMessageHandler"}));
    }

    void TearDown() override {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }

    // Starts jxhost with `args`; true once it has written its port file.
    bool Start(std::vector<std::string> args) {
        args.insert(args.begin(), JX_HOST_PROGRAM);
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        if (::posix_spawn(&pid, JX_HOST_PROGRAM, nullptr, nullptr, argv.data(), environ) != 0) return false;
        for (int i = 0; i < 1000; ++i) {
            if (!root.ReadFile("host/port").empty()) return true;
            if (Exited()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    // True once the program has ended; its exit status is then in `exitStatus`.
    bool Exited() {
        int status = 0;
        if (pid <= 0) return true;
        if (::waitpid(pid, &status, WNOHANG) != pid) return false;
        pid = -1;
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return true;
    }

    // Waits (bounded) for the program to end; its exit status, or -1.
    int WaitExit() {
        for (int i = 0; i < 1000; ++i) {
            if (Exited()) return exitStatus;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return -1;
    }

    jxtest::TestRoot root;
    pid_t pid = -1;
    int exitStatus = -1;
};

TEST_F(HostProgram, ServesSessionsAndStopsCleanlyOnSignal) {
    ASSERT_TRUE(Start({"--target", "client2"}));
    uint16_t port = 0;
    ASSERT_TRUE(jxsResolveTarget("client2", port).IsSuccess());
    EXPECT_EQ(std::to_string(port) + "\n", root.ReadFile("host/port"));

    JxsRequester idle;  // a conversation left open when the signal comes
    ASSERT_TRUE(idle.Attach("client2", "sLNSQLClient61", "sLPSQLMSG").IsSuccess());

    std::vector<std::thread> clients;
    for (uint32_t t = 0; t < 3; ++t) {
        clients.emplace_back([t] {
            JxsRequester requester;
            ASSERT_TRUE(requester.Attach("client2", "sLNECHO", "sLPECHO").IsSuccess());
            EchoRecord_t request{t, nullptr, 0, nullptr}, reply{};
            jxsDatabuf_v2 out, in;
            out.setExternalBuffer(&request, sizeof request);
            in.setExternalBuffer(&reply, sizeof reply);
            unsigned long code = 0;
            ASSERT_TRUE(requester.Send(kEchoRequestCode, &out).IsSuccess());
            ASSERT_TRUE(requester.Receive(code, &in).IsSuccess());
            EXPECT_EQ(reply.number, t + 1);
            EXPECT_TRUE(CJxNetwork::FreeReceivedMessage(code, &in).IsSuccess());
            EXPECT_TRUE(requester.Disconnect().IsSuccess());
        });
    }
    for (std::thread& c : clients) c.join();

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    EXPECT_EQ(WaitExit(), 0);
    unsigned long code = 0;
    EXPECT_TRUE(idle.Receive(code).IsError());
}

TEST_F(HostProgram, RefusesBadArguments) {
    ASSERT_FALSE(Start({"--port", "70000"}));
    EXPECT_EQ(WaitExit(), 2);
}

}  // namespace
