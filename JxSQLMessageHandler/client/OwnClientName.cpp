// The own client name passed with every attach.
#include "JxSQLMessageHandler/client/OwnClientName.h"

#include <cstring>
#include <string>

#include "JxLib/JXPlatformInfo.h"

void GetOwnClientName(char (&name)[kOwnClientNameSize]) {
    std::memset(name, 0, sizeof name);
    JXPlatformInfo settings;
    if ((settings.getJXPlatformType() & 1) != 0) {
        settings.getJxServerClientName(name, kOwnClientNameSize);
        return;
    }
    std::string machine = settings.getPhysicalMachine();
    std::strncpy(name, machine.c_str(), kOwnClientNameSize - 1);
}
