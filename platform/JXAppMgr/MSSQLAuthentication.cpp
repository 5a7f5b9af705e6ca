// MSSQLAuthentication: an instance's SQL login from the model.
#include "JXAppMgr/MSSQLAuthentication.h"

#include <cinttypes>

#include "JXAppMgr/AppModel.h"
#include "WzUtils/WzFormat.h"

int MSSQLAuthentication::getMSSQLAuthentication(uint64_t instanceId, unsigned long& authType, std::string& userName,
                                                std::string& password, bool, int*, void*) {
    const std::string object = AppModel::ObjectName("instance", instanceId);
    std::string user;
    std::string stored;
    uint64_t type = 0;
    int rc = AppModel::GetText(object, "sqlUser", user);
    if (rc == 0) rc = AppModel::GetText(object, "sqlPassword", stored);
    if (rc == JXAPPMGR_PROP_NOT_SET) rc = 0;
    if (rc == 0) rc = AppModel::GetUnsigned(object, "authType", type);
    if (rc == JXAPPMGR_PROP_NOT_SET) rc = 0;
    if (rc != 0) {
        m_lastErrorText = wz::Format("authentication of instance %" PRIu64 " cannot be read (error %d)", instanceId, rc);
        return rc;
    }
    authType = static_cast<unsigned long>(type);
    userName = user;
    password = stored;
    m_lastErrorText.clear();
    return 0;
}
