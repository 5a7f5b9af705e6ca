// Where targets listen: the file "network/targets.ini" under the platform
// root maps a target name (section "targets", key = the name as callers pass
// it) to the loopback port of the host that serves it.
#pragma once

#include <cstdint>
#include <string>

#include "WzUtils/CWzError.h"

std::string jxsTargetsPath();
// The port of `target`; an error when the target is unknown or its port invalid.
CWzError jxsResolveTarget(const std::string& target, uint16_t& port);
// Records (or replaces) the port of `target`.
bool jxsRegisterTarget(const std::string& target, uint16_t port);
