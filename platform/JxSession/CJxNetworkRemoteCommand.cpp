// CJxNetwork: sessions with a program this one starts. The caller listens on
// a loopback port of its own, starts the program through the process runner
// with the port and a one-time key, and takes the first connection that
// presents the key; the program connects back and presents it.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstring>
#include <random>
#include <string>

#include "JxLib/JxProcess.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsSocket.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"

namespace {

const char* const kCallerPort = "-jxscallerport";
const char* const kCallerKey = "-jxscallerkey";
constexpr size_t kKeyLength = 32;

std::string NewKey() {
    std::random_device device;
    static const char digits[] = "0123456789abcdef";
    std::string key;
    for (size_t i = 0; i < kKeyLength; ++i) key += digits[device() % 16];
    return key;
}

int ListenLoopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 4) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return -1;
    }
    port = ntohs(address.sin_port);
    return fd;
}

// Accepts connections until one presents `key` or the deadline passes.
int AcceptWithKey(int listener, const std::string& key, int64_t deadline, int& err) {
    for (;;) {
        const int64_t left = deadline - wz::ClockMs();
        if (left <= 0) {
            err = ETIMEDOUT;
            return -1;
        }
        pollfd p = {listener, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<int64_t>(wz::RealMs(left), 1000)));
        if (ready < 0 && errno != EINTR) {
            err = errno;
            return -1;
        }
        if (ready <= 0) continue;
        const int fd = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        std::string presented(kKeyLength, '\0');
        size_t got = 0;
        int readErr = 0;
        if (jxsReadExact(fd, presented.data(), kKeyLength, deadline, got, readErr) == jxsIoStatus::Done &&
            presented == key) {
            return fd;
        }
        ::close(fd);  // not the program this session started
    }
}

}  // namespace

CWzError CJxNetwork::Attach_RemoteCommand(const std::string& host, const jxsExecuteRemoteCommandType* command,
                                          const char*, void*, int timeout, bool& flag) {
    flag = false;
    if (command == nullptr || command->program.empty()) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "No program to start."), EINVAL);
    }
    Close();
    uint16_t port = 0;
    const int listener = ListenLoopback(port);
    if (listener < 0) {
        const int err = errno;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, err, "Cannot listen for the program's call-back."), err);
    }
    const std::string key = NewKey();
    std::vector<std::string> words = {command->program};
    words.insert(words.end(), command->arguments.begin(), command->arguments.end());
    words.insert(words.end(), {kCallerPort, std::to_string(port), kCallerKey, key});
    std::string error;
    if (JxProcess::StartProcess(words, error) != 1) {
        ::close(listener);
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, ENOEXEC, "Cannot start [%s] on [%s]: %s",
                                            command->program.c_str(), host.c_str(), error.c_str()),
                    ENOEXEC);
    }
    int err = 0;
    const int fd = AcceptWithKey(listener, key, jxsHelperDeadline(timeout), err);
    ::close(listener);
    if (fd < 0) {
        flag = err == ETIMEDOUT;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, err, "[%s] on [%s] did not connect back.",
                                            command->program.c_str(), host.c_str()),
                    static_cast<uint64_t>(err));
    }
    m_fd = fd;
    return CWzError::Success();
}

CWzError CJxNetwork::AttachBackToCaller(int argc, char** argv, bool& flag) {
    flag = false;
    std::string portText, key;
    for (int i = 1; argv != nullptr && i + 1 < argc; ++i) {
        if (argv[i] == nullptr || argv[i + 1] == nullptr) continue;
        if (std::strcmp(argv[i], kCallerPort) == 0) portText = argv[i + 1];
        if (std::strcmp(argv[i], kCallerKey) == 0) key = argv[i + 1];
    }
    char* end = nullptr;
    const unsigned long port = portText.empty() ? 0 : std::strtoul(portText.c_str(), &end, 10);
    if (port == 0 || port > 65535 || *end != '\0' || key.size() != kKeyLength) {
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, EINVAL, "No caller to connect back to."), EINVAL);
    }
    Close();
    const int64_t deadline = jxsHelperDeadline(120);
    int fd = -1;
    if (CWzError e = jxsConnectLoopback(static_cast<uint16_t>(port), deadline, fd); e.IsError()) {
        return Fail(e, ECONNREFUSED);
    }
    int err = 0;
    if (jxsWriteAll(fd, key.data(), key.size(), deadline, err) != jxsIoStatus::Done) {
        ::close(fd);
        flag = err == 0;
        return Fail(FXErrorUtil::ErrorErrNo(FXCODELOC, err != 0 ? err : ETIMEDOUT, "Cannot reach the caller."),
                    static_cast<uint64_t>(err != 0 ? err : ETIMEDOUT));
    }
    m_fd = fd;
    return CWzError::Success();
}
