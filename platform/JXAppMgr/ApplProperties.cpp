// ApplProperties: a subclient's typed properties read from the model file.
#include "JXAppMgr/ApplProperties.h"

#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <utility>

#include "JXAppMgr/AppModel.h"
#include "JxLib/SettingsFile.h"

namespace {

// Splits "property<type>_<n>" into its two numbers.
bool ParseKey(const std::string& key, int& type, long& number) {
    const std::string prefix = "property";
    if (key.compare(0, prefix.size(), prefix) != 0) return false;
    const char* text = key.c_str() + prefix.size();
    char* end = nullptr;
    long parsedType = std::strtol(text, &end, 10);
    if (end == text || *end != '_') return false;
    const char* numberText = end + 1;
    long parsedNumber = std::strtol(numberText, &end, 10);
    if (end == numberText || *end != '\0' || parsedType < 0 || parsedType > 0xffff || parsedNumber < 1) return false;
    type = static_cast<int>(parsedType);
    number = parsedNumber;
    return true;
}

std::string PropertyKey(int type, long number) {
    return "property" + std::to_string(type) + "_" + std::to_string(number);
}

std::string AutoKey(int type, long number) { return "auto" + std::to_string(type) + "_" + std::to_string(number); }

}  // namespace

int ApplProperties::getProperties(PropertiesList& list, void* /*reserved*/) const {
    SettingsFile::Sections all = SettingsFile(AppModel::FilePath()).Load();
    auto section = all.find(AppModel::ObjectName("subclient", m_subclientId));
    if (section == all.end()) return JXAPPMGR_E_NO_OBJECT;
    std::map<std::pair<int, long>, std::string> ordered;
    for (const auto& [key, value] : section->second) {
        int type = 0;
        long number = 0;
        if (ParseKey(key, type, number)) ordered[{type, number}] = value;
    }
    for (const auto& [position, value] : ordered) {
        if (position.first == kApplPropertyTypeSqlDatabase) {
            auto flag = section->second.find(AutoKey(position.first, position.second));
            const bool autoDiscovered = flag != section->second.end() && flag->second == "1";
            list.addToPropList(std::make_shared<MSSQLDBProperty>(value, autoDiscovered, position.second));
        } else if (position.first == kApplPropertyTypeSqlFileGroup) {
            list.addToPropList(std::make_shared<MSSQLFFGProperty>(value, position.second));
        } else {
            list.addToPropList(std::make_shared<ApplProperty>(position.first, value, position.second));
        }
    }
    return 0;
}

int ApplProperties::deleteProperties(const PropertiesList& list) const {
    const std::string object = AppModel::ObjectName("subclient", m_subclientId);
    if (!AppModel::Exists(object)) return JXAPPMGR_E_NO_OBJECT;
    SettingsFile file(AppModel::FilePath());
    for (const auto& property : list.getList()) {
        // Removing a key that is not there is no failure.
        (void)file.Remove(object, PropertyKey(property->getType(), property->getNumber()));
        (void)file.Remove(object, AutoKey(property->getType(), property->getNumber()));
    }
    return 0;
}

int ApplProperties::addDatabase(const std::string& databaseName, bool autoDiscovered) const {
    const std::string object = AppModel::ObjectName("subclient", m_subclientId);
    SettingsFile file(AppModel::FilePath());
    SettingsFile::Sections all = file.Load();
    auto section = all.find(object);
    if (section == all.end()) return JXAPPMGR_E_NO_OBJECT;
    long last = 0;
    for (const auto& [key, value] : section->second) {
        int type = 0;
        long number = 0;
        if (!ParseKey(key, type, number) || type != kApplPropertyTypeSqlDatabase) continue;
        if (strcasecmp(value.c_str(), databaseName.c_str()) == 0) return 0;  // already there
        last = std::max(last, number);
    }
    if (!file.Set(object, PropertyKey(kApplPropertyTypeSqlDatabase, last + 1), databaseName)) return JXAPPMGR_E_BAD_VALUE;
    if (autoDiscovered && !file.Set(object, AutoKey(kApplPropertyTypeSqlDatabase, last + 1), "1")) {
        return JXAPPMGR_E_BAD_VALUE;
    }
    return 0;
}
