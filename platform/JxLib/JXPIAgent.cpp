// Client and central-server platform objects over the settings store.
#include "JxLib/JXPIAgent.h"

#include <sys/stat.h>

#include "JxLib/JXPlatformInfo.h"
#include "JxLib/SettingsFile.h"

namespace {

bool SettingsExist() {
    struct stat st {};
    return ::stat(JXPlatformInfo::SettingsPath(JXPlatformInfo::CurrentInstance()).c_str(), &st) == 0;
}

}  // namespace

bool JXPI_JxClient::invalidJXPlatform() const { return !SettingsExist(); }

bool JXPI_JxClient::getClientName(std::string& name) {
    JXPlatformInfo settings;
    std::string value;
    if (!settings.getString("", "sPhysicalNodeName", value) || value.empty()) {
        m_lastError = settings.getLastError() != 0 ? settings.getLastError() : JXPI_ERR_NOT_FOUND;
        return false;
    }
    name = value;
    return true;
}

bool JXPI_JxClient::getJobResultsDirectory(const std::string& clientName, std::string& dir) {
    JXPlatformInfo settings;
    std::string value;
    if (!settings.getString("Machines/" + clientName, "dJOBRESULTSDIR", value) || value.empty()) {
        m_lastError = settings.getLastError() != 0 ? settings.getLastError() : JXPI_ERR_NOT_FOUND;
        return false;
    }
    dir = value;
    return true;
}

bool JXPI_JxServer::invalidJXPlatform() const {
    SettingsFile::Sections all = SettingsFile(JXPlatformInfo::SettingsPath(JXPlatformInfo::CurrentInstance())).Load();
    return all.count("JxServer") == 0;
}
