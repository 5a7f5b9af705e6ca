// ClientApplicationList: subclient lists read from the model file.
#include "JXAppMgr/ClientApplicationList.h"

#include <cerrno>
#include <cstdlib>
#include <map>

#include "JXAppMgr/AppModel.h"
#include "JxLib/SettingsFile.h"

namespace {

bool HasValue(const std::map<std::string, std::string>& keys, const char* key, uint64_t value) {
    auto entry = keys.find(key);
    return entry != keys.end() && entry->second == std::to_string(value);
}

// The objects of a kind ("<kind>/<id>") that `belongs` accepts, by id.
template <typename Accept>
std::map<uint64_t, std::string> ObjectsOfKind(const std::string& kind, Accept belongs) {
    const std::string prefix = kind + "/";
    std::map<uint64_t, std::string> found;  // id to name, ordered by id
    for (const auto& [object, keys] : SettingsFile(AppModel::FilePath()).Load()) {
        if (object.compare(0, prefix.size(), prefix) != 0) continue;
        const std::string idText = object.substr(prefix.size());
        if (idText.empty() || idText.find_first_not_of("0123456789") != std::string::npos) continue;
        char* end = nullptr;
        errno = 0;
        unsigned long long id = std::strtoull(idText.c_str(), &end, 10);
        if (errno == ERANGE || !belongs(keys)) continue;
        auto name = keys.find("name");
        found[id] = name == keys.end() ? std::string() : name->second;
    }
    return found;
}

}  // namespace

int ClientApplicationList::getSubclientList(std::list<uint64_t>& ids, std::list<std::string>& names,
                                            uint64_t clientId, uint64_t /*appTypeId*/, uint64_t instanceId,
                                            uint64_t backupSetId, void* /*reserved*/, int /*flags*/) {
    for (const auto& [id, name] : ObjectsOfKind("subclient", [&](const auto& keys) {
             return HasValue(keys, "clientId", clientId) && HasValue(keys, "instanceId", instanceId) &&
                    HasValue(keys, "backupSetId", backupSetId);
         })) {
        ids.push_back(id);
        names.push_back(name);
    }
    return 0;
}

int ClientApplicationList::getSubclientList(std::list<uint64_t>& ids, std::list<std::string>& names,
                                            uint64_t /*appTypeId*/, uint64_t backupSetId, void* /*reserved*/,
                                            int /*flags*/) {
    for (const auto& [id, name] :
         ObjectsOfKind("subclient", [&](const auto& keys) { return HasValue(keys, "backupSetId", backupSetId); })) {
        ids.push_back(id);
        names.push_back(name);
    }
    return 0;
}

int ClientApplicationList::getDefaultBackupSet(uint64_t clientId, uint64_t /*appTypeId*/, uint64_t instanceId,
                                               uint64_t& backupSetId, std::string& backupSetName) {
    const auto sets = ObjectsOfKind("backupset", [&](const auto& keys) {
        return HasValue(keys, "clientId", clientId) && HasValue(keys, "instanceId", instanceId) &&
               HasValue(keys, "isDefault", 1);
    });
    if (sets.empty()) return JXAPPMGR_E_NO_OBJECT;
    backupSetId = sets.begin()->first;
    backupSetName = sets.begin()->second;
    return 0;
}
