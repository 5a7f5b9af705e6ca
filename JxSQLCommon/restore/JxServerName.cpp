// GetJxServerName: reads the central server's host name from the settings.
#include "JxSQLCommon/restore/JxServerName.h"

#include "JxLib/EvDebug.h"
#include "JxLib/JXPIPlatformBase.h"

std::string GetJxServerName() {
    std::string name = JXPI_PlatformBase().getJxServerHostName();
    if (!name.empty()) {
        EvDebug log;
        EV_DEBUG(log, 3, "JxServe name is [%s].", name.c_str());
    }
    return name;
}
