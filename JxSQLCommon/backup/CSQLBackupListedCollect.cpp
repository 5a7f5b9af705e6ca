// CSQLBackup: steps shared by the collect-file generators: the instance
// connection, the write of the selected or listed names, the content databases that pass the
// subclient's filters, the skip reports several generators give alike, the
// count of databases to back up, the refresh of the subclient and the
// removal of vanished databases from its content, the SharePoint skip set,
// the report of a SharePoint-protected database and the final check that
// the collect file holds something.
#include <algorithm>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "JXAppMgr/ApplProperties.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"

namespace {

constexpr int kSkipGroupUnknown = 0;
constexpr int kSkipNotOnline = 1;
constexpr int kSkipMissing = 6;

}  // namespace

bool CSQLBackup::InitializeCollectConnection(CsqlDMO& sql) {
    if (sql.initialize(m_sServername, false)) return true;
    EV_ERROR(m_logger, "Failed to initialize SQL server. Check if SQL Services are offline.");
    ++m_loggedDbCount;
    return false;
}

bool CSQLBackup::WriteSelectedCollectFile(const std::string& path, std::vector<std::string>& names,
                                          bool writeWhenEmpty) {
    if (names.empty() && writeWhenEmpty) {
        RefuseEmptyList();
        // Every database was skipped or is gone: the job fails for having
        // nothing to back up, and says so, not for a write it never made.
        EV_ERROR(m_logger, "The collect file content is empty. There are no databases to be backed up.");
        RaisePendingCause(kCauseCollectFileEmpty);
        return false;
    }
    std::sort(names.begin(), names.end(), compareNoCase);
    // Nothing selected and no list asked for: an empty list replaces the old one.
    if (PutListInPlace(path, names)) return true;
    EV_ERROR(m_logger,
             "Failed to write to the collect file[%s]. Please check the permissions for user configured at the SQL "
             "instance.",
             path.c_str());
    return false;
}

void CSQLBackup::ReportCollectSkip(CollectSkip why, const std::string& name) {
    switch (why) {
        case CollectSkip::kAgMissing:
            EV_WARN(m_logger, "database (%s) doesn't exist. Skipping the database.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database[" + name + "] does not exists.", kSkipMissing,
                                                     JobManager::kDBStatusSkippedAtCollect);
            return;
        case CollectSkip::kAgNotOnline:
            EV_WARN(m_logger, "Database [%s] is not online. Skipping database.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database[" + name + "] is not online. Skipped from backup.",
                                                     kSkipNotOnline, JobManager::kDBStatusSkippedAtCollect);
            return;
        case CollectSkip::kOffline:
            EV_WARN(m_logger, "Database [%s] is not online.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name, "Database [" + name + "] is not online.", kSkipNotOnline,
                                                     JobManager::kDBStatusSkippedAtCollect);
            return;
        case CollectSkip::kAgGroupUnknown:
            EV_WARN(m_logger, "Failed to fetch avalability group name of database [%s]. Skipping the database.",
                    name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(
                name, "Failed to fetch avalability group name of database [" + name + "]. Skipped from backup.",
                kSkipGroupUnknown, JobManager::kDBStatusSkippedAtCollect);
            return;
    }
}

const MSSQLDBProperty* CSQLBackup::SelectableContentDatabase(const std::shared_ptr<ApplProperty>& property,
                                                             std::list<std::string>& excluded) {
    if (property->getType() != kApplPropertyTypeSqlDatabase) return nullptr;
    const auto* database = dynamic_cast<const MSSQLDBProperty*>(property.get());
    if (database == nullptr) return nullptr;
    const std::string& name = database->getDBName();
    EV_DEBUG(m_logger, 1, "Database [%s] found in content.", name.c_str());
    if (!m_contentFilters.ShouldSelectDBForBackup(name)) {
        excluded.push_back(name);
        return nullptr;
    }
    return database;
}

void CSQLBackup::SetDatabasesToBackup(uint64_t count) {
    m_databasesToBackup = count;
    if (m_pBkpJobClnt != nullptr) {
        (void)m_pBkpJobClnt->setFilesToXfer(static_cast<int64_t>(count));
        (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    }
}

bool CSQLBackup::RefreshSubclient() {
    // The application model is read afresh by every call: the subclient is fetched again.
    m_applicationId = ApplicationId(m_jxCellId, m_appNumber);
    m_pSubclient = m_applicationId.getSubclient();
    if (m_pSubclient != nullptr) return true;
    EV_DEBUG(m_logger, 1, "m_applicationId.getSubclient() failed. Check for JXSession connection errors!");
    return false;
}

bool CSQLBackup::RemoveFromSubclientContent(PropertiesList& toDelete) {
    if (toDelete.getList().empty()) return true;
    // The content keeps what could not be removed; the next job tries again.
    (void)ApplProperties(m_pSubclient->getId()).deleteProperties(toDelete);
    return RefreshSubclient();
}

bool CSQLBackup::CollectFileHoldsData(const std::string& path, bool warnOnly) {
    long long size = 0;
    const int rc = JXFile::getFileSize(path.c_str(), &size);
    if (rc == 0 && size != 0) return true;
    if (warnOnly) {
        EV_WARN(m_logger, "The Collect file content is empty[%d]. There are no databases to be backed up.", rc);
    } else {
        EV_ERROR(m_logger, "The Collect file content is empty[%d]. There are no databases to be backed up.", rc);
    }
    RaisePendingCause(kCauseCollectFileEmpty);
    if (!m_isSnapBackup) m_errorControl.setEmptyCollectFilaure();
    return false;
}

void CSQLBackup::LoadSharePointSkipSet(std::set<std::string>& databases, const char* failureWarning) {
    if (!isSkipSharepointContentDB()) return;
    CSQLClientDll requester;
    if (!requester.lookupSpContentDBbyClientId(static_cast<unsigned long>(m_jxCellId), m_sServername,
                                               static_cast<unsigned long>(m_clientId), databases)) {
        EV_WARN(m_logger, "%s", failureWarning);
    }
}

void CSQLBackup::SkipSharePointDatabase(CsqlDMO& sql, const std::string& name) {
    EV_DEBUG(m_logger, 1, "Database [%s] is already being protected from SPPmn, Skipping from SQL backup.",
             name.c_str());
    if (m_pBkpJobClnt != nullptr) {
        (void)m_pBkpJobClnt->setSkippedItemsToAdd(1);
        (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    }
    int version = 0;
    if (!sql.isSharepointContentDB(name, version)) EV_WARN(m_logger, "Failed to get SP version for DB [%s].", name.c_str());
    const std::string text = "Database [" + name + "] is already being protected from SPPmn.";
    (void)UpdateStatusTabSkippedDBInfo(name.c_str(), text.c_str(), version);
}

bool CSQLBackup::WriteListedCollectFile(const std::vector<std::string>& listed, const std::string& path,
                                        bool failEmptyCollect) {
    if (!PutListInPlace(path, listed)) return false;
    if (failEmptyCollect) return CollectFileHoldsData(path, false);
    long long size = 0;
    const int rc = JXFile::getFileSize(path.c_str(), &size);
    if (rc == 0 && size != 0) return true;
    EV_ERROR(m_logger, "The Collect file content is empty[%d]. There are no databases to be backed up.", rc);
    if (m_pJobClnt != nullptr) {
        *m_pJobClnt << path.c_str();
        (void)m_pJobClnt->setPendingCauseAndEvent(0, kEventOnDemandCollectEmpty, 0, false, 300, false, 0, 0, 0, 0);
    }
    return false;
}
