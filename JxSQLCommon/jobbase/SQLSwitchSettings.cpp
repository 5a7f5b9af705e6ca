// On/off settings readers.
#include "JxSQLCommon/jobbase/SQLSwitchSettings.h"

#include <utility>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/jobbase/SQLGenericOptionSettings.h"

namespace {
constexpr const char* kAgentSection = "MSSQLAgent";
}

SQLSwitchSettings::SQLSwitchSettings(std::string section, std::string clientSettingName,
                                     std::string globalParamName, bool cache, bool defaultValue)
    : m_section(std::move(section)),
      m_clientSettingName(std::move(clientSettingName)),
      m_globalParamName(std::move(globalParamName)),
      m_cache(cache),
      m_default(defaultValue) {
    m_value = defaultValue;
}

bool SQLSwitchSettings::getOptionValue(bool& value, bool refresh) {
    if (!refresh && m_cached) {
        value = m_value;
        return true;
    }
    m_value = m_default;
    ReadSources();
    m_cached = m_cache;
    value = m_value;
    return true;
}

bool SQLSwitchSettings::isEnabled() {
    bool value = false;
    getOptionValue(value, true);
    return value;
}

void SQLSwitchSettings::ReadSources() {
    ReadGlobalParam();
    ReadClientSetting();
}

void SQLSwitchSettings::ReadGlobalParam() {
    if (!m_globalParamName.empty()) getGlobalParamSettings(m_globalParamName, m_value);
}

void SQLSwitchSettings::ReadClientSetting() {
    if (!m_clientSettingName.empty()) getClientRegistrySettings(m_section, m_clientSettingName, m_value);
}

IgnoreNonExistentDbSettings::IgnoreNonExistentDbSettings(bool cache)
    : SQLSwitchSettings(kAgentSection, "nIgnoreNonExistentDB", "IgnoreNonExistentDB", cache, true) {}

SkipTLForSimpleRmDbSettings::SkipTLForSimpleRmDbSettings(bool cache)
    : SQLSwitchSettings(kAgentSection, "bSkipTLForSimpleRecoveryModelDB", "SkipTLForSimpleRecoveryModelDB", cache,
                        true) {}

BackupAgDbsViaInstanceSettings::BackupAgDbsViaInstanceSettings(std::string section, std::string clientSettingName,
                                                               std::string globalParamName, bool defaultValue,
                                                               bool cache)
    : SQLSwitchSettings(std::move(section), std::move(clientSettingName), std::move(globalParamName), cache,
                        defaultValue) {}

void SQLReadOnlySkipSettings::ReadGenericOptions() {
    if (m_genericOptions != nullptr && m_genericOptions->isGlobalSettingSet()) {
        m_value = m_genericOptions->isSkipDiffLogBackup_ReadOnlyDB() || m_genericOptions->isSkipBackup_ReadOnlyDB();
    }
}

SkipTLForReadOnlyDbSettings::SkipTLForReadOnlyDbSettings()
    : SQLReadOnlySkipSettings(kAgentSection, "bSkipTLForReadOnlyDB", "SkipTLForReadOnlyDB", /*cache=*/false,
                              /*defaultValue=*/true) {}

void SkipTLForReadOnlyDbSettings::ReadSources() {
    ReadGenericOptions();
    ReadGlobalParam();
    ReadClientSetting();
}

SkipDIffForReadOnlyDbSettings::SkipDIffForReadOnlyDbSettings(EvTask* task)
    : SQLReadOnlySkipSettings(kAgentSection, "bSkipDiffReadOnlyDB", "", /*cache=*/false, /*defaultValue=*/true),
      m_task(task) {}

void SkipDIffForReadOnlyDbSettings::ReadSources() {
    bool fromTask = false;
    getTaskOption(m_task, 1493278158, fromTask);
    m_value = !fromTask;
    ReadGenericOptions();
    ReadClientSetting();
}

PromoteToFull::PromoteToFull(EvTask* task) : m_task(task) { m_value = false; }

bool PromoteToFull::getOptionValue(bool& value, bool) {
    getTaskOption(m_task, 900859578, value);
    EV_INFO(Log(), "Promote to FULL backup option is set to %s.", value ? "true" : "false");
    m_value = value;
    return true;
}
