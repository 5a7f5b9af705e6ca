// SQLAdditionalSettings: base of the agent's one-setting readers.
//
// A setting may have up to three sources: a global parameter of the backup
// domain, a client setting in the agent's settings store and an option of the
// job's task. Each reader class knows its names, its sources in their fixed
// order and its default; a later source overrides an earlier one only when it
// has a value. This base supplies the three source readers and records which
// of them answered.
#pragma once

#include <list>
#include <string>

#include "JXAppMgr/SPEnabled.h"

class EvTask;
class EvDebug;

class SQLAdditionalSettings : public SPEnabled {
public:
    SQLAdditionalSettings() = default;
    ~SQLAdditionalSettings() override = default;

    // A subclass overrides the form that fits its value; here each returns
    // false and leaves the value unchanged.
    virtual bool getOptionValue(unsigned long& value, bool refresh);
    virtual bool getOptionValue(bool& value, bool refresh);
    virtual bool getOptionValue(bool& value, bool refresh, bool extra);

    // True once a global parameter was found.
    bool isGlobalSettingSet() const { return m_globalParamSet; }

protected:
    // Global parameter as a switch: found, its trimmed decimal value not 0
    // gives true (text that is no number counts as 0). Absent leaves `value`.
    bool getGlobalParamSettings(std::string name, bool& value);
    // Global parameter as an unsigned number. A text that is not a
    // non-negative decimal number in range is logged and ignored, so the
    // value keeps what it held ("-1" does not become a huge number).
    bool getGlobalParamSettings(std::string name, unsigned long& value);

    // Client setting of the settings store; absent (or unreadable) leaves
    // `value` and is logged with the store's error.
    bool getClientRegistrySettings(std::string section, std::string name, bool& value);
    bool getClientRegistrySettings(std::string section, std::string name, std::string& value);

    // Task option by numeric id. A null task returns false; a failing getter
    // is logged and leaves `value` as the getter left it; otherwise true.
    bool getTaskOption(EvTask* task, unsigned long id, bool& value);
    bool getTaskOption(EvTask* task, unsigned long id, unsigned long& value);
    bool getTaskOption(EvTask* task, unsigned long id, std::list<std::string>& value);
    bool getTaskOption(EvTask* task, unsigned long id, int& value);

    static EvDebug& Log();

    bool m_globalParamSet = false;
    bool m_clientSettingSet = false;
    bool m_taskOptionSet = false;
    bool m_value = false;  // the Boolean readers' value; each sets its default

private:
    static bool HaveTask(const EvTask* task);
    void NoteTaskResult(int rc);
};
