// CSQLBackup: which databases of an ordinary database subclient a phase
// backs up. Auto-discovery first lets the central server add new databases
// to the content; then every content database passes the selection rules in
// a fixed order, and the ones that pass make the collect file. A subclient
// that names an on-demand list takes its databases from that list instead.
#include <strings.h>

#include <list>
#include <memory>
#include <set>
#include <unordered_map>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/ApplProperties.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXString.h"

namespace {

constexpr unsigned long kOptionOnDemandFile = 0x405D3654;

// Skip reason codes of the status tab.
constexpr int kSkipSingleUser = 0;
constexpr int kSkipNotOnline = 1;
constexpr int kSkipReadOnly = 2;
constexpr int kSkipPseudoInstance = 4;
constexpr int kSkipMissing = 6;
constexpr int kSkipLogShipping = 7;

constexpr size_t kLineBufferSize = 1024;

}  // namespace

bool CSQLBackup::isDatabaseAssociatedToAG(const std::string& databaseName, CsqlDMO& sqlConnection,
                                          CSQLClientDll* requester, std::unordered_map<std::string, bool>& cache,
                                          std::string& groupName) {
    if (m_isAGChild || requester == nullptr) return false;
    if (!sqlConnection.GetAvailabiiltyGroupForDB(databaseName, groupName) || groupName.empty()) return false;
    if (!requester->isAGConfiguredAsPseudoClient(m_sServername, groupName, sqlConnection, cache)) return false;
    EV_DEBUG(m_logger, 1,
             "Database [%s] is part of AG [%s] for which pseudo instance is configured. Skipping backup of the "
             "database",
             databaseName.c_str(), groupName.c_str());
    return true;
}

bool CSQLBackup::getOnDemandFilePath(std::string& path) {
    MsSqlSubclient* subclient = m_applicationId.getSubclient();
    if (subclient == nullptr) {
        EV_DEBUG(m_logger, 1, "m_applicationId.getSubclient() failed. Check for JXSession connection errors!");
        return false;
    }
    std::string subclientName;
    if (subclient->getSubclientName(subclientName) != 0) {
        EV_ERROR(m_logger, "Failed to get subclientname from appmgr api");
        return false;
    }
    const std::string key = m_sServername + "_" + subclientName + "_OnDemandFilePath";
    if (JXPlatformInfo().getString("MSSQLAgent", key, path) != 0) {
        FXString::TrimWhiteSpace(path);
        if (path.empty()) EV_DEBUG(m_logger, 1, "value of %s On Demand reg value under MSSQLAGENT  is %s.", key.c_str(), path.c_str());
    } else {
        path.clear();
        EV_DEBUG(m_logger, 1, "Cant get the value of %s On Demand reg value under key  %s Performing normal backup!",
                 key.c_str(), "MSSQLAgent");
    }
    bool onDemand = false;
    if (path.empty() && subclient->isOnDemandSubclient(onDemand) == 0 && onDemand) {
        if (EvTask(m_jobId).getOptionString(kOptionOnDemandFile, path) != 0) {
            EV_ERROR(m_logger, "Failed to retreive on-demand file.");
            RaisePendingCause(kCauseTaskData, "Failed to retreive on-demand file");
            return false;
        }
    }
    return true;
}

bool CSQLBackup::generateSQLCollectFile() {
    const std::string path = CollectFilePath();
    CStopWatch watch;
    CSQLClientDll requester;
    std::unordered_map<std::string, bool> pseudoGroups;

    // Auto-discovery: the central server adds the instance's new databases.
    bool refreshed = false;
    std::string subclientName;
    const bool isDefault = m_pSubclient != nullptr && m_pSubclient->getSubclientName(subclientName) == 0 &&
                           strcasecmp(subclientName.c_str(), "default") == 0;
    if (isDefault) {
        if (!m_disableAutoDiscovery) {
            if (!requester.autoDiscover(static_cast<unsigned long>(m_jxCellId), static_cast<unsigned long>(m_appNumber),
                                        m_contentFilters, pseudoGroups)) {
                EV_ERROR(m_logger,
                         "AutoDiscover Failed, please check if sql services are running and connectivity between CS "
                         "and CC.");
                RaisePendingCause(kCauseAutoDiscoverFailed);
                return false;
            }
            refreshed = true;
        }
    } else {
        eSubClientTypes type = SUBCLIENT_TYPE_1;
        if (!getSubclientType(type)) type = SUBCLIENT_TYPE_1;
        if (type != SUBCLIENT_TYPE_1 && !m_disableAutoDiscovery &&
            !requester.autoDiscover(static_cast<unsigned long>(m_jxCellId), static_cast<unsigned long>(m_appNumber), type,
                                    m_contentFilters, pseudoGroups)) {
            EV_ERROR(m_logger,
                     "AutoDiscover Failed for subclient type [%d], please check if sql services are running and "
                     "connectivity between CS and CC.",
                     static_cast<int>(type));
            RaisePendingCause(kCauseAutoDiscoverFailed);
            return false;
        }
        refreshed = true;
    }
    if (refreshed) {
        // The application model is read afresh by every call, so there is no
        // message cache to switch off.
        if (!RefreshSubclient()) return false;
    }
    watch.Stop();
    EV_DEBUG(m_logger, 1, "Time taken to auto-discover databases = %f", watch.Time());

    if (!GenerateStreamInfoFile(m_bkpPhase, 0)) return false;

    watch.Start();
    CsqlDMO sql;
    if (!sql.initialize(m_sServername, false)) {
        EV_WARN(m_logger, "Failed to initialize SQL server. Check if SQL Services are offline.");
        ++m_loggedDbCount;
        return false;
    }

    std::string onDemandPath;
    if (getOnDemandFilePath(onDemandPath) && !onDemandPath.empty()) {
        EV_INFO(m_logger, "This is a on-demand sc backup [%s]", onDemandPath.c_str());
        JXFile list;
        if (list.open(onDemandPath.c_str(), JXFile::kRead) != 0) {
            EV_ERROR(m_logger, "Failed to open OnDemand SC file %s", onDemandPath.c_str());
            RaisePendingCause(kCauseJobFileOpen, onDemandPath);
            return false;
        }
        std::vector<std::string> listed;
        char line[kLineBufferSize];
        int rc;
        while ((rc = list.getLine(line, sizeof line)) == 1) {
            if (line[0] == '\0') continue;  // no database on an empty line
            if (sql.isDatabaseExists(line)) {
                EV_DEBUG(m_logger, 1, "Adding DB %s to collect file", line);
                listed.emplace_back(line);
            } else {
                EV_DEBUG(m_logger, 1, "database (%s) doesn't exist . It will not be included in On-Demand SC backup",
                         line);
                (void)UpdateSkippedFailedCountAndJobInfo(
                    line, std::string("Database [") + line + "] does not exists. Skipped it from on-demand subclient backup.",
                    kSkipMissing, JobManager::kDBStatusSkippedAtCollect);
            }
        }
        if (rc < 0) {
            // A line too long for a name, or a read error: the list is not whole.
            EV_ERROR(m_logger, "Failed to read OnDemand SC file %s with error [%d]", onDemandPath.c_str(),
                     list.getLastError());
            return false;
        }
        (void)list.close();  // read only
        if (!PutListInPlace(path, listed)) return false;
        watch.Stop();
        EV_DEBUG(m_logger, 1, "Time taken to generate collect file = %f", watch.Time());
        return CollectFileHoldsData(path, true);
    }

    PropertiesList content;
    if (m_pSubclient == nullptr || ApplProperties(m_pSubclient->getId()).getProperties(content, nullptr) != 0) {
        EV_ERROR(m_logger,
                 "AppManager failed to lookup properties of the subclient. Please check if orvane and SQL services are "
                 "running on CS.");
        RaisePendingCause(kCauseSubclientProperties);
        return false;
    }
    const bool skipSharePoint = isSkipSharepointContentDB();
    std::set<std::string> sharePointDatabases;
    if (skipSharePoint &&
        !requester.lookupSpContentDBbyClientId(static_cast<unsigned long>(m_jxCellId), m_sServername,
                                               static_cast<unsigned long>(m_clientId), sharePointDatabases)) {
        EV_WARN(m_logger, "Failed to get sharepoing content databases list (skip list), content dbs will be backed up");
    }
    std::list<std::string> excluded;
    m_contentFilters.GetDBsExcludedFromAutoDiscovery(excluded);
    PropertiesList toDelete;
    std::vector<std::string> selected;
    uint64_t count = 0;
    const bool ignoreNonExistent = m_ignoreNonExistentDb.isEnabled();

    for (const auto& property : content.getList()) {
        const MSSQLDBProperty* database = SelectableContentDatabase(property, excluded);
        if (database == nullptr) continue;
        const std::string name = database->getDBName();
        std::string reason;
        int code = -1;
        if (ignoreNonExistent || database->isAutoDiscovered()) {
            bool failed = false;
            if (!sql.isDatabaseExists(name, &failed)) {
                EV_WARN(m_logger, "Database (%s) doesn't exist. It might have been deleted.", name.c_str());
                (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [" + name + "] does not exists.", kSkipMissing,
                                                         JobManager::kDBStatusSkippedAtCollect);
                // Only a definite "no" removes the database from the content:
                // a question that could not be answered is no proof it is gone.
                if (!failed && !m_genericOptions.isDonotDeleteNonExistentDB()) {
                    EV_DEBUG(m_logger, 1, "Database (%s) doesn't exist, deleting it from subclient content.",
                             name.c_str());
                    toDelete.addToPropList(property);
                }
                continue;
            }
        }
        if (ignoreNonExistent) {
            int status = 1;
            std::string statusText;
            if (!sql.getDatabaseStatus(m_sServername, name, status, statusText) || status != 1) {
                EV_WARN(m_logger, "Database [%s] is not online, status [%s] . Backup is skipped.", name.c_str(),
                        statusText.c_str());
                reason = "Status of database [" + name + "] is [" + statusText + "].";
                code = kSkipNotOnline;
            }
        }
        std::string group;
        if (code < 0 && sql.isDatabaseOffline(m_sServername, name)) {
            EV_WARN(m_logger, "Database [%s] is not online.", name.c_str());
            reason = "Database [" + name + "] is not online.";
            code = kSkipNotOnline;
        } else if (code < 0 && skipSharePoint && sharePointDatabases.count(name) != 0) {
            EV_DEBUG(m_logger, 1, "Database [%s] is already being protected from SPPmn, Skipping from SQL backup.",
                     name.c_str());
            if (m_pBkpJobClnt != nullptr) {
                (void)m_pBkpJobClnt->setSkippedItemsToAdd(1);
                (void)m_pBkpJobClnt->updateInfo(false, nullptr);
            }
            int version = 0;
            if (!sql.isSharepointContentDB(name, version)) {
                EV_WARN(m_logger, "Failed to get SP version for DB [%s].", name.c_str());
            }
            const std::string text =
                "Database [" + name + "] is already being protected from SPPmn, Skipping from SQL backup..";
            (void)UpdateStatusTabSkippedDBInfo(name.c_str(), text.c_str(), version);
            continue;
        } else if (code < 0 && m_genericOptions.isSkipBackup_SingleUserModeDB() &&
                   sql.isDatabaseInSingleUserMode(name)) {
            EV_WARN(m_logger, "Database [%s] is in single user mode. Backup is skipped.", name.c_str());
            reason = "Database [" + name + "] is in single user mode. Skipped from backup.";
            code = kSkipSingleUser;
        } else if (code < 0 && m_bSkipReadOnly && sql.isReadOnly(m_sServername, name) &&
                   (!sql.GetAvailabiiltyGroupForDB(name, group) || group.empty())) {
            EV_WARN(m_logger, "Database [%s] is read only. Backup is skipped.", name.c_str());
            reason = "Database [" + name + "] is in [READ-ONLY] mode. Backup is skipped.";
            code = kSkipReadOnly;
        } else if (code < 0 && m_bkpPhase == JXSQL_BACKUP_LOG && !m_genericOptions.isBackup_LogShippedDB() &&
                   sql.isDatabaseConfiguredForLogShipping(m_sServername, name)) {
            EV_WARN(m_logger, "Database [%s] is configured for log shipping. Backup is skipped.", name.c_str());
            reason = "Database [" + name + "] is configured for [LOG SHIPPING]. Backup is skipped.";
            code = kSkipLogShipping;
        } else if (code < 0 && isDatabaseAssociatedToAG(name, sql, &requester, pseudoGroups, group)) {
            reason = "Database [" + name + "] is part of availability group [" + group +
                     "] for which pseudo instance is configured.";
            code = kSkipPseudoInstance;
        }
        if (code >= 0) {
            (void)UpdateSkippedFailedCountAndJobInfo(name, reason, code, JobManager::kDBStatusSkippedAtCollect);
            continue;
        }
        selected.push_back(name);
        ++count;
    }

    (void)CheckAndAddFilteredDBsToStatusTab(excluded);
    if (!RemoveFromSubclientContent(toDelete)) return false;
    if (!WriteSelectedCollectFile(path, selected, true)) return false;
    watch.Stop();
    SetDatabasesToBackup(count);
    EV_DEBUG(m_logger, 1, "Time taken to generate collect file = %f", watch.Time());
    return CollectFileHoldsData(path, true);
}
