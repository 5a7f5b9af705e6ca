// CSQLDump: the details of the subclient, instance, client, options and
// availability group that the dump library finds in the cache.
#include <cinttypes>
#include <string>

#include "JXAppMgr/ApplicationId.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/dump/CSQLDump.h"

bool CSQLDump::isCSLessDumpSubClient(unsigned long jxCellId, unsigned long subclientId) {
    ApplicationId application(jxCellId, subclientId);
    MsSqlSubclient* subclient = application.getSubclient();
    if (subclient == nullptr) {
        EV_ERROR(m_logger, "Failed to get subclient details.");
        return false;
    }
    bool associated = false;
    if (subclient->isSubclientAssociatedToDumpSweepSchedule(associated) == 0 && associated) return true;
    EV_INFO(m_logger, "The subclient [%lu] is not associated with any CSLess dump sweep schedule.", subclientId);
    return false;
}

bool CSQLDump::PreTLDump() {
    if (!FetchSubClientDetails() || !FetchInstanceDetails() || !FetchClientDetails() || !FetchGenericOptions()) {
        return false;
    }
    return !m_isAGChild || FetchAGDetails();
}

bool CSQLDump::FetchSubClientDetails() {
    ApplicationId application(m_jxCellId, m_appNumber);
    MsSqlSubclient* subclient = application.getSubclient();
    if (subclient == nullptr) {
        EV_ERROR(m_logger, "Failed to get subclient details.");
        return false;
    }
    std::string name;
    if (int rc = subclient->getSubclientName(name); rc != 0) {
        EV_ERROR(m_logger, "Failed to get subclient name for the subclient [%lu]. Error [%d].",
                 static_cast<unsigned long>(m_appNumber), rc);
        return false;
    }
    m_subClientCache.StoreSubClientDetails(m_appNumber, name, m_jxCellId);
    return true;
}

bool CSQLDump::FetchInstanceDetails() {
    m_subClientCache.StoreInstanceDetails(m_instanceId, m_sServername, "", "", GetSQLTimeout(m_sServername));
    return true;
}

bool CSQLDump::FetchClientDetails() {
    ApplicationId application(m_jxCellId, m_appNumber);
    JXClient* client = application.getClient();
    if (client == nullptr) {
        EV_ERROR(m_logger, "Failed to get client details.");
        return false;
    }
    std::string name;
    if (int rc = client->getClientName(name); rc != 0) {
        EV_ERROR(m_logger, "Failed to get the client name. Error code [%d].", rc);
        return false;
    }
    std::string mangled;
    if (int rc = client->getNetworkHostnameMangled(mangled); rc != 0) {
        EV_ERROR(m_logger, "Failed to get the client mangled name for the client [%s]. Error code [%d].", name.c_str(),
                 rc);
        return false;
    }
    uint64_t clientId = 0;
    (void)client->getClientId(clientId);  // the client was found above, so its id is there
    bool installed = false;
    if (int rc = ClientProperties(clientId).getIsInstalledClient(installed); rc != 0) {
        EV_ERROR(m_logger, "Failed to get client properties for the client [%s]. Error [%s].", name.c_str(),
                 std::to_string(rc).c_str());
        return false;
    }
    const bool agClient = client->isMSSQLAGClient();
    m_dumpType = agClient ? 6 : 4;
    m_subClientCache.StoreClientDetails(clientId, name, mangled, agClient, installed);
    return true;
}

bool CSQLDump::FetchGenericOptions() {
    unsigned long options = 0;
    (void)m_genericOptions.getOptionValue(options, false);  // unread options stay 0: none set
    m_subClientCache.StoreGenericOptions(options);
    EV_DEBUG(m_logger, 3, "Generic options [%lu].", options);
    return true;
}

bool CSQLDump::FetchAGDetails() {
    m_subClientCache.StoreAGInfo(m_agName, m_sServername);
    const std::string machine = JXPlatformInfo().getPhysicalMachine();
    uint64_t clientId = 0;
    if (!machine.empty()) (void)JXClient(machine).getClientId(clientId);  // 0 when unknown, checked below
    std::string mangled;
    if (machine.empty() || clientId == 0 || !getMangledClientName(mangled, clientId)) {
        EV_ERROR(m_logger, "Failed to get the details of this replica [%s].", machine.c_str());
        return false;
    }
    m_subClientCache.StoreReplicaClientDetails(clientId, machine, mangled);
    return true;
}

uint64_t CSQLDump::GetSQLTimeout(const std::string& instance) {
    const std::string key = "SQLTimeout_" + instance;
    uint64_t value = 0;
    if (JXPlatformInfo().getNumber("MSSQLAgent", key, &value) != 0) {
        EV_INFO(m_logger, "SQL Query timeout for instance [%s] is set to [%lu].", instance.c_str(),
                static_cast<unsigned long>(value));
        return value;
    }
    EV_INFO(m_logger, "No SQL Query timeout [%s] specified for the instance [%s] in the registry. Using the default",
            key.c_str(), instance.c_str());
    return 0;
}
