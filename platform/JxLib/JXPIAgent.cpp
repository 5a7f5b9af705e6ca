// Client and central-server platform objects over the settings store.
#include "JxLib/JXPIAgent.h"

#include <sys/stat.h>

#include "JxLib/JXPlatformInfo.h"
#include "JxLib/SettingsFile.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

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

bool JXPI_JxClient::getBaseHomeDirectory(std::string& dir) const {
    std::string base = wz::PlatformPath("Base");
    if (base.empty()) return false;
    dir = base;
    return true;
}

bool JXPI_JxServer::invalidJXPlatform() const {
    SettingsFile::Sections all = SettingsFile(JXPlatformInfo::SettingsPath(JXPlatformInfo::CurrentInstance())).Load();
    return all.count("JxServer") == 0;
}

std::string JXPI_Production::RegisterProductionDataMount(const std::string& kind, const std::string& libraryName,
                                                        const std::string& cleanupEntry) {
    std::string directory = ProductionDataMountDirectory(kind);
    if (directory.empty() || wz::MakeDirectoryTree(directory) != 0) return {};
    JXPlatformInfo settings;
    const std::string section = "ProductionDataMounts/" + kind;
    if (!settings.setString(section, "library", libraryName) || !settings.setString(section, "cleanup", cleanupEntry)) {
        return {};
    }
    return directory;
}

std::string JXPI_Production::ProductionDataMountDirectory(const std::string& kind) {
    if (kind.empty() || kind == "." || kind == ".." || kind.find('/') != std::string::npos) return {};
    return wz::PlatformPath("ProductionDataMounts/" + kind);
}
