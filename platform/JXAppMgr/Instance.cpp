// Instance properties from the application model.
#include "JXAppMgr/Instance.h"

#include "JXAppMgr/AppModel.h"

Instance::Instance(uint64_t instanceId) : m_id(instanceId) {}

std::string Instance::Object() const { return AppModel::ObjectName("instance", m_id); }

bool Instance::exists() const { return AppModel::Exists(Object()); }

int MsSqlInstance::getVDITimeout(unsigned long& seconds) const {
    uint64_t v = 0;
    if (int rc = AppModel::GetUnsigned(Object(), "vdiTimeout", v); rc != 0) return rc;
    seconds = v;
    return 0;
}

int MsSqlInstance::getServerType(std::string& type, int& code) const {
    code = 0;
    int rc = AppModel::GetText(Object(), "serverType", type);
    if (rc == JXAPPMGR_PROP_NOT_SET) {
        code = JXAPPMGR_PROP_NOT_SET;
        return 0;
    }
    return rc;
}

int MsSqlInstance::setServerType(const std::string& type) {
    if (!exists()) return JXAPPMGR_E_NO_OBJECT;
    return AppModel::Set(Object(), "serverType", type) ? 0 : JXAPPMGR_E_BAD_VALUE;
}

int MsSqlInstance::getInstanceName(std::string& name) const { return AppModel::GetText(Object(), "name", name); }

int MsSqlInstance::getSQLVersion(std::string& version) const {
    return AppModel::GetText(Object(), "sqlVersion", version);
}

int MsSqlInstance::setSQLVersion(const std::string& version) {
    if (!exists()) return JXAPPMGR_E_NO_OBJECT;
    return AppModel::Set(Object(), "sqlVersion", version) ? 0 : JXAPPMGR_E_BAD_VALUE;
}

int MsSqlInstance::GetSwitch(const std::string& key, bool& value) const {
    uint64_t v = 0;
    if (int rc = AppModel::GetUnsigned(Object(), key, v); rc != 0) return rc;
    value = v != 0;
    return 0;
}

// An instance whose model never set the switch does not use VSS.
int MsSqlInstance::isUseVSS(bool& value) const {
    int rc = GetSwitch("useVSS", value);
    if (rc == JXAPPMGR_PROP_NOT_SET) {
        value = false;
        return 0;
    }
    return rc;
}

int MsSqlInstance::isProtectingSPDBs(bool& value) const { return GetSwitch("protectingSPDBs", value); }

int MsSqlInstance::setProtectingSPDBs(int value) {
    if (!exists()) return JXAPPMGR_E_NO_OBJECT;
    return AppModel::Set(Object(), "protectingSPDBs", value != 0 ? "1" : "0") ? 0 : JXAPPMGR_E_BAD_VALUE;
}
