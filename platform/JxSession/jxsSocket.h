// Non-blocking socket I/O bounded by platform-time deadlines.
#pragma once

#include <cstddef>
#include <cstdint>

#include "WzUtils/CWzError.h"

// Time-outs are platform seconds; a negative one means the layer's default
// bound (six hours), so that no wait is unbounded.
constexpr int kJxsDefaultTimeoutSeconds = 21600;
int64_t jxsDeadline(int timeoutSeconds);

// Why an I/O call stopped short.
enum class jxsIoStatus { Done, TimedOut, Closed, Failed };

// Writes all `length` bytes before the deadline.
jxsIoStatus jxsWriteAll(int fd, const void* data, size_t length, int64_t deadline, int& err);
// Writes all of `first` then all of `second` before the deadline, together in
// one call when the socket takes them.
jxsIoStatus jxsWriteAll2(int fd, const void* first, size_t firstLength, const void* second, size_t secondLength,
                         int64_t deadline, int& err);
// Reads exactly `length` bytes before the deadline; `got` tells how many came.
jxsIoStatus jxsReadExact(int fd, void* data, size_t length, int64_t deadline, size_t& got, int& err);
// Reads what has arrived, at least one byte and at most `capacity`, before
// the deadline; `got` tells how many came. With `waitFirst` it waits for
// input before the first read (a caller that expects to wait saves the read
// that would find nothing).
jxsIoStatus jxsReadSome(int fd, void* data, size_t capacity, int64_t deadline, bool waitFirst, size_t& got,
                        int& err);

// Connects to 127.0.0.1:port before the deadline; the socket is non-blocking.
CWzError jxsConnectLoopback(uint16_t port, int64_t deadline, int& fd);
// Makes an accepted socket non-blocking.
bool jxsSetNonBlocking(int fd);
