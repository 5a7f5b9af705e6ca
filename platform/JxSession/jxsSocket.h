// Socket I/O bounded by platform-time deadlines.
//
// A non-blocking socket waits in poll(). A blocking one (the sessions') waits
// in the call itself, which wakes its thread straight from the data's arrival;
// the call is bounded by the socket's time-out, set to what is left of the
// deadline in slices of at most a second, so the deadline is still kept on the
// platform clock, whose time tests can scale.
#pragma once

#include <cstddef>
#include <cstdint>

#include "WzUtils/CWzError.h"

// Time-outs are platform seconds; a negative one means the layer's default
// bound (six hours), so that no wait is unbounded.
constexpr int kJxsDefaultTimeoutSeconds = 21600;
int64_t jxsDeadline(int timeoutSeconds);
// The same for a wait on another process (a program this one started, or the
// one that started this program): at least the helper-wait floor of
// WzUtils/WzClock.h.
int64_t jxsHelperDeadline(int timeoutSeconds);

// Why an I/O call stopped short.
enum class jxsIoStatus { Done, TimedOut, Closed, Failed };

// The time-outs last set on a blocking socket (real milliseconds, -1 for not
// yet), so that each is set again only when it changes. Passed to the calls
// below for a blocking socket; nullptr for a non-blocking one.
struct jxsBlockingWait {
    int64_t receiveMs = -1;
    int64_t sendMs = -1;
};

// Writes all `length` bytes before the deadline.
jxsIoStatus jxsWriteAll(int fd, const void* data, size_t length, int64_t deadline, int& err,
                        jxsBlockingWait* blocking = nullptr);
// Writes all of `first` then all of `second` before the deadline, together in
// one call when the socket takes them.
jxsIoStatus jxsWriteAll2(int fd, const void* first, size_t firstLength, const void* second, size_t secondLength,
                         int64_t deadline, int& err, jxsBlockingWait* blocking = nullptr);
// Reads exactly `length` bytes before the deadline; `got` tells how many came.
jxsIoStatus jxsReadExact(int fd, void* data, size_t length, int64_t deadline, size_t& got, int& err,
                         jxsBlockingWait* blocking = nullptr);
// Reads what has arrived, at least one byte and at most `capacity`, before
// the deadline; `got` tells how many came. A deadline already passed still
// takes what has arrived.
jxsIoStatus jxsReadSome(int fd, void* data, size_t capacity, int64_t deadline, size_t& got, int& err,
                        jxsBlockingWait* blocking = nullptr);

// Connects to 127.0.0.1:port before the deadline; the socket is non-blocking.
CWzError jxsConnectLoopback(uint16_t port, int64_t deadline, int& fd);
// Makes a socket blocking, its calls then bounded through jxsBlockingWait.
bool jxsSetBlocking(int fd);
