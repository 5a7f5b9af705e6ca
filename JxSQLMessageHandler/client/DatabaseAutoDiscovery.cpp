// Database auto-discovery: the databases of an instance (or of one
// availability group) that no database subclient names yet are reported to
// the central server, which adds them to the instance's default subclient.
//
// The instance forms run one at a time per instance on the machine, under a
// named system mutex; a discovery that cannot get it in time is skipped, with
// a critical event, and counts as done, so that a backup is not failed by a
// concurrent one.
#include <strings.h>

#include <cinttypes>
#include <list>
#include <string>
#include <unordered_set>
#include <vector>

#include "JXAppMgr/ApplicationId.h"
#include "JXAppMgr/ClientApplicationList.h"
#include "JxLib/FXNamedMutex.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/CSQLPmnContentFilters.h"
#include "JxSQLCommon/records/SqlConvert.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/client/AutoDiscoverRequest.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSession/jxsFrame.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/CTimeInterval.h"
#include "WzUtils/FXString.h"
#include "WzUtils/auto_lock.h"

namespace {

constexpr const char* kExclusion = "N'tempdb'";
constexpr const char* kDatabaseEngine = "DataBase Engine";
constexpr const char* kDoNotBackup = "Do Not Backup";
constexpr unsigned int kDatabaseSubclientType = 1;
constexpr uint64_t kDefaultLockTimeoutSeconds = 900;
constexpr const char* kLockTimeoutKey = "nAutoDiscoverSQLDatabaseTimeout";

std::string MutexName(uint64_t instanceId) {
    return "Global\\jx_mssql_" + std::to_string(instanceId) + "_DatabaseAutoDiscover";
}

// One instance-form discovery; `subclientType` null for the form over all
// databases.
class InstanceDiscovery {
public:
    InstanceDiscovery(CSQLClientDll& client, EvEvent& log, CSQLPmnContentFilters& filters,
                      std::unordered_map<std::string, bool>& agCache)
        : m_client(client), m_log(log), m_filters(filters), m_agCache(agCache) {}

    bool Run(unsigned long jxCellId, unsigned long appId, const eSubClientTypes* subclientType);

private:
    // Waits for the instance's mutex; false when it was not had in time.
    bool Lock(auto_lock& lock, const std::string& mutexName);
    bool ReadConfiguredNames(std::unordered_set<std::string>& configured);
    void RaiseEvent();

    CSQLClientDll& m_client;
    EvEvent& m_log;
    CSQLPmnContentFilters& m_filters;
    std::unordered_map<std::string, bool>& m_agCache;
    DiscoveryEntities m_entities;
    unsigned long m_jxCellId = 0;
};

void InstanceDiscovery::RaiseEvent() {
    m_log << kExclusion << m_entities.instanceName.c_str() << m_entities.clientName.c_str();
    m_log.CriticalEvent(kEventAutoDiscoverFailed, 0, 0);
}

bool InstanceDiscovery::Lock(auto_lock& lock, const std::string& mutexName) {
    uint64_t timeout = kDefaultLockTimeoutSeconds;
    if (JXPlatformInfo().getNumber("MSSQLAgent", kLockTimeoutKey, &timeout) != 0) {
        EV_DEBUG(m_log, 3, "Using [%" PRIu64 "] as lock timeout for auto-discovering databases.", timeout);
    } else {
        timeout = kDefaultLockTimeoutSeconds;
        EV_DEBUG(m_log, 3, "Failed to get lock timeout from registry key [%s]. Using default lock timeout [%d].",
                 kLockTimeoutKey, static_cast<int>(kDefaultLockTimeoutSeconds));
    }
    int64_t seconds = timeout > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(timeout);
    if (!lock.TryLock(CTimeInterval::FromSeconds(seconds))) {
        EV_WARN(m_log, "Failed to lock mutex [%s] for auto-discovering databases. Skipped database auto-discovery",
                mutexName.c_str());
        RaiseEvent();
        return false;
    }
    EV_DEBUG(m_log, 1, "Locked mutex [%s] for database auto-discovery", mutexName.c_str());
    return true;
}

bool InstanceDiscovery::ReadConfiguredNames(std::unordered_set<std::string>& configured) {
    const DiscoveryEntities& e = m_entities;
    std::list<uint64_t> ids;
    std::list<std::string> names;
    if (ClientApplicationList::getSubclientList(ids, names, e.clientId, e.appTypeId, e.instanceId, e.backupSetId,
                                                nullptr, 6) != 0) {
        EV_WARN(m_log, "Failed to get subclient list, client [%" PRIu64 "], instance [%" PRIu64
                "], backupset [%" PRIu64 "]", e.clientId, e.instanceId, e.backupSetId);
        return false;
    }
    auto name = names.begin();
    for (auto id = ids.begin(); id != ids.end(); ++id, ++name) {
        ApplicationId application(m_jxCellId, *id);
        MsSqlSubclient* subclient = application.getSubclient();
        if (subclient == nullptr) {
            EV_WARN(m_log, "Failed to get sqlbackpack, client [%" PRIu64 "], instance [%" PRIu64
                    "], backupset [%" PRIu64 "]", e.clientId, e.instanceId, e.backupSetId);
            return false;
        }
        unsigned int type = 0;
        if (int rc = subclient->getSQLSubclientType(type); rc != 0) {
            EV_WARN(m_log, "Failed to get subclient type, client [%" PRIu64 "], subclient [%" PRIu64 "], Error [%d].",
                    e.clientId, *id, rc);
            type = 0;
        }
        if (type != kDatabaseSubclientType && strcasecmp(name->c_str(), kDoNotBackup) != 0) continue;
        std::vector<std::string> databases;
        if (!ReadSubclientDatabases(*id, databases)) {
            EV_WARN(m_log, "Failed to get sqlbackpack properties, client [%" PRIu64 "], instance [%" PRIu64
                    "], backupset [%" PRIu64 "], subclient [%" PRIu64 "].", e.clientId, e.instanceId,
                    e.backupSetId, *id);
            RaiseEvent();
            return false;
        }
        // The instance's default collation ignores case, so "Sales" and
        // "sales" name one database; both sides are compared in lower case.
        for (const std::string& database : databases) configured.insert(SqlConvert::ToLower(database));
    }
    return true;
}

bool InstanceDiscovery::Run(unsigned long jxCellId, unsigned long appId, const eSubClientTypes* subclientType) {
    m_jxCellId = jxCellId;
    if (!ReadDiscoveryEntities(jxCellId, appId, m_entities)) {
        EV_DEBUG(m_log, 1, "Condition statisfied !pClient, !pAppType, !pSqlInst, !pBkpSet");
        return false;
    }
    const DiscoveryEntities& e = m_entities;
    EV_DEBUG(m_log, 1, "Server Type returned = [%s]", e.serverType.c_str());
    const bool databaseEngine = e.serverType == kDatabaseEngine;

    const std::string mutexName = MutexName(e.instanceId);
    FXNamedMutex mutex(mutexName);
    auto_lock lock(&mutex, false);
    if ((databaseEngine || subclientType != nullptr) && !Lock(lock, mutexName)) return true;

    std::unordered_set<std::string> configured;
    if (!ReadConfiguredNames(configured)) return false;

    CsqlDMO dmo;
    // The instance layer builds the list with the record allocators; the
    // request's codec frees it.
    SQLAutoDiscoverReq_t candidates;
    jxsScopedRecordFree<SQLAutoDiscoverReq_t> freeCandidates(kSqlAutoDiscoverReq, candidates);
    if (subclientType != nullptr) {
        if (!dmo.getDatabasebyType(e.instanceName, candidates, kExclusion, *subclientType)) return false;
    } else if (databaseEngine) {
        if (!dmo.getDatabases(e.instanceName, candidates, kExclusion)) return false;
    }
    if (candidates.count == 0) {
        EV_DEBUG(m_log, 1, "No DataBases present on the sqlserver on the client [%s], instance [%s]",
                 e.clientName.c_str(), e.instanceName.c_str());
        return true;
    }

    AutoDiscoverRequest request;
    for (uint32_t i = 0; i < candidates.count; ++i) {
        const SQL_DatabaseInfo_t& candidate = candidates.databases[i];
        const std::string name = candidate.name != nullptr ? candidate.name : "";
        if (configured.count(SqlConvert::ToLower(name)) != 0 || !m_filters.ShouldSelectDBForBackup(name)) continue;
        if (databaseEngine) {
            std::string group;
            if (dmo.GetAvailabiiltyGroupForDB(name, group) && !group.empty() &&
                m_client.isAGConfiguredAsPseudoClient(e.instanceName, group, dmo, m_agCache)) {
                continue;
            }
        }
        request.Add(name, candidate.creationTime, candidate.databaseId);
    }
    if (request.empty()) {
        EV_DEBUG(m_log, 1, "Nothing new to discover on client [%s], instance [%s]", e.clientName.c_str(),
                 e.instanceName.c_str());
        return true;
    }

    AutoDiscoverRequest::Outcome outcome = request.Send(m_client, appId);
    lock.Unlock();
    if (outcome == AutoDiscoverRequest::Outcome::kStored) {
        EV_DEBUG(m_log, 1, "Auto Discover Completed.");
        EV_DEBUG(m_log, 1, "New Databases found: %s", request.NamesWithCommas().c_str());
        return true;
    }
    if (outcome == AutoDiscoverRequest::Outcome::kNotStored) {
        EV_DEBUG(m_log, 1, "Auto Discover Failed. Check jxd.log on CS.");
        EV_DEBUG(m_log, 1, "Auto Discover Completed.");
        RaiseEvent();
    }
    return false;
}

}  // namespace

bool CSQLClientDll::autoDiscover(unsigned long jxCellId, unsigned long appId, CSQLPmnContentFilters& filters,
                                 std::unordered_map<std::string, bool>& agCache) {
    return InstanceDiscovery(*this, m_event, filters, agCache).Run(jxCellId, appId, nullptr);
}

bool CSQLClientDll::autoDiscover(unsigned long jxCellId, unsigned long appId, eSubClientTypes subclientType,
                                 CSQLPmnContentFilters& filters, std::unordered_map<std::string, bool>& agCache) {
    return InstanceDiscovery(*this, m_event, filters, agCache).Run(jxCellId, appId, &subclientType);
}

bool CSQLClientDll::AutoDiscoverForAlwaysON(unsigned long jxCellId, unsigned long appId, std::string instanceName,
                                            std::string agName, CSQLPmnContentFilters& filters) {
    DiscoveryEntities e;
    if (!ReadDiscoveryEntities(jxCellId, appId, e)) {
        EV_WARN(m_event, "Failed to auto discover, NULL client/applicationtype/mssqlinstance/backupset.");
        return false;
    }
    std::list<uint64_t> ids;
    std::list<std::string> names;
    if (ClientApplicationList::getSubclientList(ids, names, e.clientId, e.appTypeId, e.instanceId, e.backupSetId,
                                                nullptr, 6) != 0) {
        EV_WARN(m_event, "Failed to get subclient list. Auto discovery will not happen.");
        return false;
    }
    std::vector<std::string> configured;
    for (uint64_t id : ids) {
        ApplicationId application(jxCellId, id);
        MsSqlSubclient* subclient = application.getSubclient();
        if (subclient == nullptr) {
            EV_WARN(m_event, "Failed to get backpack for subclient [%" PRIu64 "]. Auto discover will not happen.", id);
            return false;
        }
        unsigned int type = 0;
        if (subclient->getSQLSubclientType(type) != 0) type = 0;
        if (type != kDatabaseSubclientType) continue;
        if (!ReadSubclientDatabases(id, configured)) {
            EV_WARN(m_event, "Failed to fetch properties of backpack of subclient [%" PRIu64
                    "]. Auto discover will not happen.", id);
            return false;
        }
    }

    CsqlDMO dmo;
    std::string xml;
    if (!dmo.GetAvailabilityDatabases(FXString::ToWstring(instanceName), agName, xml)) {
        EV_WARN(m_event, "Failed to get databases on SQL Server [%s], Availability group [%s]. Auto discover will "
                "not happen.", instanceName.c_str(), agName.c_str());
        return false;
    }
    if (xml.empty()) {
        EV_ERROR(m_event, "No availabiilty databases returned. Auto discovery will not happen.");
        return false;
    }
    App::SQLAvailabilityDatabases message;
    if (int rc = message.unserialize(xml); rc != kMsgOk) {
        EV_ERROR(m_event, "Failed to unserialize message [%s] with error [%d]. Auto discovery will not happen.",
                 xml.c_str(), rc);
        return false;
    }

    std::vector<App::SQLAvailabilityDatabase> databases;
    message.getlistobject(App::SQLAvailabilityDatabases::kDatabases, databases);
    AutoDiscoverRequest request;
    for (const App::SQLAvailabilityDatabase& database : databases) {
        const std::string name = database.getstring(App::SQLAvailabilityDatabase::kName);
        bool known = false;
        for (const std::string& other : configured) known = known || strcasecmp(other.c_str(), name.c_str()) == 0;
        if (known || !filters.ShouldSelectDBForBackup(name)) continue;
        request.Add(name, static_cast<uint64_t>(database.getint64(App::SQLAvailabilityDatabase::kCreationTime)),
                    static_cast<uint64_t>(database.getint64(App::SQLAvailabilityDatabase::kDatabaseId)));
    }
    if (request.empty()) {
        EV_DEBUG(m_event, 1, "Nothing new to discover.");
        return true;
    }

    AutoDiscoverRequest::Outcome outcome = request.Send(*this, appId);
    bool result = outcome == AutoDiscoverRequest::Outcome::kStored;
    if (result) {
        EV_DEBUG(m_event, 1, "New Databases found: [%s].", request.NamesWithCommas().c_str());
    } else if (outcome == AutoDiscoverRequest::Outcome::kNotStored) {
        EV_WARN(m_event, "Auto Discover Failed. Check jxd.log on CS.");
        m_event << "" << instanceName.c_str() << e.clientName.c_str();
        m_event.CriticalEvent(kEventAutoDiscoverFailed, 0, 0);
    }
    EV_DEBUG(m_event, 1, "Auto Discover Completed.");
    return result;
}
