// Instance and MsSqlInstance: a SQL Server instance of the model
// ("instance/<id>") and the properties the SQL agent reads from it.
#pragma once

#include <cstdint>
#include <string>

class Instance {
public:
    explicit Instance(uint64_t instanceId);
    virtual ~Instance() = default;

    uint64_t getId() const { return m_id; }
    bool exists() const;

protected:
    std::string Object() const;

private:
    uint64_t m_id;
};

class MsSqlInstance : public Instance {
public:
    using Instance::Instance;

    // VDI time-out in seconds (property "vdiTimeout"); 0 or a code of AppModel.h.
    int getVDITimeout(unsigned long& seconds) const;

    // Server type (property "serverType"). Returns 0 when the instance exists;
    // `code` is then JXAPPMGR_PROP_NOT_SET (type left unchanged) when the
    // instance has no server type yet, else 0. A missing instance returns
    // JXAPPMGR_E_NO_OBJECT.
    int getServerType(std::string& type, int& code) const;
    int setServerType(const std::string& type);

    // The instance's name, "host" or "host/instance" (property "name"), and
    // its version text (property "sqlVersion").
    int getInstanceName(std::string& name) const;
    int getSQLVersion(std::string& version) const;
    // Stores a new version text (the model file is the commit).
    int setSQLVersion(const std::string& version);
    // Switches (a number, not 0 = set): "useVSS" (absent = not set),
    // "protectingSPDBs".
    int isUseVSS(bool& value) const;
    int isProtectingSPDBs(bool& value) const;
    // Marks the instance as protecting SharePoint databases (1) or not (0).
    int setProtectingSPDBs(int value);

private:
    int GetSwitch(const std::string& key, bool& value) const;
};
