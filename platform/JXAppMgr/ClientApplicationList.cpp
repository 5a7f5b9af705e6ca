// ClientApplicationList: subclient lists read from the model file.
#include "JXAppMgr/ClientApplicationList.h"

#include <cstdlib>
#include <map>

#include "JXAppMgr/AppModel.h"
#include "JxLib/SettingsFile.h"

namespace {

bool HasValue(const std::map<std::string, std::string>& keys, const char* key, uint64_t value) {
    auto entry = keys.find(key);
    return entry != keys.end() && entry->second == std::to_string(value);
}

}  // namespace

int ClientApplicationList::getSubclientList(std::list<uint64_t>& ids, std::list<std::string>& names,
                                            uint64_t clientId, uint64_t /*appTypeId*/, uint64_t instanceId,
                                            uint64_t backupSetId, void* /*reserved*/, int /*flags*/) {
    const std::string prefix = "subclient/";
    std::map<uint64_t, std::string> found;  // ordered by id
    for (const auto& [object, keys] : SettingsFile(AppModel::FilePath()).Load()) {
        if (object.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string idText = object.substr(prefix.size());
        char* end = nullptr;
        unsigned long long id = std::strtoull(idText.c_str(), &end, 10);
        if (idText.empty() || *end != '\0') continue;
        if (!HasValue(keys, "clientId", clientId) || !HasValue(keys, "instanceId", instanceId) ||
            !HasValue(keys, "backupSetId", backupSetId)) {
            continue;
        }
        auto name = keys.find("name");
        found[id] = name == keys.end() ? std::string() : name->second;
    }
    for (const auto& [id, name] : found) {
        ids.push_back(id);
        names.push_back(name);
    }
    return 0;
}
