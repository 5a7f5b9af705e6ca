// Directory settings readers.
#include "JxSQLCommon/jobbase/SQLDirectorySettings.h"

#include "JxLib/JXPIAgent.h"
#include "WzUtils/CWzLibrary.h"

MSSQLAgentHomeDirectory::MSSQLAgentHomeDirectory() : m_section("MSSQLAgent"), m_name("dHOME") {}

bool MSSQLAgentHomeDirectory::getOptionValue(std::string& value, bool) {
    m_directory.clear();
    getClientRegistrySettings(m_section, m_name, m_directory);
    value = m_directory;
    return true;
}

SnapMountProdDirectory::SnapMountProdDirectory()
    : m_libraryName("JXSnapHandler"), m_mountKind(kMountKind), m_cleanupEntry("CleanupSnapMounts") {}

bool SnapMountProdDirectory::getOptionValue(std::string& value, bool) {
    std::string library = CWzLibrary(true).GetLibraryNameForName(m_libraryName);
    m_directory = JXPI_Production().RegisterProductionDataMount(m_mountKind, library, m_cleanupEntry);
    value = m_directory;
    return true;
}
