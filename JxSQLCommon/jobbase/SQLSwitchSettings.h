// On/off settings of the backup and log-dump jobs.
//
// SQLSwitchSettings reads a switch from a global parameter and then a client
// setting (either may be unnamed), each overriding the value only when it is
// present; every read starts again from the reader's default. With the cache
// switch the first value read is kept for reads that do not ask for a
// refresh; isEnabled() always reads the sources.
#pragma once

#include "JxSQLCommon/jobbase/SQLAdditionalSettings.h"

class SQLGenericOptionSettings;

class SQLSwitchSettings : public SQLAdditionalSettings {
public:
    bool getOptionValue(bool& value, bool refresh) override;
    using SQLAdditionalSettings::getOptionValue;

    bool isEnabled();

protected:
    SQLSwitchSettings(std::string section, std::string clientSettingName, std::string globalParamName, bool cache,
                      bool defaultValue);

    // Reads the sources into m_value, which holds the default on entry.
    virtual void ReadSources();
    void ReadGlobalParam();
    void ReadClientSetting();

    std::string m_section;
    std::string m_clientSettingName;
    std::string m_globalParamName;
    bool m_cache;
    bool m_cached = false;

private:
    bool m_default;
};

// Whether databases that no longer exist are dropped from the subclient
// quietly (default on).
class IgnoreNonExistentDbSettings : public SQLSwitchSettings {
public:
    explicit IgnoreNonExistentDbSettings(bool cache = false);
};

// Whether log backups skip databases in the simple recovery model (default on).
class SkipTLForSimpleRmDbSettings : public SQLSwitchSettings {
public:
    explicit SkipTLForSimpleRmDbSettings(bool cache = false);
};

// Whether availability-group databases are backed up through the instance:
// a global parameter, then a client setting. Their names and the default
// are the caller's (no job of this library builds the reader yet).
class BackupAgDbsViaInstanceSettings : public SQLSwitchSettings {
public:
    BackupAgDbsViaInstanceSettings(std::string section, std::string clientSettingName, std::string globalParamName,
                                   bool defaultValue, bool cache = false);
};

// Readers that also take the read-only skip bits of the domain's option word.
class SQLReadOnlySkipSettings : public SQLSwitchSettings {
public:
    // Attaches the job's option-word reader (not owned). When its global
    // parameter was found, bit 2 or bit 4 of the word as last read decides
    // the value before the reader's own sources.
    void setGenericOption(SQLGenericOptionSettings* options) { m_genericOptions = options; }

protected:
    using SQLSwitchSettings::SQLSwitchSettings;
    void ReadGenericOptions();

private:
    SQLGenericOptionSettings* m_genericOptions = nullptr;
};

// Whether log backups skip read-only databases (default on).
class SkipTLForReadOnlyDbSettings : public SQLReadOnlySkipSettings {
public:
    SkipTLForReadOnlyDbSettings();

protected:
    void ReadSources() override;
};

// Whether differential backups skip read-only databases (default on): the
// task option 1493278158 set turns it off, then the option word and the
// client setting may turn it on again.
class SkipDIffForReadOnlyDbSettings : public SQLReadOnlySkipSettings {
public:
    explicit SkipDIffForReadOnlyDbSettings(EvTask* task);

protected:
    void ReadSources() override;

private:
    EvTask* m_task;
};

// Whether the task asks to promote the backup to a full one (task option
// 900859578, default off).
class PromoteToFull : public SQLAdditionalSettings {
public:
    explicit PromoteToFull(EvTask* task);

    // Reads the option straight into `value`: an absent option leaves it.
    bool getOptionValue(bool& value, bool refresh) override;
    using SQLAdditionalSettings::getOptionValue;

private:
    EvTask* m_task;
};
