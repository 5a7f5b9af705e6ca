// AppModel: the model file and typed property reads.
#include "JXAppMgr/AppModel.h"

#include <cerrno>
#include <cstdlib>

#include "JxLib/SettingsFile.h"
#include "WzUtils/PlatformRoot.h"

std::string AppModel::FilePath() { return wz::PlatformPath("appmgr/model.ini"); }

std::string AppModel::ObjectName(const std::string& kind, uint64_t id) { return kind + "/" + std::to_string(id); }

bool AppModel::Exists(const std::string& object) {
    SettingsFile::Sections all = SettingsFile(FilePath()).Load();
    return all.count(object) != 0;
}

std::optional<std::string> AppModel::Get(const std::string& object, const std::string& key) {
    return SettingsFile(FilePath()).Get(object, key);
}

bool AppModel::Set(const std::string& object, const std::string& key, const std::string& value) {
    return SettingsFile(FilePath()).Set(object, key, value);
}

int AppModel::GetText(const std::string& object, const std::string& key, std::string& value) {
    SettingsFile::Sections all = SettingsFile(FilePath()).Load();
    auto section = all.find(object);
    if (section == all.end()) return JXAPPMGR_E_NO_OBJECT;
    auto entry = section->second.find(key);
    if (entry == section->second.end()) return JXAPPMGR_PROP_NOT_SET;
    value = entry->second;
    return 0;
}

int AppModel::GetSigned(const std::string& object, const std::string& key, int64_t& value) {
    std::string text;
    if (int rc = GetText(object, key, text); rc != 0) return rc;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || errno == ERANGE) return JXAPPMGR_E_BAD_VALUE;
    value = v;
    return 0;
}

int AppModel::GetUnsigned(const std::string& object, const std::string& key, uint64_t& value) {
    std::string text;
    if (int rc = GetText(object, key, text); rc != 0) return rc;
    if (text.empty() || text[0] == '-' || text[0] == '+') return JXAPPMGR_E_BAD_VALUE;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(text.c_str(), &end, 10);
    if (*end != '\0' || errno == ERANGE) return JXAPPMGR_E_BAD_VALUE;
    value = v;
    return 0;
}

std::optional<uint64_t> AppModel::FindByProperty(const std::string& kind, const std::string& key,
                                                 const std::string& value) {
    const std::string prefix = kind + "/";
    for (const auto& [name, keys] : SettingsFile(FilePath()).Load()) {
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        auto entry = keys.find(key);
        if (entry == keys.end() || entry->second != value) continue;
        const std::string id = name.substr(prefix.size());
        char* end = nullptr;
        unsigned long long v = std::strtoull(id.c_str(), &end, 10);
        if (!id.empty() && *end == '\0') return v;
    }
    return std::nullopt;
}

namespace {

std::string LookupsPath() { return wz::PlatformPath("appmgr/lookups.ini"); }

}  // namespace

void AppModel::RecordLookup(uint64_t jxCellId, uint64_t appNumber) {
    (void)SettingsFile(LookupsPath()).Set(ObjectName("subclient", appNumber), "jxCellId", std::to_string(jxCellId));
}

std::optional<uint64_t> AppModel::LookedUpJxCellId(uint64_t appNumber) {
    std::optional<std::string> text = SettingsFile(LookupsPath()).Get(ObjectName("subclient", appNumber), "jxCellId");
    if (!text || text->empty()) return std::nullopt;
    return std::strtoull(text->c_str(), nullptr, 10);
}
