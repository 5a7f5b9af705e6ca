// Directory settings of the agent.
#pragma once

#include "JxSQLCommon/jobbase/SQLAdditionalSettings.h"

// The agent's home directory (client setting "dHOME"); empty when unset.
class MSSQLAgentHomeDirectory : public SQLAdditionalSettings {
public:
    MSSQLAgentHomeDirectory();

    bool getOptionValue(std::string& value, bool refresh);
    using SQLAdditionalSettings::getOptionValue;

private:
    std::string m_directory;
    std::string m_section;
    std::string m_name;
};
