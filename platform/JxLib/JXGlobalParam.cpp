// JXGlobalParam: global parameters in their own settings file.
#include "JxLib/JXGlobalParam.h"

#include "JxLib/SettingsFile.h"
#include "WzUtils/PlatformRoot.h"

std::string JXGlobalParam::FilePath() { return wz::PlatformPath("settings/GlobalParams.ini"); }

int JXGlobalParam::getProperty(const std::string& name, std::string& value, void* /*reserved*/) {
    auto text = SettingsFile(FilePath()).Get("", name);
    if (!text) return 1;
    value = *text;
    return 0;
}

bool JXGlobalParam::setProperty(const std::string& name, const std::string& value) {
    return SettingsFile(FilePath()).Set("", name, value);
}

bool JXGlobalParam::removeProperty(const std::string& name) { return SettingsFile(FilePath()).Remove("", name); }

int JXGlobalParam::getUpdateRecoverySec(unsigned long appType, std::string& value) {
    return getProperty("RecoveryUpdateSecs_" + std::to_string(appType), value);
}
