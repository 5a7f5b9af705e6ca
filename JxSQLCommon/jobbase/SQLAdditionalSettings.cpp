// SQLAdditionalSettings: the three source readers.
#include "JxSQLCommon/jobbase/SQLAdditionalSettings.h"

#include <cerrno>
#include <cstdlib>

#include "EvTaskApiNet/EvTask.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "WzUtils/FXString.h"

namespace {

std::string TrimBlanks(std::string text) {
    FXString::Trim(text, " ");
    return text;
}

const char* OnOff(bool v) { return v ? "enabled" : "disabled"; }

}  // namespace

EvDebug& SQLAdditionalSettings::Log() {
    static EvDebug log("SQLAdditionalSettings");
    return log;
}

bool SQLAdditionalSettings::getOptionValue(unsigned long&, bool) { return false; }
bool SQLAdditionalSettings::getOptionValue(bool&, bool) { return false; }
bool SQLAdditionalSettings::getOptionValue(bool&, bool, bool) { return false; }

bool SQLAdditionalSettings::getGlobalParamSettings(std::string name, bool& value) {
    std::string text;
    if (JXGlobalParam::getProperty(name, text) == 0) {
        value = std::strtol(TrimBlanks(text).c_str(), nullptr, 10) != 0;
        m_globalParamSet = true;
    }
    EV_DEBUG(Log(), 3, "Global parameter (%s) is %s.", name.c_str(), OnOff(value));
    return true;
}

bool SQLAdditionalSettings::getGlobalParamSettings(std::string name, unsigned long& value) {
    std::string text;
    if (JXGlobalParam::getProperty(name, text) == 0) {
        std::string number = TrimBlanks(text);
        char* end = nullptr;
        errno = 0;
        long parsed = std::strtol(number.c_str(), &end, 10);
        if (number.empty() || *end != '\0' || errno == ERANGE || parsed < 0) {
            EV_WARN(Log(), "Global parameter (%s) has the invalid value [%s]; it is ignored.", name.c_str(),
                    text.c_str());
        } else {
            value = static_cast<unsigned long>(parsed);
            m_globalParamSet = true;
        }
    }
    EV_DEBUG(Log(), 3, "Global parameter (%s) is %lu.", name.c_str(), value);
    return true;
}

bool SQLAdditionalSettings::getClientRegistrySettings(std::string section, std::string name, bool& value) {
    JXPlatformInfo settings;
    int64_t number = 0;
    if (settings.getNumber(section, name, &number)) {
        value = number != 0;
        m_clientSettingSet = true;
    } else {
        EV_DEBUG(Log(), 3, "Failed to read registry key [%s] with error [%lu] [%s].", name.c_str(),
                 static_cast<unsigned long>(settings.getLastError()), settings.getLastErrorMsg().c_str());
    }
    EV_DEBUG(Log(), 3, "Registry settings (%s - %s) is %s.", section.c_str(), name.c_str(), OnOff(value));
    return true;
}

bool SQLAdditionalSettings::getClientRegistrySettings(std::string section, std::string name, std::string& value) {
    JXPlatformInfo settings;
    std::string text;
    if (settings.getString(section, name, text)) {
        value = text;
        m_clientSettingSet = true;
    } else {
        EV_DEBUG(Log(), 3, "Failed to read registry key [%s] with error [%lu] [%s].", name.c_str(),
                 static_cast<unsigned long>(settings.getLastError()), settings.getLastErrorMsg().c_str());
    }
    EV_DEBUG(Log(), 3, "Registry settings (%s - %s) is %s.", section.c_str(), name.c_str(), value.c_str());
    return true;
}

bool SQLAdditionalSettings::HaveTask(const EvTask* task) {
    if (task == nullptr) EV_DEBUG(Log(), 3, "Task pointer is empty and skipping task option here.");
    return task != nullptr;
}

void SQLAdditionalSettings::NoteTaskResult(int rc) {
    if (rc != 0) {
        EV_ERROR(Log(), "Failed to get backup option with erorr [%d].", rc);
    } else {
        m_taskOptionSet = true;
    }
}

bool SQLAdditionalSettings::getTaskOption(EvTask* task, unsigned long id, bool& value) {
    if (!HaveTask(task)) return false;
    NoteTaskResult(task->getOptionBool(id, value));
    EV_DEBUG(Log(), 3, "Option [%lu] has the value [%s] in task XML.", id, OnOff(value));
    return true;
}

bool SQLAdditionalSettings::getTaskOption(EvTask* task, unsigned long id, unsigned long& value) {
    if (!HaveTask(task)) return false;
    NoteTaskResult(task->getOptionULong(id, value));
    EV_DEBUG(Log(), 3, "Option [%lu] has the value [%lu] in task XML.", id, value);
    return true;
}

bool SQLAdditionalSettings::getTaskOption(EvTask* task, unsigned long id, std::list<std::string>& value) {
    if (!HaveTask(task)) return false;
    NoteTaskResult(task->getOptionString(id, value));
    EV_DEBUG(Log(), 3, "Option [%lu] has the value size [%lu] in task XML.", id,
             static_cast<unsigned long>(value.size()));
    return true;
}

bool SQLAdditionalSettings::getTaskOption(EvTask* task, unsigned long id, int& value) {
    if (!HaveTask(task)) return false;
    NoteTaskResult(task->getOptionInt(id, value));
    EV_DEBUG(Log(), 3, "Option [%lu] has the value [%d] in task XML.", id, value);
    return true;
}
