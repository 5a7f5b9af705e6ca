// MsSqlSubclient: the integrity-check settings of a snapshot subclient.
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/Subclient.h"

int MsSqlSubclient::getUseProxy(bool& value) const { return GetSwitch("useIntegrityProxy", value); }

int MsSqlSubclient::getIntegritySQLProxy(unsigned long& clientId) const {
    uint64_t v = 0;
    if (int rc = GetUnsigned("integrityProxy", v); rc != 0) return rc;
    clientId = static_cast<unsigned long>(v);
    return 0;
}

int MsSqlSubclient::getIntegritySQLServer(std::string& instance) const {
    return AppModel::GetText(Object(), "integritySQLServer", instance);
}

int MsSqlSubclient::getUserNameforProxyServer(std::string& user) const {
    return AppModel::GetText(Object(), "integrityProxyUser", user);
}

int MsSqlSubclient::getUserPasswordforProxyServer(std::string& password) const {
    return AppModel::GetText(Object(), "integrityProxyPassword", password);
}

std::string MsSqlSubclient::getErrorText(int code) {
    switch (code) {
        case 0: return "";
        case JXAPPMGR_E_NO_OBJECT: return "The setting or its subclient is not in the model.";
        case JXAPPMGR_E_BAD_VALUE: return "The setting's value does not fit its type.";
        default: return "Error " + std::to_string(code) + ".";
    }
}
