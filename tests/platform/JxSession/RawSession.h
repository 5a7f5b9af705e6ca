// Test support: a raw loopback connection that has attached to a handler, for
// tests that then write frames by hand.
#pragma once

#include <cstdint>
#include <string>

namespace jxtest {

// Connects to 127.0.0.1:`port`, sends an attach request for (library, entry)
// and reads a successful attach reply, each step within `timeoutSeconds`
// platform seconds; the socket, or -1 on any failure.
int AttachRawSession(uint16_t port, const std::string& library, const std::string& entry, int timeoutSeconds);

}  // namespace jxtest
