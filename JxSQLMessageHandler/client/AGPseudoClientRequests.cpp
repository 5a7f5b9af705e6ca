// Availability groups configured as pseudo-clients, explicit additions to an
// instance's default subclient, and the database name of a restore entry.
//
// A group's pseudo-client answer comes from a stored procedure of the central
// server and is cached per group in the caller's map; an answer that cannot
// be had counts as "not configured", so that the group's databases are
// treated as ordinary databases of the instance.
#include <string>

#include "JXAppMgr/App_ExecuteSP.h"
#include "JXAppMgr/StoredProcedures.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLMessageHandler/client/AutoDiscoverRequest.h"
#include "JxSQLMessageHandler/client/RestoreEntryFields.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"

bool CSQLClientDll::isAGConfiguredAsPseudoClient(const std::string& instanceName, const std::string& agName,
                                                 CsqlDMO& dmo, std::unordered_map<std::string, bool>& agCache) {
    std::string guid = "N/A";
    bool configured = false;
    if (auto cached = agCache.find(agName); cached != agCache.end()) {
        configured = cached->second;
    } else {
        // Every failure below leaves `configured` false and caches that.
        std::string xml;
        App::SQLAvailabilityGroup group;
        if (!dmo.GetAG(FXString::ToWstring(instanceName), agName, xml) || xml.empty()) {
            EV_WARN(m_event, "Failed to get information on AG [%s]. Assuming it is not configured as pseudo instance.",
                    agName.c_str());
        } else if (int rc = group.unserialize(xml); rc != kMsgOk) {
            EV_WARN(m_event, "Failed to unserialize ag information for [%s]. Assuming it is not configured as pseudo "
                    "instance. Error [%d]. XML [%s].", agName.c_str(), rc, xml.c_str());
        } else if (!group.isSet(App::SQLAvailabilityGroup::kGuid)) {
            EV_WARN(m_event, "No guid found for AG [%s]. Cannot check if pseudo instance is configured. Assuming it "
                    "is not configured as pseudo instance.", agName.c_str());
        } else {
            guid = group.getstring(App::SQLAvailabilityGroup::kGuid);
            App::GetSqlClientAndInstanceReq request;
            request.setint64(App::GetSqlClientAndInstanceReq::kRequestKind, 1);
            request.setstring(App::GetSqlClientAndInstanceReq::kGroupGuid, guid);
            std::string requestXml;
            if (int rc = request.serialize(requestXml); rc != kMsgOk) {
                EV_WARN(m_event, "Failed to serialize request to check if pseudo instance is configured for AG [%s]. "
                        "Assuming it is not configured as pseudo instance. Error [%d].", agName.c_str(), rc);
            } else {
                EV_DEBUG(m_event, 3, "Request xml to check if pseudo instance is configured is [%s]",
                         requestXml.c_str());
                std::string responseXml;
                if (int rc = App_ExecuteSP().executeStoredProcedure(kSpGetSqlClientAndInstance, requestXml,
                                                                    responseXml, nullptr);
                    rc != 0) {
                    // Not cached: the next call asks again.
                    EV_ERROR(m_event, "Failed to executeStoredProcedure GetSqlClientAndInstanceReq, Input XML [%s], "
                             "Error [%d].", requestXml.c_str(), rc);
                    return false;
                }
                App::GetSqlClientAndInstanceResp response;
                if (int rc = response.unserialize(responseXml); rc != kMsgOk) {
                    EV_WARN(m_event, "Failed to unserialize response to check if pseudo instance is configured for "
                            "AG [%s]. Assuming it is not configured as pseudo instance. Xml [%s], Error [%d].",
                            agName.c_str(), responseXml.c_str(), rc);
                } else if (const CNMessageBase* result =
                               response.getObjectAccessor(App::GetSqlClientAndInstanceResp::kResult)) {
                    configured = result->getint64(App::GetSqlClientAndInstanceResp::kPseudoClientConfigured) != 0;
                }
            }
        }
        agCache[agName] = configured;
    }
    EV_DEBUG(m_event, 1, "Pseudo instance for Availability Group [%s] with guid [%s] [%s] configured", agName.c_str(),
             guid.c_str(), configured ? "is" : "is not");
    return configured;
}

bool CSQLClientDll::AddUnconfiguredDatabaseToDefaultSubClient(unsigned long jxCellId, unsigned long appId,
                                                              std::set<std::string> databases) {
    DiscoveryEntities e;
    if (!ReadDiscoveryEntities(jxCellId, appId, e)) {
        EV_ERROR(m_event, "Condition statisfied !pClient, !pAppType, !pSqlInst, !pBkpSet");
        return false;
    }
    EV_DEBUG(m_event, 1, "Server Type returned = [%s].", e.serverType.c_str());
    if (databases.empty()) {
        EV_DEBUG(m_event, 1, "Nothing new to discover on instance [%s].", e.instanceName.c_str());
        return true;
    }

    CsqlDMO dmo;
    AutoDiscoverRequest request;
    for (const std::string& name : databases) {
        unsigned long id = 0;
        if (!dmo.getDatabaseId(e.instanceName, name, id)) {
            EV_ERROR(m_event, "Failed to get database id for DB [%s] instance [%s].", name.c_str(),
                     e.instanceName.c_str());
            continue;
        }
        unsigned long creationTime = 0;
        if (!dmo.getDatabaseCreationTime(e.instanceName, name, creationTime)) {
            EV_ERROR(m_event, "Failed to get creation time for DB [%s] instance [%s].", name.c_str(),
                     e.instanceName.c_str());
            continue;
        }
        request.Add(name, creationTime, id);
    }

    AutoDiscoverRequest::Outcome outcome = request.Send(*this, appId);
    if (outcome == AutoDiscoverRequest::Outcome::kStored) {
        EV_DEBUG(m_event, 1, "Auto Discover Completed.");
        EV_DEBUG(m_event, 1, "New Databases found: %s", request.NamesWithCommas().c_str());
        return true;
    }
    if (outcome == AutoDiscoverRequest::Outcome::kNotStored) {
        EV_DEBUG(m_event, 1, "Addition of contents to default sub-client failed. Check jxd.log on CS.");
        EV_DEBUG(m_event, 1, "Failed to Add databases to 'default' subclient.");
        m_event << "" << e.instanceName.c_str() << "";
        m_event.CriticalEvent(kEventAutoDiscoverFailed, 0, 0);
    }
    return false;
}

std::string CSQLClientDll::ParseDatabase(std::string entry) {
    size_t separator = entry.find(kRestoreEntrySeparator);
    return separator == std::string::npos ? entry : entry.substr(0, separator);
}
