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

// The directory where snapshot volumes of production data are mounted,
// registered for clean-up by the snapshot handler.
class SnapMountProdDirectory : public SQLAdditionalSettings {
public:
    SnapMountProdDirectory();

    // The mount kind the directory is registered under.
    static constexpr const char* kMountKind = "SnapVolumeMounts";

    bool getOptionValue(std::string& value, bool refresh);
    using SQLAdditionalSettings::getOptionValue;

private:
    std::string m_directory;
    std::string m_libraryName;
    std::string m_mountKind;
    std::string m_cleanupEntry;
};
