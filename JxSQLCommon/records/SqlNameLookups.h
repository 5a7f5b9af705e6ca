// Names of this machine and of instances, as the dump and restore code needs them.
#pragma once

#include <string>

// The physical node name of this machine (setting "sPhysicalNodeName" of the
// settings store's top level); empty, with an error line in the log, when it
// cannot be read.
std::string GetCurrentMachineName();

// The port of an instance: "1433" for every instance on this platform.
bool GetDefaultSQLInstancePortNo(const std::string& instance, std::string& port);
