// CSQLBackup: the collect files of an availability-group child. The
// candidates (the subclient's content, its SharePoint content databases, or
// the master's on-demand list) are checked against the local instance:
// existence, online state and membership of the job's availability group.
// Those left out are reported skipped; the written file goes to the master.
#include <strings.h>

#include <list>
#include <set>
#include <string>
#include <vector>

#include "JXAppMgr/ApplProperties.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/CStopWatch.h"

namespace {

constexpr int kSkipNotOnline = 1;
constexpr int kSkipOtherGroup = 4;
constexpr int kSkipMissing = 6;

}  // namespace

bool CSQLBackup::AgGroupDiffers(const std::string& name, const std::string& group) {
    if (strcasecmp(group.c_str(), m_agName.c_str()) == 0) return false;
    EV_WARN(m_logger,
            "Avalability group name of database [%s] has changed. Original [%s] now [%s]. Skipping the database.",
            name.c_str(), m_agName.c_str(), group.c_str());
    (void)UpdateSkippedFailedCountAndJobInfo(name,
                                             "Avalability group name of database [" + name + "]has changed. Original [" +
                                                 m_agName + "] now [" + group + "]. Skipped from backup.",
                                             kSkipOtherGroup, JobManager::kDBStatusSkippedAtCollect);
    return true;
}

bool CSQLBackup::HandOverAlwaysOnCollectFile(const std::string& path) {
    if (!CollectFileHoldsData(path, false)) return false;
    if (!SendGeneratedCollectFileForAlwaysONToMasterProcess(path, m_bkpPhase, false)) {
        EV_WARN(m_logger, "Failure while sending collect file to master process.");
    }
    return true;
}

bool CSQLBackup::GenerateCollectFileForAlwaysON() {
    const std::string path = CollectFilePath();
    CSQLClientDll requester;
    std::string subclientName;
    const bool isDefault = m_pSubclient != nullptr && m_pSubclient->getSubclientName(subclientName) == 0 &&
                           strcasecmp(subclientName.c_str(), "default") == 0;
    if (isDefault && !m_disableAutoDiscovery) {
        if (!requester.AutoDiscoverForAlwaysON(static_cast<unsigned long>(m_jxCellId),
                                               static_cast<unsigned long>(m_appNumber), m_sServername, m_agName,
                                               m_contentFilters)) {
            EV_WARN(m_logger,
                    "AutoDiscover Failed, please check if sql services are running and connectivity between CS and "
                    "CC.");
            RaisePendingCause(kCauseAutoDiscoverFailed);
            return false;
        }
        if (!RefreshSubclient()) return false;
    }
    CsqlDMO sql;
    if (!InitializeCollectConnection(sql)) return false;
    PropertiesList content;
    if (m_pSubclient == nullptr || ApplProperties(m_pSubclient->getId()).getProperties(content, nullptr) != 0) {
        EV_ERROR(m_logger,
                 "AppManager failed to lookup properties of the subclient. Please check if orvane and SQL services are "
                 "running on CS.");
        RaisePendingCause(kCauseSubclientProperties);
        return false;
    }
    std::set<std::string> sharePointDatabases;
    LoadSharePointSkipSet(sharePointDatabases,
                          "Failed to get sharepoing content databases list (skip list), content dbs will be backed up");
    if (!GenerateStreamInfoFile(m_bkpPhase, 0)) return false;

    std::list<std::string> excluded;
    m_contentFilters.GetDBsExcludedFromAutoDiscovery(excluded);
    std::vector<std::string> selected;
    PropertiesList toDelete;
    const bool ignoreNonExistent = m_ignoreNonExistentDb.isEnabled();
    const bool keepContent = m_genericOptions.isDonotDeleteNonExistentDB();
    for (const auto& property : content.getList()) {
        const MSSQLDBProperty* database = SelectableContentDatabase(property, excluded);
        if (database == nullptr) continue;
        const std::string name = database->getDBName();
        bool unanswered = false;
        std::string group;
        if ((ignoreNonExistent || database->isAutoDiscovered()) && !sql.isDatabaseExists(name, &unanswered)) {
            ReportCollectSkip(CollectSkip::kAgMissing, name);
            // Only a definite "no" removes the database from the content.
            if (!keepContent && !unanswered) {
                EV_DEBUG(m_logger, 1, "Database (%s) doesn't exist, deleting it from subclient content.",
                         name.c_str());
                toDelete.addToPropList(property);
            }
        } else if (ignoreNonExistent && !sql.isDatabaseOnline(m_sServername, name)) {
            ReportCollectSkip(CollectSkip::kAgNotOnline, name);
        } else if (sql.isDatabaseOffline(m_sServername, name)) {
            ReportCollectSkip(CollectSkip::kOffline, name);
        } else if (!sql.GetAvailabiiltyGroupForDB(name, group)) {
            // A lookup that failed says nothing about the database: it stays in the content.
            ReportCollectSkip(CollectSkip::kAgGroupUnknown, name);
        } else if (AgGroupDiffers(name, group)) {
            if (ignoreNonExistent && !keepContent) {
                EV_DEBUG(m_logger, 1, "Database (%s) is no longer part of this AG, deleting it from subclient content.",
                         name.c_str());
                toDelete.addToPropList(property);
            }
        } else if (sharePointDatabases.count(name) != 0) {
            SkipSharePointDatabase(sql, name);
        } else {
            selected.push_back(name);
        }
    }
    (void)CheckAndAddFilteredDBsToStatusTab(excluded);
    if (!RemoveFromSubclientContent(toDelete)) return false;
    return WriteAlwaysOnCollectFile(path, selected);
}

bool CSQLBackup::WriteAlwaysOnCollectFile(const std::string& path, std::vector<std::string>& names) {
    const uint64_t count = names.size();
    if (!WriteSelectedCollectFile(path, names, false)) return false;
    SetDatabasesToBackup(count);
    return HandOverAlwaysOnCollectFile(path);
}

bool CSQLBackup::generateRBSAlwaysOnCollectFile() {
    const std::string path = CollectFilePath();
    CsqlDMO sql;
    if (!sql.initialize(m_sServername, false)) {
        EV_DEBUG(m_logger, 1, "generateRBSAlwaysOnCollectFile: Failed to initialize SQL server. Check if SQL Services are offline.");
        ++m_loggedDbCount;
        return false;
    }
    CStopWatch watch;
    std::vector<std::string> candidates;
    if (!ReadRBSContentDatabases(path, candidates)) return false;
    if (!GenerateStreamInfoFile(m_bkpPhase, 0)) return false;
    const bool ignoreNonExistent = m_ignoreNonExistentDb.isEnabled();
    std::vector<std::string> selected;
    for (const std::string& name : candidates) {
        EV_WARN(m_logger, "[JxNHL]: sDBName:[%s].", name.c_str());
        std::string group;
        if (ignoreNonExistent && !sql.isDatabaseExists(name)) {
            EV_WARN(m_logger, "Database [%s] doesn't exist. It might have been deleted. Skipping from backup.",
                    name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [" + name + "] does not exists. Skipped from backup.",
                                                     kSkipMissing, JobManager::kDBStatusSkippedAtCollect);
        } else if (ignoreNonExistent && !sql.isDatabaseOnline(m_sServername, name)) {
            EV_WARN(m_logger, "Database [%s] is not online. Skipping from backup.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [" + name + "] is not online.", kSkipNotOnline,
                                                     JobManager::kDBStatusSkippedAtCollect);
        } else if (sql.isDatabaseOffline(m_sServername, name)) {
            EV_WARN(m_logger, "Database [%s] is not online. Backup is skipped.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [" + name + "] is not online.", kSkipNotOnline,
                                                     JobManager::kDBStatusSkippedAtCollect);
        } else if (!sql.GetAvailabiiltyGroupForDB(name, group)) {
            EV_WARN(m_logger, "Failed to fetch avalability group name of database [%s]. Skipping the database.",
                    name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(
                name, "Failed to fetch avalability group name of database [" + name + "].", kSkipOtherGroup,
                JobManager::kDBStatusSkippedAtCollect);
        } else if (!AgGroupDiffers(name, group)) {
            selected.push_back(name);
        }
    }
    const bool written = WriteAlwaysOnCollectFile(path, selected);
    watch.Stop();
    EV_DEBUG(m_logger, 1, "Time taken to generate collect file = %f", watch.Time());
    return written;
}

bool CSQLBackup::CreateCollectFileForAlwaysOnOSC() {
    using CF = SQLPmn::SQLAGCollectFile;
    CF request;
    request.setint64(CF::kWantOnDemandList, 1);
    request.setint64(CF::kPhaseLog, 1);  // the on-demand list is always that of the log phase
    CF reply;
    if (!RequestCollectFileFromMaster(request, reply)) return false;
    CsqlDMO sql;
    if (!InitializeCollectConnection(sql)) return false;
    const std::vector<std::string> names = reply.getliststring(CF::kDatabases);
    if (names.empty()) {
        EV_ERROR(m_logger, "Master process encountered error while returning collect file.");
        return false;
    }
    std::set<std::string> sharePointDatabases;
    LoadSharePointSkipSet(sharePointDatabases,
                          "Failed to get sharepoing content databases list (skip list), content dbs will be backed up");
    std::vector<std::string> selected;
    for (const std::string& name : names) {
        EV_DEBUG(m_logger, 1, "Database [%s] found in content.", name.c_str());
        std::string group;
        if (!sql.isDatabaseExists(name)) {
            ReportCollectSkip(CollectSkip::kAgMissing, name);
        } else if (!sql.isDatabaseOnline(m_sServername, name)) {
            ReportCollectSkip(CollectSkip::kAgNotOnline, name);
        } else if (sql.isDatabaseOffline(m_sServername, name)) {
            ReportCollectSkip(CollectSkip::kOffline, name);
        } else if (!sql.GetAvailabiiltyGroupForDB(name, group)) {
            ReportCollectSkip(CollectSkip::kAgGroupUnknown, name);
        } else if (AgGroupDiffers(name, group)) {
            continue;
        } else if (sharePointDatabases.count(name) != 0) {
            SkipSharePointDatabase(sql, name);
        } else {
            selected.push_back(name);
        }
    }
    if (!WriteToCollectFile(CollectFilePath(), selected, true)) return false;
    if (!GenerateStreamInfoFile(m_bkpPhase, static_cast<int>(reply.getint64(CF::kStreamCount)))) return false;
    EV_DEBUG(m_logger, 1, "Generate collect file successfully.");
    if (!SendGeneratedCollectFileForAlwaysONToMasterProcess(CollectFilePath(), m_bkpPhase, false)) {
        EV_WARN(m_logger, "Failure while sending collect file to master process.");
    }
    return true;
}
