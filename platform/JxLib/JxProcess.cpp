// JxProcess: fork/exec with captured output and a bounded wait.
#include "JxLib/JxProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
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

// The exec argument vector over `words` (which must outlive it).
std::vector<char*> ArgumentVector(std::vector<std::string>& words) {
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    return argv;
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
    std::vector<char*> argv = ArgumentVector(words);

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

    const int64_t budgetMs =
        wz::HelperWaitMs(int64_t(timeoutSeconds == 0 ? kDefaultTimeoutSeconds : timeoutSeconds) * 1000);
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

int JxProcess::StartProcess(const std::string& /*workingFolder*/, const std::string& command, std::string& error,
                            int /*flags*/) {
    return StartProcess(SplitBlanks(command), error);
}

int JxProcess::StartProcess(std::vector<std::string> words, std::string& error) {
    if (words.empty()) {
        error = "empty command";
        return 0;
    }
    words[0] = ProgramPath(words[0]);
    std::vector<char*> argv = ArgumentVector(words);

    // The program's exec failure (its errno) comes back through this pipe;
    // a successful exec closes it empty.
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        error = std::string("pipe failed: ") + std::strerror(errno);
        return 0;
    }
    // Tests keep the program in their own session: the scheduler gives a new
    // session a group of its own, and on processors that busy programs keep
    // saturated such a group can wait minutes for its first turn.
    const bool ownSession = std::getenv(kStartInCallerSessionEnv) == nullptr;
    pid_t pid = ::fork();
    if (pid == 0) {
        // Child: starts the program in a grandchild and ends at once, so the
        // program is adopted by init and never becomes a zombie here.
        if (ownSession) ::setsid();
        pid_t program = ::fork();
        if (program < 0) {
            int err = errno;
            ssize_t ignored = ::write(status[1], &err, sizeof err);
            (void)ignored;
        } else if (program == 0) {
            int devnull = ::open("/dev/null", O_RDWR);
            if (devnull >= 0) {
                ::dup2(devnull, STDIN_FILENO);
                ::dup2(devnull, STDOUT_FILENO);
                ::dup2(devnull, STDERR_FILENO);
            }
            ::execvp(argv[0], argv.data());
            int err = errno;
            ssize_t ignored = ::write(status[1], &err, sizeof err);
            (void)ignored;
        }
        ::_exit(0);
    }
    ::close(status[1]);
    if (pid < 0) {
        error = std::string("fork failed: ") + std::strerror(errno);
        ::close(status[0]);
        return 0;
    }
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }

    int execError = 0;
    ssize_t n = -1;  // stays -1 when nothing came back in time
    pollfd fd = {status[0], POLLIN, 0};
    const int64_t deadline = wz::ClockMs() + wz::HelperWaitMs(int64_t(kDefaultTimeoutSeconds) * 1000);
    while (true) {
        const int64_t left = deadline - wz::ClockMs();
        if (left <= 0) break;
        int ready = ::poll(&fd, 1, static_cast<int>(std::min<int64_t>(wz::RealMs(left), 1000)));
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            n = ::read(status[0], &execError, sizeof execError);
            if (n >= 0 || errno != EINTR) break;
        }
    }
    ::close(status[0]);
    if (n == static_cast<ssize_t>(sizeof execError)) {
        error = "cannot execute program [" + words[0] + "]: " + std::strerror(execError);
        return 0;
    }
    if (n != 0) {
        error = "program [" + words[0] + "] did not report its start";
        return 0;
    }
    return 1;
}

pid_t JxProcess::StartChild(const std::string& command, std::string& error, bool emptyEnvironment) {
    std::vector<std::string> words = SplitBlanks(command);
    if (words.empty()) {
        error = "empty command";
        return -1;
    }
    words[0] = ProgramPath(words[0]);
    std::vector<char*> argv = ArgumentVector(words);
    char* noEnvironment[] = {nullptr};

    // The exec failure (its errno) comes back through this pipe; a
    // successful exec closes it empty.
    int status[2];
    if (::pipe2(status, O_CLOEXEC) != 0) {
        error = std::string("pipe failed: ") + std::strerror(errno);
        return -1;
    }
    pid_t pid = ::fork();
    if (pid == 0) {
        int devnull = ::open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            ::dup2(devnull, STDIN_FILENO);
            ::dup2(devnull, STDOUT_FILENO);
            ::dup2(devnull, STDERR_FILENO);
        }
        if (emptyEnvironment) {
            ::execvpe(argv[0], argv.data(), noEnvironment);
        } else {
            ::execvp(argv[0], argv.data());
        }
        int err = errno;
        ssize_t ignored = ::write(status[1], &err, sizeof err);
        (void)ignored;
        ::_exit(127);
    }
    ::close(status[1]);
    if (pid < 0) {
        error = std::string("fork failed: ") + std::strerror(errno);
        ::close(status[0]);
        return -1;
    }
    int execError = 0;
    ssize_t n = 0;
    do {
        n = ::read(status[0], &execError, sizeof execError);
    } while (n < 0 && errno == EINTR);
    ::close(status[0]);
    if (n == static_cast<ssize_t>(sizeof execError)) {
        while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
        error = "cannot execute program [" + words[0] + "]: " + std::strerror(execError);
        return -1;
    }
    return pid;
}

bool JxProcess::ChildEnded(pid_t pid, int* exitCode) {
    if (pid <= 0) return true;
    int status = 0;
    pid_t done = 0;
    do {
        done = ::waitpid(pid, &status, WNOHANG);
    } while (done < 0 && errno == EINTR);
    if (done == 0) return false;
    if (done == pid && exitCode != nullptr) {
        *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    }
    return true;
}

bool JxProcess::EndChild(pid_t pid, int signal, uint32_t timeoutSeconds) {
    if (ChildEnded(pid)) return true;
    if (::kill(pid, signal) != 0) return false;
    const int64_t deadline =
        wz::ClockMs() + int64_t(timeoutSeconds == 0 ? kDefaultTimeoutSeconds : timeoutSeconds) * 1000;
    while (!ChildEnded(pid)) {
        if (wz::ClockMs() >= deadline) {
            ::kill(pid, SIGKILL);
            while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
            }
            break;
        }
        WZSLEEP_InTeRnAl(10);
    }
    return true;
}

int JxProcess::StartProcess(const char* workingFolder, const char* command, char* errorText, int errorSize,
                            int flags) {
    if (errorText != nullptr && errorSize > 0) errorText[0] = '\0';
    std::string error;
    const int result = StartProcess(workingFolder != nullptr ? workingFolder : "", command != nullptr ? command : "",
                                    error, flags);
    if (result != 1 && errorText != nullptr && errorSize > 0) {
        const size_t length = std::min(error.size(), static_cast<size_t>(errorSize) - 1);
        std::memcpy(errorText, error.data(), length);
        errorText[length] = '\0';
    }
    return result;
}
