// example-root.sh and the host it starts: the script returns only once the
// host answers, so a job started right after it reaches the central server;
// a host that never answers fails the script instead of leaving a process id
// of nothing to kill.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "JxLib/JxProcess.h"
#include "JxSession/jxsTargets.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr const char* kTarget = "cs1*cs1client*8400*8402";

struct ScriptRun {
    int status = -1;
    std::string output;
    std::string error;
};

// Runs example-root.sh on a build tree whose jxhost is the script `host`;
// the rest of the tree is the real build.
ScriptRun RunExampleRoot(jxtest::TestRoot& root, const std::string& host) {
    namespace fs = std::filesystem;
    const fs::path build = root.File("build/tools/host/jxhost");
    root.WriteFile("build/tools/host/jxhost", host);
    fs::permissions(build, fs::perms::owner_all);
    for (const char* tool : {"sqlsim", "jxserve"}) {
        fs::create_directory_symlink(std::string(JX_BINARY_DIR) + "/tools/" + tool,
                                     build.parent_path().parent_path() / tool);
    }
    ScriptRun run;
    // Platform seconds, scaled down in tests: about a minute of real time.
    run.status =
        JxProcess::system("sh " + std::string(JX_SOURCE_DIR) + "/tools/jobs/example-root.sh " + root.File("build/."),
                          run.output, run.error, 60000);
    return run;
}

// The host a run printed, stopped at the end of the test whatever happens.
struct HostProcess {
    explicit HostProcess(const std::string& printed) {
        try {
            pid = std::stoi(printed);
        } catch (...) {
            pid = 0;
        }
    }
    ~HostProcess() {
        if (pid > 0) ::kill(pid, SIGTERM);
    }
    int pid = 0;
};

bool Connects(uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// The host takes a while before it listens, as on a busy machine: the
// script's process id comes only once the target is recorded and the host
// takes connections; what an earlier host printed does not count.
TEST(ExampleRoot, ReturnsOnlyOnceTheHostAnswers) {
    jxtest::TestRoot root;
    root.WriteFile("host/jxhost.out", "8400\n");
    const ScriptRun run = RunExampleRoot(
        root, "#!/bin/sh\nsleep 1\nexec '" + std::string(JX_BINARY_DIR) + "/tools/host/jxhost' \"$@\"\n");
    HostProcess host(run.output);
    ASSERT_EQ(run.status, 0) << run.output << run.error;
    ASSERT_GT(host.pid, 0) << run.output;
    uint16_t port = 0;
    ASSERT_TRUE(jxsResolveTarget(kTarget, port).IsSuccess()) << "the target is recorded when the script returns";
    EXPECT_TRUE(Connects(port));
    EXPECT_EQ(::kill(host.pid, 0), 0) << "the printed process id is the host's";
}

TEST(ExampleRoot, AHostThatEndsBeforeItAnswersFailsTheScript) {
    jxtest::TestRoot root;
    const ScriptRun run = RunExampleRoot(root, "#!/bin/sh\necho 'jxhost: Cannot listen on port 0.' >&2\nexit 1\n");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.output, "") << "no process id of a host that is gone";
    EXPECT_NE(run.error.find("the host ended (status 1) before it answered"), std::string::npos) << run.error;
    EXPECT_NE(run.error.find("Cannot listen on port 0."), std::string::npos) << run.error;
}

}  // namespace
