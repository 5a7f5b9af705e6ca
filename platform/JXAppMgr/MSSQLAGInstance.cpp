// MSSQLAGInstance: the availability-group property from the model.
#include "JXAppMgr/MSSQLAGInstance.h"

#include "JXAppMgr/AppModel.h"

int MSSQLAGInstance::getAvailabilityGroup(std::string& xml) const {
    int rc = AppModel::GetText(AppModel::ObjectName("instance", m_id), "availabilityGroup", xml);
    if (rc == JXAPPMGR_PROP_NOT_SET) {
        xml.clear();
        return 0;
    }
    return rc;
}
