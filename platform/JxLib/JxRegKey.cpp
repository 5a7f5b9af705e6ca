// JxRegKey over the settings store.
#include "JxLib/JxRegKey.h"

#include "JxLib/JXPlatformInfo.h"
#include "JxLib/SettingsFile.h"

int JxRegKey::open(const std::string& key, bool readOnly) {
    close();
    if (key.empty()) return kOpenFailed;
    if (readOnly) {
        SettingsFile::Sections sections = SettingsFile(JXPlatformInfo::SettingsPath(JXPlatformInfo::CurrentInstance())).Load();
        if (sections.find(key) == sections.end()) return kOpenFailed;
    }
    m_key = key;
    m_open = true;
    return 0;
}

void JxRegKey::close() {
    m_key.clear();
    m_open = false;
}

bool JxRegKey::getValue(const std::string& name, std::string& value) const {
    if (!m_open) return false;
    return JXPlatformInfo().getString(m_key, name, value) != 0;
}
