// JXPI_PlatformBase, JXPI_Base: reads of the "Base" section.
#include "JxLib/JXPIPlatformBase.h"

#include "JxLib/JXPlatformInfo.h"

std::string JXPI_PlatformBase::getJxServerHostName() {
    JXPlatformInfo settings;
    std::string name;
    if (settings.getString("Base", "sJxServerHostName", name) == 0) {
        m_lastError = settings.getLastError();
        return std::string();
    }
    m_lastError = 0;
    return name;
}

unsigned long JXPI_Base::getPlatformType() { return JXPlatformInfo().getJXPlatformType(); }
