// MangleHostName: the target text the network layer resolves to reach a
// host's service through the host name, the client name it serves under and
// its two ports. Targets are looked up by this text in the network layer's
// targets file, so set-up and callers build it with this one function.
#pragma once

#include <string>

std::string MangleHostName(const std::string& host, const std::string& clientName, unsigned long port1,
                           unsigned long port2);
