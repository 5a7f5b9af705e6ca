// jxsqlservice: the operating system's side of a simulated SQL Server
// instance, for scripts that stand in for "systemctl" and for the server
// program started by hand in single-user mode.
//
//   jxsqlservice [--root DIR] --instance NAME systemctl start|stop|status UNIT
//   jxsqlservice [--root DIR] --instance NAME sqlservr -m
//
// systemctl answers like the real one: "Active: active (running)" with exit
// status 0, or "Active: inactive (dead)" with exit status 3; an unknown unit
// fails with 5. "sqlservr -m" runs the engine in single-user mode until
// master has been restored (master's data file rewritten and master ONLINE
// again), then stops the engine and ends; SIGTERM ends it at once.
#include <signal.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimService.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"

namespace {

constexpr const char* kUnit = "mssql-server";
constexpr uint32_t kPollMs = 1000;                   // platform milliseconds
constexpr int64_t kLongestSingleUserRunMs = 3600000;  // one hour of platform time

volatile std::sig_atomic_t g_terminate = 0;

void OnTerminate(int) { g_terminate = 1; }

void Usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: jxsqlservice [--root DIR] --instance NAME systemctl start|stop|status UNIT\n"
                 "       jxsqlservice [--root DIR] --instance NAME sqlservr -m\n"
                 "Drives the service of a simulated SQL Server instance under the platform root\n"
                 "(JX_PLATFORM_ROOT unless --root names it). The only unit is \"%s\".\n"
                 "systemctl status exits 0 when the unit is active, 3 when it is inactive.\n"
                 "sqlservr -m runs the engine in single-user mode until master has been restored.\n",
                 kUnit);
}

int Fail(const std::string& text, int status = 1) {
    std::fprintf(stderr, "jxsqlservice: %s\n", text.c_str());
    return status;
}

int Systemctl(SqlSimInstance& instance, const std::string& action, const std::string& unit) {
    if (unit != kUnit && unit != std::string(kUnit) + ".service") {
        std::printf("Failed to %s %s.service: Unit %s.service not found.\n", action.c_str(), unit.c_str(),
                    unit.c_str());
        return 5;
    }
    SqlSimService service(instance);
    if (action == "start" || action == "stop") {
        CWzError err = action == "start" ? service.Start() : service.Stop();
        if (err.IsError()) {
            std::printf("Failed to %s %s.service: %s\n", action.c_str(), kUnit, err.GetMessage().c_str());
            return 1;
        }
        return 0;
    }
    if (action == "status") {
        bool active = false;
        CWzError err = service.IsActive(active);
        if (err.IsError()) return Fail(err.GetMessage(), 4);
        std::printf("* %s.service - SQL Server database engine\n", kUnit);
        std::printf("     Active: %s\n", active ? "active (running)" : "inactive (dead)");
        return active ? 0 : 3;
    }
    Usage(stderr);
    return 2;
}

int SingleUserServer(SqlSimInstance& instance) {
    struct sigaction action {};
    action.sa_handler = OnTerminate;
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGINT, &action, nullptr);

    SqlSimService service(instance);
    int state = 0;
    int64_t startChange = 0;
    CWzError err = service.MasterSnapshot(state, startChange);
    if (err.IsSuccess()) err = service.SetEngine(true, true);
    if (err.IsError()) return Fail(err.GetMessage());

    const int64_t deadline = wz::ClockMs() + kLongestSingleUserRunMs;
    while (g_terminate == 0 && wz::ClockMs() < deadline) {
        int64_t change = 0;
        err = service.MasterSnapshot(state, change);
        if (err.IsError()) break;
        if (change != startChange && state == SQLDB_STATE_ONLINE) break;  // master was restored
        WZSLEEP_InTeRnAl(kPollMs);
    }
    CWzError stopped = service.SetEngine(false, false);
    if (err.IsError()) return Fail(err.GetMessage());
    if (stopped.IsError()) return Fail(stopped.GetMessage());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string instanceName;
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            Usage(stdout);
            return 0;
        }
        if (args[i] == "--root" && i + 1 < args.size()) {
            wz::SetPlatformRoot(args[++i]);
        } else if (args[i] == "--instance" && i + 1 < args.size()) {
            instanceName = args[++i];
        } else {
            break;
        }
    }
    std::vector<std::string> command(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    if (instanceName.empty() || command.empty()) {
        Usage(stderr);
        return 2;
    }
    SqlSimInstance instance;
    CWzError err = instance.Open(instanceName);
    if (err.IsError()) return Fail(err.GetMessage());
    if (command[0] == "systemctl" && command.size() == 3) return Systemctl(instance, command[1], command[2]);
    if (command[0] == "sqlservr" && command.size() == 2 && command[1] == "-m") return SingleUserServer(instance);
    Usage(stderr);
    return 2;
}
