// MSSQLAuthentication: the SQL Server login configured for an instance.
#include "JXAppMgr/MSSQLAuthentication.h"

#include "JXAppMgr/AppModel.h"

int MSSQLAuthentication::getMSSQLAuthentication(uint64_t instanceId, unsigned long& authType, std::string& userName,
                                                std::string& password, bool /*flag*/, int* status,
                                                void* /*reserved*/) const {
    const std::string instance = AppModel::ObjectName("instance", instanceId);
    uint64_t type = 0;
    int rc = AppModel::Exists(instance) ? AppModel::GetUnsigned(instance, "sqlAuthType", type) : JXAPPMGR_E_NO_OBJECT;
    if (rc == 0 && type == 0) rc = JXAPPMGR_PROP_NOT_SET;
    if (rc == 0) {
        authType = static_cast<unsigned long>(type);
        std::string user, stored;
        AppModel::GetText(instance, "sqlUserName", user);
        AppModel::GetText(instance, "sqlPassword", stored);
        userName = user;
        password = stored;
    }
    if (status != nullptr) *status = rc;
    return rc;
}
