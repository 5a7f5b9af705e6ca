// InstanceByName: instance look-up by name in the model file.
#include "JXAppMgr/InstanceByName.h"

#include <strings.h>

#include <cerrno>
#include <cstdlib>

#include "JXAppMgr/AppModel.h"
#include "JxLib/SettingsFile.h"

int InstanceByName::getInstanceId(uint64_t clientId, uint64_t /*appTypeId*/, const std::string& instanceName,
                                  uint64_t& instanceId) {
    if (instanceName.empty()) return JXAPPMGR_E_NO_OBJECT;
    const std::string prefix = "instance/";
    for (const auto& [object, keys] : SettingsFile(AppModel::FilePath()).Load()) {
        if (object.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string idText = object.substr(prefix.size());
        if (idText.empty() || idText.find_first_not_of("0123456789") != std::string::npos) continue;
        auto client = keys.find("clientId");
        auto name = keys.find("name");
        if (client == keys.end() || client->second != std::to_string(clientId) || name == keys.end() ||
            strcasecmp(name->second.c_str(), instanceName.c_str()) != 0) {
            continue;
        }
        errno = 0;
        const unsigned long long id = std::strtoull(idText.c_str(), nullptr, 10);
        if (errno == ERANGE) continue;
        instanceId = id;
        return 0;
    }
    return JXAPPMGR_E_NO_OBJECT;
}
