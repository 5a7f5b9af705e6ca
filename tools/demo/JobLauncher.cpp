// Starting a job program and waiting for it with its resource use.
#include "tools/demo/JobLauncher.h"

#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include <cerrno>
#include <chrono>

extern char** environ;

namespace {

double Now() { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); }

}  // namespace

JobLauncher::~JobLauncher() {
    if (Running()) (void)Wait();  // no zombie is left behind; the outcome is nobody's concern any more
}

bool JobLauncher::Start(const std::string& program, const std::vector<std::string>& args) {
    if (Running()) return false;
    std::vector<char*> argv;
    std::string name = program;
    argv.push_back(name.data());
    std::vector<std::string> copies = args;
    for (std::string& a : copies) argv.push_back(a.data());
    argv.push_back(nullptr);
    m_started = Now();
    pid_t pid = -1;
    if (::posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return false;
    m_pid = pid;
    return true;
}

JobProgramRun JobLauncher::Wait() {
    JobProgramRun run;
    if (!Running()) return run;
    int status = 0;
    struct rusage usage {};
    pid_t done = -1;
    do {
        done = ::wait4(m_pid, &status, 0, &usage);
    } while (done < 0 && errno == EINTR);
    m_pid = -1;
    run.seconds = Now() - m_started;
    if (done < 0) return run;
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.peakRssKb = usage.ru_maxrss;
    return run;
}

JobProgramRun JobLauncher::Run(const std::string& program, const std::vector<std::string>& args) {
    JobLauncher launcher;
    if (!launcher.Start(program, args)) return {};
    return launcher.Wait();
}
