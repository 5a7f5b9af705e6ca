// Runs a piece of a test in a forked child process.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <functional>

namespace statetest {

// Starts `body` in a child; the child's exit code is body's result.
inline pid_t StartChild(const std::function<int()>& body) {
    pid_t pid = ::fork();
    if (pid == 0) ::_exit(body());
    return pid;
}

// The child's exit code, or -1 when it did not exit normally.
inline int WaitChild(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace statetest
