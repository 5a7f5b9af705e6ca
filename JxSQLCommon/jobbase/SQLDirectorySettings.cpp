// Directory settings readers.
#include "JxSQLCommon/jobbase/SQLDirectorySettings.h"

MSSQLAgentHomeDirectory::MSSQLAgentHomeDirectory() : m_section("MSSQLAgent"), m_name("dHOME") {}

bool MSSQLAgentHomeDirectory::getOptionValue(std::string& value, bool) {
    m_directory.clear();
    getClientRegistrySettings(m_section, m_name, m_directory);
    value = m_directory;
    return true;
}
