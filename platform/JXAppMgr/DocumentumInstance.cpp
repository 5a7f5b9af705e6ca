// DocumentumInstance: SQL login properties from the model.
#include "JXAppMgr/DocumentumInstance.h"

#include "JXAppMgr/AppModel.h"

int DocumentumInstance::getSQLUser(std::string& user) const {
    return AppModel::GetText(AppModel::ObjectName("instance", m_id), "sqlUser", user);
}

int DocumentumInstance::getSQLUserPasswd(std::string& password) const {
    return AppModel::GetText(AppModel::ObjectName("instance", m_id), "sqlPassword", password);
}
