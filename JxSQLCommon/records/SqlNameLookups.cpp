// Names of this machine and of instances.
#include "JxSQLCommon/records/SqlNameLookups.h"

#include <cstdint>

#include "JXAppMgr/Instance.h"
#include "JXAppMgr/JXClient.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/DumpLayoutConstants.h"
#include "WzUtils/FXErrorUtil.h"

CWzError GetSQLPmnInstanceName(unsigned long instanceId, std::string& name) {
    if (instanceId == 0) return FXErrorUtil::ErrorJXResult(FXCODELOC, 1991, "Instance ID is invalid.");
    // A failed look-up counts even when `name` held text before the call.
    const int result = MsSqlInstance(instanceId).getInstanceName(name);
    if (result != 0 || name.empty())
        return FXErrorUtil::ErrorJXResult(FXCODELOC, 1992, "Invlid instance name with error code [%d].", result);
    return CWzError::Success();
}

std::string GetCurrentMachineName() {
    JXPlatformInfo settings;
    std::string name;
    if (!settings.getString("", "sPhysicalNodeName", name)) {
        EvDebug log;
        EV_ERROR(log, "Failed to get physical node name with last error [%lu].",
                 static_cast<unsigned long>(settings.getLastError()));
        return std::string();
    }
    return name;
}

unsigned long GetClientId(const std::string& clientName) {
    uint64_t id = 0;
    const int result = JXClient(clientName).getClientId(id);
    if (result != 0) {
        EvDebug log;
        EV_ERROR(log, "Failed to fetch client ID for client [%s] with error [%d].", clientName.c_str(), result);
        return 0;
    }
    return id;
}

bool GetDefaultSQLInstancePortNo(const std::string& /*instance*/, std::string& port) {
    port = sqlosc::DEFAULT_SQL_PORT_NUMBER;
    return true;
}
