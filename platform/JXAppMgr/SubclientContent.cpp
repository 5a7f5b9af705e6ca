// MsSqlSubclient: the subclient's SQL type and database content written
// back to the application model.
#include <strings.h>

#include <string>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/Subclient.h"

int MsSqlSubclient::setSQLSubclientType(unsigned int type) {
    if (!exists()) return JXAPPMGR_E_NO_OBJECT;
    return AppModel::Set(Object(), "sqlSubclientType", std::to_string(type)) ? 0 : JXAPPMGR_E_BAD_VALUE;
}

int MsSqlSubclient::setProperties(const PropertiesList& list) {
    if (!exists()) return JXAPPMGR_E_NO_OBJECT;
    for (const auto& property : list.getList()) {
        if (property->getType() != kApplPropertyTypeSqlDatabase) return JXAPPMGR_E_BAD_VALUE;
    }
    const ApplProperties content(getId());
    for (const auto& property : list.getList()) {
        if (int rc = content.addDatabase(property->getValue(), false); rc != 0) return rc;
    }
    return 0;
}

int MsSqlSubclient::removeProperties(const PropertiesList& list) {
    const ApplProperties content(getId());
    PropertiesList held;
    if (int rc = content.getProperties(held, nullptr); rc != 0) return rc;
    PropertiesList matched;
    for (const auto& stored : held.getList()) {
        if (stored->getType() != kApplPropertyTypeSqlDatabase) continue;
        for (const auto& wanted : list.getList()) {
            if (wanted->getType() == kApplPropertyTypeSqlDatabase &&
                strcasecmp(stored->getValue().c_str(), wanted->getValue().c_str()) == 0) {
                matched.addToPropList(stored);
                break;
            }
        }
    }
    if (matched.getList().empty()) return JXAPPMGR_PROP_NOT_SET;
    return content.deleteProperties(matched);
}
