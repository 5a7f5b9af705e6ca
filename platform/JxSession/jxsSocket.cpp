// Socket I/O of the network layer: every wait is bounded by a deadline
// measured on the platform clock, in poll() for a non-blocking socket, in the
// call itself for a blocking one.
#include "JxSession/jxsSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/uio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"

namespace {

// Waits for `events` on fd until the deadline; false on time-out.
bool WaitFor(int fd, short events, int64_t deadline, int& err) {
    for (;;) {
        int64_t left = deadline - wz::ClockMs();
        if (left <= 0) return false;
        int64_t real = wz::RealMs(left);
        pollfd p{fd, events, 0};
        int rc = ::poll(&p, 1, static_cast<int>(real > INT_MAX ? INT_MAX : real));
        if (rc > 0) return true;
        if (rc < 0 && errno != EINTR) {
            err = errno;
            return true;  // the following call reports the failure
        }
    }
}

// The longest a blocking call waits before the deadline is measured again.
constexpr int64_t kSliceMs = 1000;

enum class Armed { Yes, Expired, Failed };

// Bounds the next blocking call on fd (`option` SO_RCVTIMEO or SO_SNDTIMEO) by
// what is left of the deadline, at most one slice.
Armed Arm(int fd, int option, int64_t& current, int64_t deadline, int& err) {
    const int64_t left = deadline - wz::ClockMs();
    if (left <= 0) return Armed::Expired;
    const int64_t real = std::min(wz::RealMs(left), kSliceMs);  // at least 1: 0 would mean no bound
    if (real != current) {
        timeval bound{};
        bound.tv_sec = static_cast<time_t>(real / 1000);
        bound.tv_usec = static_cast<suseconds_t>((real % 1000) * 1000);
        if (::setsockopt(fd, SOL_SOCKET, option, &bound, sizeof bound) != 0) {
            err = errno;
            current = -1;
            return Armed::Failed;
        }
        current = real;
    }
    return Armed::Yes;
}

// What a call that found the socket not ready does next: a blocking socket's
// slice has passed (go round while the deadline allows), a non-blocking one
// waits in poll. False on time-out.
bool WaitAgain(int fd, short events, int64_t deadline, bool expired, jxsBlockingWait* blocking, int& err) {
    if (blocking != nullptr) return !expired;
    return !expired && WaitFor(fd, events, deadline, err);
}

// Arms a blocking socket before a call: the flags for the call (a deadline
// already passed makes it a call that does not wait, so what has arrived is
// still taken), or false when the time-out cannot be set.
bool FlagsFor(int fd, int option, jxsBlockingWait* blocking, int64_t deadline, int& flags, bool& expired, int& err) {
    if (blocking == nullptr) return true;
    int64_t& current = option == SO_RCVTIMEO ? blocking->receiveMs : blocking->sendMs;
    switch (Arm(fd, option, current, deadline, err)) {
    case Armed::Yes:
        return true;
    case Armed::Expired:
        flags |= MSG_DONTWAIT;
        expired = true;
        return true;
    case Armed::Failed:
        return false;
    }
    return false;
}

}  // namespace

int64_t jxsDeadline(int timeoutSeconds) {
    int64_t seconds = timeoutSeconds < 0 ? kJxsDefaultTimeoutSeconds : timeoutSeconds;
    return wz::ClockMs() + seconds * 1000;
}

int64_t jxsHelperDeadline(int timeoutSeconds) {
    const int64_t seconds = timeoutSeconds < 0 ? kJxsDefaultTimeoutSeconds : timeoutSeconds;
    return wz::ClockMs() + wz::HelperWaitMs(seconds * 1000);
}

jxsIoStatus jxsWriteAll2(int fd, const void* first, size_t firstLength, const void* second, size_t secondLength,
                         int64_t deadline, int& err, jxsBlockingWait* blocking) {
    iovec parts[2] = {{const_cast<void*>(first), firstLength}, {const_cast<void*>(second), secondLength}};
    iovec* part = parts;
    size_t count = 2;
    for (;;) {
        while (count > 0 && part->iov_len == 0) {
            ++part;
            --count;
        }
        if (count == 0) return jxsIoStatus::Done;
        int flags = MSG_NOSIGNAL;
        bool expired = false;
        if (!FlagsFor(fd, SO_SNDTIMEO, blocking, deadline, flags, expired, err)) return jxsIoStatus::Failed;
        msghdr message{};
        message.msg_iov = part;
        message.msg_iovlen = count;
        ssize_t n = ::sendmsg(fd, &message, flags);
        if (n > 0) {
            // Step past what went out, part by part.
            auto sent = static_cast<size_t>(n);
            while (sent > 0) {
                size_t step = sent < part->iov_len ? sent : part->iov_len;
                part->iov_base = static_cast<char*>(part->iov_base) + step;
                part->iov_len -= step;
                sent -= step;
                if (part->iov_len == 0) {
                    ++part;
                    --count;
                }
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (!WaitAgain(fd, POLLOUT, deadline, expired, blocking, err)) return jxsIoStatus::TimedOut;
            continue;
        }
        err = errno;
        return (err == EPIPE || err == ECONNRESET) ? jxsIoStatus::Closed : jxsIoStatus::Failed;
    }
}

jxsIoStatus jxsWriteAll(int fd, const void* data, size_t length, int64_t deadline, int& err,
                        jxsBlockingWait* blocking) {
    return jxsWriteAll2(fd, data, length, nullptr, 0, deadline, err, blocking);
}

jxsIoStatus jxsReadSome(int fd, void* data, size_t capacity, int64_t deadline, size_t& got, int& err,
                        jxsBlockingWait* blocking) {
    got = 0;
    for (;;) {
        int flags = 0;
        bool expired = false;
        if (!FlagsFor(fd, SO_RCVTIMEO, blocking, deadline, flags, expired, err)) return jxsIoStatus::Failed;
        ssize_t n = ::recv(fd, data, capacity, flags);
        if (n > 0) {
            got = static_cast<size_t>(n);
            return jxsIoStatus::Done;
        }
        if (n == 0) return jxsIoStatus::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitAgain(fd, POLLIN, deadline, expired, blocking, err)) return jxsIoStatus::TimedOut;
            continue;
        }
        err = errno;
        return errno == ECONNRESET ? jxsIoStatus::Closed : jxsIoStatus::Failed;
    }
}

jxsIoStatus jxsReadExact(int fd, void* data, size_t length, int64_t deadline, size_t& got, int& err,
                         jxsBlockingWait* blocking) {
    auto p = static_cast<char*>(data);
    got = 0;
    while (got < length) {
        int flags = 0;
        bool expired = false;
        if (!FlagsFor(fd, SO_RCVTIMEO, blocking, deadline, flags, expired, err)) return jxsIoStatus::Failed;
        ssize_t n = ::recv(fd, p + got, length - got, flags);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n == 0) return jxsIoStatus::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitAgain(fd, POLLIN, deadline, expired, blocking, err)) return jxsIoStatus::TimedOut;
            continue;
        }
        err = errno;
        return errno == ECONNRESET ? jxsIoStatus::Closed : jxsIoStatus::Failed;
    }
    return jxsIoStatus::Done;
}

bool jxsSetBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

CWzError jxsConnectLoopback(uint16_t port, int64_t deadline, int& fd) {
    fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "socket() failed.");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int err = 0;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        err = errno;
        if (err == EINPROGRESS) {
            err = 0;
            if (!WaitFor(fd, POLLOUT, deadline, err)) {
                err = ETIMEDOUT;
            } else if (err == 0) {
                socklen_t len = sizeof err;
                if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) != 0) err = errno;
            }
        }
    }
    if (err != 0) {
        ::close(fd);
        fd = -1;
        return FXErrorUtil::ErrorErrNo(FXCODELOC, err, "Failed to connect to port %u.", static_cast<unsigned>(port));
    }
    return CWzError::Success();
}
