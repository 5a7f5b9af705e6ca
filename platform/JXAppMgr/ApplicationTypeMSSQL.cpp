// ApplicationTypeMSSQL: the staging path of a client's SQL Server restores.
#include "JXAppMgr/ApplicationTypeMSSQL.h"

#include "JXAppMgr/AppModel.h"

int ApplicationTypeMSSQL::getStagingPathForRestoresEnabled(bool& enabled, void*) const {
    uint64_t value = 0;
    const int rc = AppModel::GetUnsigned(AppModel::ObjectName("apptype", m_clientId),
                                         "stagingPathForRestoresEnabled", value);
    if (rc == JXAPPMGR_PROP_NOT_SET || rc == JXAPPMGR_E_NO_OBJECT) {
        enabled = false;
        return 0;
    }
    if (rc != 0) return rc;
    enabled = value != 0;
    return 0;
}

int ApplicationTypeMSSQL::getStagingPath(std::string& path, void*) const {
    return AppModel::GetText(AppModel::ObjectName("apptype", m_clientId), "stagingPath", path);
}
