// CSQLBackup: the collect file of a job started from the SQL plug-in. The
// plug-in names the databases in a task option, separated by 0x12; those not
// yet in the subclient's content may be added to the instance's default
// subclient on the way, when auto-discovery is on.
#include <strings.h>

#include <set>
#include <string>
#include <unordered_map>

#include "EvTaskApiNet/EvBkpTask.h"
#include "JXAppMgr/ApplProperties.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/backup/ExternalDatabaseName.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"

namespace {

constexpr unsigned long kOptionPluginBackup = 0x14EB33C6;
constexpr unsigned long kOptionPluginDatabases = 0x4D8831B6;
constexpr int kInitiatedFromOnDemand = 6;
constexpr char kNameSeparator = 0x12;

constexpr int kSkipPseudoInstance = 4;
constexpr int kSkipMissing = 6;
constexpr int kSkipNotApplicable = 12;

}  // namespace

bool CSQLBackup::isJobInitiatedFromPlugin() {
    bool plugin = false;
    if (const int rc = EvBkpTask(m_jobId, 0, nullptr).getOptionBool(kOptionPluginBackup, plugin); rc != 0) {
        EV_DEBUG(m_logger, 1, "Failed to get SQL plugin enabled backup option with erorr [%d].", rc);
        return false;
    }
    EV_DEBUG(m_logger, 1, "Job [%s] initiated from SQL Plugin.", plugin ? "is" : "is not");
    return plugin;
}

bool CSQLBackup::isJobInitiatedFromOSC() {
    const int from = EvBkpTask(m_jobId, 0, nullptr).getInitiatedFrom();
    if (from == kInitiatedFromOnDemand) {
        EV_DEBUG(m_logger, 1, "Job is initiated from OSC.");
        return true;
    }
    EV_WARN(m_logger, "Job is not initiated from OSC [%d].", from);
    return false;
}

bool CSQLBackup::CreateCollectFileForPlugin() {
    std::string option;
    if (const int rc = EvBkpTask(m_jobId, 0, nullptr).getOptionString(kOptionPluginDatabases, option); rc != 0) {
        EV_ERROR(m_logger, "Failed to get SQL plugin enabled backup option with erorr [%d].", rc);
        return false;
    }
    EV_DEBUG(m_logger, 1, "Backup for Databases [%s].", option.c_str());
    if (option.empty()) {
        EV_WARN(m_logger, "No Databases found for backup.");
        RaisePendingCause(kCauseNoDatabases);
        return false;
    }
    CsqlDMO sql;
    if (!sql.initialize(m_sServername, false)) {
        EV_ERROR(m_logger, "DMO initialize failed.");
        return false;
    }
    CSQLClientDll requester;
    std::unordered_map<std::string, bool> pseudoGroups;
    std::set<std::string> requested;
    // Every piece between separators is looked at on its own: "tempdb" is
    // refused wherever it stands in the list, and empty pieces name nothing.
    size_t start = 0;
    while (start <= option.size()) {
        size_t end = option.find(kNameSeparator, start);
        if (end == std::string::npos) end = option.size();
        const std::string name = option.substr(start, end - start);
        start = end + 1;
        if (name.empty()) continue;
        std::string why;
        if (!jxsql::IsCollectFileName(name, why)) {
            EV_ERROR(m_logger, "Database name requested by the plug-in is refused: %s.", why.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name.substr(0, name.find_first_of("\r\n")),
                                                     "The database name requested for backup is not valid: " + why +
                                                         ".",
                                                     kSkipMissing, JobManager::kDBStatusSkippedAtCollect);
            continue;
        }
        if (strcasecmp(name.c_str(), "tempdb") == 0) {
            EV_WARN(m_logger, "Database [ tempdb ] is not applicable for backups/restores");
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [ tempdb ] is not applicable for backups/restores",
                                                     kSkipNotApplicable, JobManager::kDBStatusSkippedAtCollect);
            continue;
        }
        std::string group;
        if (isDatabaseAssociatedToAG(name, sql, &requester, pseudoGroups, group)) {
            (void)UpdateSkippedFailedCountAndJobInfo(
                name, "Database [" + name + "] is part of availability group [" + group +
                          "] for which pseudo instance is configured.",
                kSkipPseudoInstance, JobManager::kDBStatusSkippedAtCollect);
            continue;
        }
        requested.insert(name);
    }
    if (!generateSQLCollectFileForPlugin(requested)) {
        EV_ERROR(m_logger, "Failed to create collect file.");
        return false;
    }
    return true;
}

bool CSQLBackup::generateSQLCollectFileForPlugin(std::set<std::string> requested) {
    PropertiesList content;
    if (m_pSubclient == nullptr || ApplProperties(m_pSubclient->getId()).getProperties(content, nullptr) != 0) {
        EV_DEBUG(m_logger, 1,
                 "AppManager failed to lookup properties of the subclient. Please check if orvane and SQL services are "
                 "running on CS.");
        RaisePendingCause(kCauseSubclientProperties);
        return false;
    }
    const bool autoDiscovery = !m_disableAutoDiscovery;
    EV_DEBUG(m_logger, 1, "Unconfigured Databases [%s] be configured to subclient.", autoDiscovery ? "will" : "will not");

    std::set<std::string> selected;
    std::set<std::string> unconfigured;
    for (const std::string& name : requested) {
        bool found = false;
        for (const auto& property : content.getList()) {
            if (property->getType() != kApplPropertyTypeSqlDatabase) continue;
            const auto* database = dynamic_cast<const MSSQLDBProperty*>(property.get());
            if (database == nullptr) continue;
            EV_DEBUG(m_logger, 2, "Got database [%s] name from sub-client.", database->getDBName().c_str());
            if (strcasecmp(database->getDBName().c_str(), name.c_str()) == 0) {
                found = true;
                break;
            }
        }
        if (found) {
            selected.insert(name);
        } else if (autoDiscovery) {
            unconfigured.insert(name);
        } else {
            // The user asked for it: say why it is not backed up.
            EV_WARN(m_logger, "Database [%s] is not in the subclient content. It will not be included in backup.",
                    name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(
                name, "Database [" + name + "] is not in the subclient content. Skipped from backup.", kSkipMissing,
                JobManager::kDBStatusSkippedAtCollect);
        }
    }
    if (!unconfigured.empty()) {
        CSQLClientDll requester;
        const auto cell = static_cast<unsigned long>(m_jxCellId);
        const auto app = static_cast<unsigned long>(m_appNumber);
        if (requester.AddUnconfiguredDatabaseToDefaultSubClient(cell, app, unconfigured)) {
            selected.insert(unconfigured.begin(), unconfigured.end());
        } else {
            // One name the central server refuses must not keep the others
            // out: each is offered again on its own.
            EV_ERROR(m_logger, "Failed to add the database to default subclient content.");
            for (const std::string& name : unconfigured) {
                if (requester.AddUnconfiguredDatabaseToDefaultSubClient(cell, app, {name})) {
                    selected.insert(name);
                } else {
                    EV_ERROR(m_logger, "Failed to add the database [%s] to default subclient content.", name.c_str());
                }
            }
        }
    }
    if (selected.empty()) {
        EV_ERROR(m_logger, "The Collect file content is empty. There are no databases to be backed up.");
        RaisePendingCause(kCauseCollectFileEmpty);
        return false;
    }
    if (!GenerateStreamInfoFile(m_bkpPhase, 0)) return false;

    const std::string path = CollectFilePath();
    CsqlDMO sql;
    if (!InitializeCollectConnection(sql)) return false;
    std::set<std::string> sharePointDatabases;
    LoadSharePointSkipSet(sharePointDatabases,
                          "Failed to get sharepoing content databases list (skip list), continue to backup sharepoint "
                          "dbs.");
    std::vector<std::string> listed;
    for (const std::string& name : selected) {
        if (!sql.isDatabaseExists(name)) {
            EV_WARN(m_logger, "Database [%s] doesn't exist. It will not be included in backup.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [" + name + "] doesn't exist.", kSkipMissing,
                                                     JobManager::kDBStatusSkippedAtCollect);
        } else if (sharePointDatabases.count(name) != 0) {
            SkipSharePointDatabase(sql, name);
        } else {
            EV_DEBUG(m_logger, 1, "Adding DB [%s] to collect file.", name.c_str());
            listed.push_back(name);
        }
    }
    return WriteListedCollectFile(listed, path, true);
}
