// Socket I/O of the network layer: every wait is a poll bounded by a deadline
// measured on the platform clock.
#include "JxSession/jxsSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

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

}  // namespace

int64_t jxsDeadline(int timeoutSeconds) {
    int64_t seconds = timeoutSeconds < 0 ? kJxsDefaultTimeoutSeconds : timeoutSeconds;
    return wz::ClockMs() + seconds * 1000;
}

jxsIoStatus jxsWriteAll2(int fd, const void* first, size_t firstLength, const void* second, size_t secondLength,
                         int64_t deadline, int& err) {
    iovec parts[2] = {{const_cast<void*>(first), firstLength}, {const_cast<void*>(second), secondLength}};
    iovec* part = parts;
    size_t count = 2;
    for (;;) {
        while (count > 0 && part->iov_len == 0) {
            ++part;
            --count;
        }
        if (count == 0) return jxsIoStatus::Done;
        msghdr message{};
        message.msg_iov = part;
        message.msg_iovlen = count;
        ssize_t n = ::sendmsg(fd, &message, MSG_NOSIGNAL);
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
            if (!WaitFor(fd, POLLOUT, deadline, err)) return jxsIoStatus::TimedOut;
            continue;
        }
        err = errno;
        return (err == EPIPE || err == ECONNRESET) ? jxsIoStatus::Closed : jxsIoStatus::Failed;
    }
}

jxsIoStatus jxsWriteAll(int fd, const void* data, size_t length, int64_t deadline, int& err) {
    return jxsWriteAll2(fd, data, length, nullptr, 0, deadline, err);
}

jxsIoStatus jxsReadSome(int fd, void* data, size_t capacity, int64_t deadline, bool waitFirst, size_t& got,
                        int& err) {
    got = 0;
    // A wait that times out still lets one read take what has arrived.
    const bool timedOut = waitFirst && !WaitFor(fd, POLLIN, deadline, err);
    for (;;) {
        ssize_t n = ::recv(fd, data, capacity, 0);
        if (n > 0) {
            got = static_cast<size_t>(n);
            return jxsIoStatus::Done;
        }
        if (n == 0) return jxsIoStatus::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (timedOut || !WaitFor(fd, POLLIN, deadline, err)) return jxsIoStatus::TimedOut;
            continue;
        }
        err = errno;
        return errno == ECONNRESET ? jxsIoStatus::Closed : jxsIoStatus::Failed;
    }
}

jxsIoStatus jxsReadExact(int fd, void* data, size_t length, int64_t deadline, size_t& got, int& err) {
    auto p = static_cast<char*>(data);
    got = 0;
    while (got < length) {
        ssize_t n = ::recv(fd, p + got, length - got, 0);
        if (n > 0) {
            got += static_cast<size_t>(n);
            continue;
        }
        if (n == 0) return jxsIoStatus::Closed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            if (!WaitFor(fd, POLLIN, deadline, err)) return jxsIoStatus::TimedOut;
            continue;
        }
        err = errno;
        return errno == ECONNRESET ? jxsIoStatus::Closed : jxsIoStatus::Failed;
    }
    return jxsIoStatus::Done;
}

bool jxsSetNonBlocking(int fd) {
    int flags = ::fcntl(fd, F_GETFL, 0);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
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
