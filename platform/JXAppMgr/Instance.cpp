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

int MsSqlInstance::isUseVSS(bool& useVss) const {
    uint64_t v = 0;
    int rc = AppModel::GetUnsigned(Object(), "useVSS", v);
    if (rc == JXAPPMGR_PROP_NOT_SET) {
        useVss = false;
        return 0;
    }
    if (rc != 0) return rc;
    useVss = v != 0;
    return 0;
}
