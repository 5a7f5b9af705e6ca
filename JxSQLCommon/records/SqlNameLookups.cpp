// Names of this machine and of instances.
#include "JxSQLCommon/records/SqlNameLookups.h"

#include "JxLib/EvDebug.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/DumpLayoutConstants.h"

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

bool GetDefaultSQLInstancePortNo(const std::string& /*instance*/, std::string& port) {
    port = sqlosc::DEFAULT_SQL_PORT_NUMBER;
    return true;
}
