// Clients of the application model.
#include "JXAppMgr/JXClient.h"

#include <cstdint>

#include "JXAppMgr/AppModel.h"

namespace {
constexpr const char* kClient = "client";
}

JXClient::JXClient(const std::string& name) : m_name(name), m_byName(true) {}

JXClient::JXClient(uint64_t clientId) : m_id(clientId), m_byName(false) {}

int JXClient::getClientId(uint64_t& clientId) const {
    if (!m_byName) {
        if (!AppModel::Exists(AppModel::ObjectName(kClient, m_id))) return JXAPPMGR_E_NO_OBJECT;
        clientId = m_id;
        return 0;
    }
    auto id = AppModel::FindByProperty(kClient, "name", m_name);
    if (!id) return JXAPPMGR_E_NO_OBJECT;
    clientId = *id;
    return 0;
}

int JXClient::getClientName(std::string& name) const {
    uint64_t id = 0;
    if (int rc = getClientId(id); rc != 0) return rc;
    return AppModel::GetText(AppModel::ObjectName(kClient, id), "name", name);
}

int JXClient::getNetworkHostnameMangled(std::string& hostName) const {
    uint64_t id = 0;
    if (int rc = getClientId(id); rc != 0) return rc;
    return AppModel::GetText(AppModel::ObjectName(kClient, id), "hostName", hostName);
}

int JXClient::getjobResultDirectory(std::string& directory) const {
    uint64_t id = 0;
    if (int rc = getClientId(id); rc != 0) return rc;
    return AppModel::GetText(AppModel::ObjectName(kClient, id), "jobResultsDir", directory);
}

bool JXClient::isMSSQLAGClient() const {
    uint64_t id = 0;
    if (getClientId(id) != 0) return false;
    int64_t value = 0;
    return AppModel::GetSigned(AppModel::ObjectName(kClient, id), "isMSSQLAGClient", value) == 0 && value != 0;
}

int ClientProperties::getUseIndexingV2ForMSSQL(bool& useV2) const {
    int64_t v = 0;
    if (int rc = AppModel::GetSigned(AppModel::ObjectName(kClient, m_clientId), "useIndexingV2ForMSSQL", v); rc != 0) {
        return rc;
    }
    useV2 = v != 0;
    return 0;
}

int ClientProperties::getCloudHypervisorType(int& type, void*) const {
    const std::string client = AppModel::ObjectName(kClient, m_clientId);
    if (!AppModel::Exists(client)) return JXAPPMGR_E_NO_OBJECT;
    int64_t value = 0;
    int rc = AppModel::GetSigned(client, "cloudHypervisorType", value);
    if (rc == JXAPPMGR_PROP_NOT_SET) value = 0;
    else if (rc != 0) return rc;
    if (value < INT32_MIN || value > INT32_MAX) return JXAPPMGR_E_BAD_VALUE;
    type = static_cast<int>(value);
    return 0;
}

int ClientProperties::getIsInstalledClient(bool& installed) const {
    const std::string client = AppModel::ObjectName(kClient, m_clientId);
    if (!AppModel::Exists(client)) return JXAPPMGR_E_NO_OBJECT;
    int64_t value = 1;
    int rc = AppModel::GetSigned(client, "installedClient", value);
    if (rc == JXAPPMGR_PROP_NOT_SET) value = 1;
    else if (rc != 0) return rc;
    installed = value != 0;
    return 0;
}
