// Names of this machine and of instances, as the dump and restore code needs them.
#pragma once

#include <string>

#include "WzUtils/CWzError.h"

// The name of an instance of the application model. Id 0 is refused (1991),
// and so is an instance without a name (1992).
CWzError GetSQLPmnInstanceName(unsigned long instanceId, std::string& name);

// The physical node name of this machine (setting "sPhysicalNodeName" of the
// settings store's top level); empty, with an error line in the log, when it
// cannot be read.
std::string GetCurrentMachineName();

// The id of the client named `clientName`; 0, with an error line in the log,
// when the application model does not know it.
unsigned long GetClientId(const std::string& clientName);

// The port of an instance: "1433" for every instance on this platform.
bool GetDefaultSQLInstancePortNo(const std::string& instance, std::string& port);
