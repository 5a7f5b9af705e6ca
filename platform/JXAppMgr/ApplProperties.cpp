// ApplProperties: a subclient's typed properties read from the model file.
#include "JXAppMgr/ApplProperties.h"

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
            list.addToPropList(std::make_shared<MSSQLDBProperty>(value));
        } else {
            list.addToPropList(std::make_shared<ApplProperty>(position.first, value));
        }
    }
    return 0;
}
