// ApplicationTypeSharePointV2Doc: the remote SQL login from the model.
#include "JXAppMgr/ApplicationTypeSharePointV2Doc.h"

#include "JXAppMgr/AppModel.h"

int ApplicationTypeSharePointV2Doc::getRemoteSQLSrvUserName(std::string& user) const {
    return AppModel::GetText(AppModel::ObjectName("subclient", m_appNumber), "remoteSqlUser", user);
}

int ApplicationTypeSharePointV2Doc::getRemoteSQLSrvUserPassword(std::string& password) const {
    return AppModel::GetText(AppModel::ObjectName("subclient", m_appNumber), "remoteSqlPassword", password);
}
