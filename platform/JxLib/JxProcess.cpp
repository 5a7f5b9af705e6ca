// JxProcess: fork/exec with captured output and a bounded wait.
#include "JxLib/JxProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <vector>

#include "JxLib/SettingsFile.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"

namespace {

std::string ProgramTable() { return wz::PlatformPath("settings/Programs.ini"); }

std::vector<std::string> SplitBlanks(const std::string& command) {
    std::vector<std::string> words;
    std::istringstream in(command);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

// Reads what is available on `fd` into `sink` (bounded); false at end of file.
bool Drain(int fd, std::string& sink) {
    char buffer[4096];
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    if (n == 0) return false;
    size_t room = JxProcess::kMaxCapturedBytes - std::min(sink.size(), JxProcess::kMaxCapturedBytes);
    sink.append(buffer, std::min(static_cast<size_t>(n), room));
    return true;
}

}  // namespace

std::string JxProcess::ProgramPath(const std::string& program) {
    auto path = SettingsFile(ProgramTable()).Get("", program);
    return (path && !path->empty()) ? *path : program;
}

bool JxProcess::SetProgramPath(const std::string& program, const std::string& path) {
    return SettingsFile(ProgramTable()).Set("", program, path);
}

int JxProcess::system(const std::string& command, std::string& output, std::string& error,
                      uint32_t timeoutSeconds) {
    std::vector<std::string> words = SplitBlanks(command);
    if (words.empty()) {
        error += "empty command";
        return -1;
    }
    words[0] = ProgramPath(words[0]);
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    int outPipe[2];
    int errPipe[2];
    if (::pipe2(outPipe, O_CLOEXEC) != 0) {
        error += std::string("pipe failed: ") + std::strerror(errno);
        return -1;
    }
    if (::pipe2(errPipe, O_CLOEXEC) != 0) {
        error += std::string("pipe failed: ") + std::strerror(errno);
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return -1;
    }

    pid_t pid = ::fork();
    if (pid == 0) {
        // Child: only async-signal-safe calls until exec.
        ::dup2(outPipe[1], STDOUT_FILENO);
        ::dup2(errPipe[1], STDERR_FILENO);
        int devnull = ::open("/dev/null", O_RDONLY);
        if (devnull >= 0) ::dup2(devnull, STDIN_FILENO);
        ::execvp(argv[0], argv.data());
        static const char kFailed[] = "cannot execute program\n";
        ssize_t ignored = ::write(STDERR_FILENO, kFailed, sizeof kFailed - 1);
        (void)ignored;
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    if (pid < 0) {
        error += std::string("fork failed: ") + std::strerror(errno);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        return -1;
    }

    const int64_t budgetMs = int64_t(timeoutSeconds == 0 ? kDefaultTimeoutSeconds : timeoutSeconds) * 1000;
    const int64_t deadline = wz::ClockMs() + budgetMs;
    bool outOpen = true;
    bool errOpen = true;
    bool timedOut = false;
    while (outOpen || errOpen) {
        int64_t left = deadline - wz::ClockMs();
        if (left <= 0) {
            timedOut = true;
            break;
        }
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        int ready = ::poll(fds, 2, static_cast<int>(std::min<int64_t>(wz::RealMs(left), 1000)));
        if (ready < 0 && errno != EINTR) break;
        if (ready <= 0) continue;
        if (outOpen && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) outOpen = Drain(outPipe[0], output);
        if (errOpen && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) errOpen = Drain(errPipe[0], error);
    }
    ::close(outPipe[0]);
    ::close(errPipe[0]);

    // The program may close its output and still run: the wait is bounded too.
    int status = 0;
    while (!timedOut) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno != EINTR)) break;
        if (done == 0 && wz::ClockMs() >= deadline) timedOut = true;
        if (done == 0 && !timedOut) WZSLEEP_InTeRnAl(10);
    }
    if (timedOut) {
        ::kill(pid, SIGKILL);
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    if (timedOut) {
        error += "program [" + words[0] + "] did not end in time and was killed";
        return -1;
    }
    if (!WIFEXITED(status)) {
        error += "program [" + words[0] + "] was ended by a signal";
        return -1;
    }
    return WEXITSTATUS(status);
}
