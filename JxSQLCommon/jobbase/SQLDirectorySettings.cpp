// Directory settings readers.
#include "JxSQLCommon/jobbase/SQLDirectorySettings.h"

#include <utility>

#include "JxLib/JXPIAgent.h"
#include "WzUtils/CWzLibrary.h"

SQLDirectorySetting::SQLDirectorySetting(std::string section, std::string name)
    : m_section(std::move(section)), m_name(std::move(name)) {}

bool SQLDirectorySetting::getOptionValue(std::string& value, bool) {
    m_directory.clear();
    getClientRegistrySettings(m_section, m_name, m_directory);
    value = m_directory;
    return true;
}

MSSQLAgentHomeDirectory::MSSQLAgentHomeDirectory() : SQLDirectorySetting("MSSQLAgent", "dHOME") {}

MediaAgentHomeDirectory::MediaAgentHomeDirectory(std::string section, std::string name)
    : SQLDirectorySetting(std::move(section), std::move(name)) {}

SnapMountProdDirectory::SnapMountProdDirectory()
    : m_libraryName("JXSnapHandler"), m_mountKind(kMountKind), m_cleanupEntry("CleanupSnapMounts") {}

bool SnapMountProdDirectory::getOptionValue(std::string& value, bool) {
    std::string library = CWzLibrary(true).GetLibraryNameForName(m_libraryName);
    m_directory = JXPI_Production().RegisterProductionDataMount(m_mountKind, library, m_cleanupEntry);
    value = m_directory;
    return true;
}
