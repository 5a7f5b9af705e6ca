// Directory settings of the agent.
#pragma once

#include "JxSQLCommon/jobbase/SQLAdditionalSettings.h"

// A directory held in one client setting: getOptionValue empties the value,
// reads the setting as text and gives it to the caller, found or not.
class SQLDirectorySetting : public SQLAdditionalSettings {
public:
    bool getOptionValue(std::string& value, bool refresh);
    using SQLAdditionalSettings::getOptionValue;

protected:
    SQLDirectorySetting(std::string section, std::string name);

private:
    std::string m_directory;
    std::string m_section;
    std::string m_name;
};

// The agent's home directory (client setting "dHOME"); empty when unset.
class MSSQLAgentHomeDirectory : public SQLDirectorySetting {
public:
    MSSQLAgentHomeDirectory();
};

// The media agent's home directory, from the client setting the caller
// names (no job of this library asks for it yet).
class MediaAgentHomeDirectory : public SQLDirectorySetting {
public:
    MediaAgentHomeDirectory(std::string section, std::string name);
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
