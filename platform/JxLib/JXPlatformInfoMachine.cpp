// JXPlatformInfo: the machine's own client name and its network name.
#include <unistd.h>

#include "JxLib/JXPlatformInfo.h"

std::string JXPlatformInfo::getPhysicalMachine() {
    std::string name;
    if (getString("", "sPhysicalNodeName", name) && !name.empty()) return name;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) != 0) return {};
    return host;
}

int JXPlatformInfo::getClientHostNameMangled(const std::string& name, std::string& mangled) {
    if (name.empty()) return 0;
    mangled = name;
    return 1;
}
