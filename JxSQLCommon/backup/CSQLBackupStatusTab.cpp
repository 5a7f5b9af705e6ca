// CSQLBackup: the job's status tab on the central server. One record per
// database tells its state in the job (listed, backed up, failed, converted,
// skipped); every send also updates the central server's information of
// the database. A restarted or promoted phase reads the tab back.
#include <cerrno>
#include <ctime>

#include "JXAppMgr/App_ExecuteSP.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"

namespace {

constexpr uint32_t kStatusTabProcedure = 0x15CF047D;
constexpr uint32_t kDatabaseInfoProcedure = 0x22E421FE;

// The skip reason code of a database that is not online.
constexpr int kReasonNotOnline = 1;

using JobManager::SQLStatusTab;

bool CountsAsFailureStatus(int64_t status) {
    return status == JobManager::kDBStatusFailed || status == JobManager::kDBStatusSkippedInPhase ||
           status == JobManager::kDBStatusSkippedAtCollect || status == JobManager::kDBStatusSkippedCountedFailed;
}

// The fields every record of this job starts with: the database, the
// instance, no backup dates or LSNs yet, the job's origin and phase.
void FillRecord(SQLStatusTab& tab, const std::string& database, const std::string& instance, int64_t initiatedFrom,
                int64_t backupPhase) {
    tab.setstring(SQLStatusTab::kDatabaseName, database);
    tab.setstring(SQLStatusTab::kInstanceName, instance);
    tab.setint64(SQLStatusTab::kBackupFinishDate, 0);
    tab.setint64(SQLStatusTab::kBackupStartDate, 0);
    tab.setint64(SQLStatusTab::kBackupValue, 0);
    tab.setstring(SQLStatusTab::kFirstLsn, "");
    tab.setstring(SQLStatusTab::kLastLsn, "");
    tab.setint64(SQLStatusTab::kInitiatedFrom, initiatedFrom);
    tab.setint64(SQLStatusTab::kBackupPhase, backupPhase);
}

}  // namespace

bool CSQLBackup::UpdateStatusTabDBInfo(const char* databaseName, const char* reason, JobManager::SQLDBStatus status,
                                       int reasonCode, JobManager::SQLDatabasePhase phase) {
    try {
        const std::string text = reason != nullptr ? reason : "";
        SQLStatusTab tab;
        FillRecord(tab, databaseName != nullptr ? databaseName : "", m_sServername, m_initiatedFrom, m_bkpPhase);
        if (status == JobManager::kDBStatusFailed || status == JobManager::kDBStatusSkippedCountedFailed) {
            tab.setstring(SQLStatusTab::kFailureReason, text);
        } else {
            tab.setstring(SQLStatusTab::kReason, text);
            tab.setstring(SQLStatusTab::kFailureReason, "");
        }
        tab.setint64(SQLStatusTab::kStatus, status);
        tab.setint64(SQLStatusTab::kSkipReason, reasonCode);
        tab.setint64(SQLStatusTab::kSharePoint, 0);
        tab.setint64(SQLStatusTab::kDatabasePhase, phase);
        // A refused send is logged there; the job goes on either way.
        (void)UpdateStatusTabInformationToCS(&tab);
        return true;
    } catch (...) {
        EV_WARN(m_logger, "Failed to update status information to CS due unknown exception.");
        return false;
    }
}

bool CSQLBackup::UpdateStatusTabSkippedDBInfo(const char* databaseName, const char* reason, int sharePointVersion) {
    try {
        SQLStatusTab tab;
        FillRecord(tab, databaseName != nullptr ? databaseName : "", m_sServername, m_initiatedFrom, m_bkpPhase);
        tab.setstring(SQLStatusTab::kReason, reason != nullptr ? reason : "");
        tab.setstring(SQLStatusTab::kFailureReason, "");
        tab.setint64(SQLStatusTab::kStatus, JobManager::kDBStatusSkippedAtCollect);
        tab.setint64(SQLStatusTab::kSharePoint, sharePointVersion);
        tab.setint64(SQLStatusTab::kDatabasePhase, JobManager::kDBPhaseNone);
        (void)UpdateStatusTabInformationToCS(&tab);
        return true;
    } catch (...) {
        EV_WARN(m_logger, "Failed to update status information to CS due unknown exception.");
        return false;
    }
}

CWzError CSQLBackup::InitializeDatabaseStatusRequest(JobManager::SQLStatusTab* tab, const std::string& databaseName) {
    if (tab == nullptr) {
        CWzError error = FXErrorUtil::ErrorJXResult(FXCODELOC, 102, "Invalid status information found.");
        EV_ERROR(m_logger, "%s", error.GetMessage().c_str());
        return error;
    }
    FillRecord(*tab, databaseName, m_sServername, m_initiatedFrom, m_bkpPhase);
    tab->setstring(SQLStatusTab::kReason, "");
    tab->setstring(SQLStatusTab::kFailureReason, "");
    tab->setint64(SQLStatusTab::kStatus, JobManager::kDBStatusListed);
    tab->setint64(SQLStatusTab::kDatabasePhase, JobManager::kDBPhaseNone);
    tab->setint64(SQLStatusTab::kSkipReason, 0);
    return CWzError::Success();
}

bool CSQLBackup::UpdateStatusTabInformationToCS(JobManager::SQLStatusTab* tab) {
    if (tab == nullptr) {
        EV_ERROR(m_logger, "No status informtion is found to update CS.");
        return false;
    }
    try {
        const std::string database = tab->getstring(SQLStatusTab::kDatabaseName);
        JobManager::SQLJobInfo info;
        info.setint64(JobManager::SQLJobInfo::kJxCellId, static_cast<int64_t>(m_jxCellId));
        info.setint64(JobManager::SQLJobInfo::kJobId, static_cast<int64_t>(m_jobId));
        info.addlistobject(JobManager::SQLJobInfo::kStatusTabs, *tab);
        std::string xml;
        const int serialized = info.serialize(xml);
        if (serialized != kMsgOk || xml.empty()) {
            EV_ERROR(m_logger, "Failed to update CS with status information for backup [%s] with XML serializer error [%d].",
                     database.c_str(), serialized);
        } else {
            EV_DEBUG(m_logger, 3, "XML string to be updated in CS [%s].", xml.c_str());
            std::string output;
            const int rc = App_ExecuteSP().executeStoredProcedure(kStatusTabProcedure, xml, output, nullptr);
            if (rc != 0) {
                EV_ERROR(m_logger,
                         "Failed to update CS with status information for backup of Database [%s] with XML serilaizer "
                         "error [%d].",
                         database.c_str(), rc);
            } else {
                App::GenericResp response;
                const int decoded = response.unserialize(output);
                if (decoded != kMsgOk) {
                    EV_ERROR(m_logger, "Failed to serialize output XML with serilaizer error [%d].", decoded);
                } else if (const int64_t code = response.getint64(App::GenericResp::kErrorCode); code != 0) {
                    EV_ERROR(m_logger,
                             "Failed to update CS with status information for backup of Database [%s] with error [%d] "
                             "[%s].",
                             database.c_str(), static_cast<int>(code),
                             response.getstring(App::GenericResp::kErrorText).c_str());
                }
            }
        }
        const int64_t status = tab->getint64(SQLStatusTab::kStatus);
        if (status != JobManager::kDBStatusConverted && status != JobManager::kDBStatusListed) {
            // Its failure is logged there and changes nothing for the job.
            (void)UpdateDatabaseInformationToCS(tab);
        }
        return true;
    } catch (...) {
        EV_WARN(m_logger, "Failed to update status information to CS.");
        return false;
    }
}

bool CSQLBackup::UpdateDatabaseInformationToCS(JobManager::SQLStatusTab* tab) {
    if (tab == nullptr) {
        EV_ERROR(m_logger, "pSQLStatusTab is nullptr");
        return false;
    }
    const std::string database = tab->getstring(SQLStatusTab::kDatabaseName);
    SQLPmn::DatabaseRecoveryModel model = SQLPmn::kRecoveryNone;
    if (!GetDatabaseRecoveryModel(m_sServername, database, model)) return false;

    using Req = SQLPmn::SqlUpdateDatabaseInfoReq;
    Req request;
    request.setint64(Req::kInstanceId, static_cast<int64_t>(static_cast<uint32_t>(m_instanceId)));
    request.setint64(Req::kApplicationId, static_cast<int64_t>(m_appNumber));
    request.setstring(Req::kDatabaseName, database);
    request.setint64(Req::kRecoveryModel, model);
    const int64_t status = tab->getint64(SQLStatusTab::kStatus);
    if (status == JobManager::kDBStatusBackedUp) {
        request.setint64(Req::kLastBackupTime, tab->getint64(SQLStatusTab::kBackupFinishDate));
    } else if (CountsAsFailureStatus(status)) {
        request.setint64(Req::kLastBackupTime, 0);
        request.setint64(Req::kLastFailureTime, static_cast<int64_t>(std::time(nullptr)));
    }
    request.setint64(Req::kJobId, static_cast<int64_t>(m_jobId));
    request.setint64(Req::kStatus, status);
    request.setstring(Req::kText, "");

    std::string xml;
    const int serialized = request.serialize(xml);
    if (serialized != kMsgOk || xml.empty()) {
        EV_ERROR(m_logger, "Failed to serialize XML with error [%d].", serialized);
        return false;
    }
    std::string output;
    const int rc = App_ExecuteSP().executeStoredProcedure(kDatabaseInfoProcedure, xml, output, nullptr);
    if (rc != 0) {
        EV_ERROR(m_logger, "Failed to update CS with database information for database [%s] with error [%d].",
                 database.c_str(), rc);
        return false;
    }
    SQLPmn::SqlUpdateDatabaseInfoResp response;
    const int decoded = response.unserialize(output);
    if (decoded != kMsgOk) {
        EV_ERROR(m_logger, "Failed to serialize output XML with serilaizer error [%d].", decoded);
        return false;
    }
    if (const int64_t code = response.getint64(SQLPmn::SqlUpdateDatabaseInfoResp::kErrorCode); code != 0) {
        EV_ERROR(m_logger, "Failed to update CS with database information for database [%s] with error [%d] [%s].",
                 database.c_str(), static_cast<int>(code),
                 response.getstring(SQLPmn::SqlUpdateDatabaseInfoResp::kErrorText).c_str());
        return false;
    }
    return true;
}

bool CSQLBackup::GetDatabaseRecoveryModel(const std::string& instance, const std::string& databaseName,
                                          SQLPmn::DatabaseRecoveryModel& model) const {
    model = SQLPmn::kRecoveryNone;
    // Logging does not change the job: the query itself stays const.
    EvEvent& log = const_cast<EvEvent&>(m_logger);
    if (instance.empty() || databaseName.empty()) {
        EV_ERROR(log, "GetDatabaseRecoveryModel() invaild args passed in");
        return false;
    }
    if (m_serverType == "Azure DataBase Engine" || m_serverType == "Aws DataBase Engine") return true;
    if (m_serverType == "Azure Managed DataBase Engine") {
        model = SQLPmn::kRecoveryFull;
        return true;
    }
    CsqlDMO dmo;
    if (!dmo.initialize(instance, false)) {
        EV_ERROR(log, "Failed to connect SQL Server [%s] with error [%s].", instance.c_str(),
                 FXString::ToString(dmo.getErrorString()).c_str());
        return false;
    }
    // A database whose model cannot be read keeps "none determined": taking
    // an unanswered question for "not SIMPLE, not FULL" would report it as
    // bulk-logged.
    bool failed = false;
    if (dmo.isRecoveryModelSimple(databaseName, &failed)) {
        model = SQLPmn::kRecoverySimple;
    } else if (!failed) {
        if (dmo.isDBInFullRecoveryModel(databaseName, &failed)) {
            model = SQLPmn::kRecoveryFull;
        } else if (!failed) {
            model = SQLPmn::kRecoveryBulkLogged;
        }
    }
    return true;
}

bool CSQLBackup::UpdateSkippedFailedCountAndJobInfo(std::string databaseName, std::string reason, int reasonCode,
                                                    JobManager::SQLDBStatus status) {
    bool failByRule = false;
    if (!m_isSnapBackup) {
        if (m_errorControl.IsDefined()) failByRule = m_errorControl.DoMarkSkippedDatabaseFailed();
        if (reasonCode == kReasonNotOnline) {
            failByRule = m_errorControl.IsDefined() && m_errorControl.DoMarkOfflineDatabaseFailed();
        }
    }
    const bool failed = doMarkSkippedItemFailed() || (failByRule && !m_isSnapBackup);
    if (failed) {
        if (m_pBkpJobClnt != nullptr) (void)m_pBkpJobClnt->addBackupFileFailures(1);
        logDatabaseBackupStatus(databaseName, false, true);
        status = status == JobManager::kDBStatusSkippedAtCollect ? JobManager::kDBStatusSkippedCountedFailed
                                                                 : JobManager::kDBStatusFailed;
    } else if (m_pBkpJobClnt != nullptr) {
        (void)m_pBkpJobClnt->setSkippedItemsToAdd(1);
    }
    if (m_pBkpJobClnt != nullptr) (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    return UpdateStatusTabDBInfo(databaseName.c_str(), reason.c_str(), status, reasonCode, JobManager::kDBPhaseNone);
}

void CSQLBackup::CountFailedDatabase(const std::string& databaseName) {
    logDatabaseBackupStatus(databaseName, false, true);
    if (m_pBkpJobClnt != nullptr) {
        (void)m_pBkpJobClnt->addBackupFileFailures(1);
        (void)m_pBkpJobClnt->updateInfo(false, nullptr);
    }
}

bool CSQLBackup::GetDatabasesStatusInfo(JobManager::SQLJobInfo& info, SQLDatabaseStatusMap& statusMap,
                                        bool& noJobInfo) {
    try {
        CSQLClientDll requester;
        std::string xml;
        if (!requester.getSqlJobInfo(static_cast<unsigned long>(m_jobId), static_cast<unsigned long>(m_jxCellId),
                                     xml)) {
            EV_DEBUG(m_logger, 3, "Failed to get job info for ID [%llu] and Jxcell ID [%lu].",
                     static_cast<unsigned long long>(m_jobId), static_cast<unsigned long>(m_jxCellId));
            return false;
        }
        if (xml.empty()) {
            EV_WARN(m_logger, "Empty result found for job ID [%llu].", static_cast<unsigned long long>(m_jobId));
            noJobInfo = true;
            return true;
        }
        if (const int rc = info.unserialize(xml); rc != kMsgOk) {
            EV_ERROR(m_logger, "Failed to unserialize xml with error [%d].", rc);
            return false;
        }
        if (!info.isSet(JobManager::SQLJobInfo::kStatusTabs)) {
            EV_WARN(m_logger, "No databases set in job status info.");
            return true;
        }
        for (const CNMessageBase& record : info.getlistobject(JobManager::SQLJobInfo::kStatusTabs)) {
            SQLDatabaseMiniInfo mini;
            mini.status = static_cast<int32_t>(record.getint64(SQLStatusTab::kStatus));
            mini.databasePhase = static_cast<int32_t>(record.getint64(SQLStatusTab::kDatabasePhase));
            mini.backupPhase = static_cast<int32_t>(record.getint64(SQLStatusTab::kBackupPhase));
            // The first record of a name wins.
            statusMap.emplace(record.getstring(SQLStatusTab::kDatabaseName), mini);
        }
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "Unknown exception caught with last error [%d].", errno);
        return false;
    }
}

bool CSQLBackup::GetDBsFromJobStatusTabInfo(JobManager::SQLJobInfo& info, std::vector<std::string>& names,
                                            bool promoted) {
    try {
        names.clear();
        const std::vector<CNMessageBase> records = info.getlistobject(JobManager::SQLJobInfo::kStatusTabs);
        if (records.empty()) {
            EV_WARN(m_logger, "No databases found from job info table.");
            return false;
        }
        const int64_t phase = m_bkpPhase;
        for (const CNMessageBase& record : records) {
            const int64_t st = record.getint64(SQLStatusTab::kStatus);
            const int64_t dp = record.getint64(SQLStatusTab::kDatabasePhase);
            const int64_t bp = record.getint64(SQLStatusTab::kBackupPhase);
            const bool active = st != JobManager::kDBStatusSkippedAtCollect &&
                                st != JobManager::kDBStatusSkippedCountedFailed;
            bool taken = false;
            if (isRestartJob() && active) {
                taken = bp == phase || (st == JobManager::kDBStatusConverted && dp == phase);
            }
            if (!taken && promoted && active && dp == phase) taken = true;
            if (taken) names.push_back(record.getstring(SQLStatusTab::kDatabaseName));
        }
        return !names.empty();
    } catch (...) {
        EV_ERROR(m_logger, "Unknown exception caught with last error [%d].", errno);
        return false;
    }
}

bool CSQLBackup::CheckAndAddFilteredDBsToStatusTab(std::list<std::string> names) {
    for (const std::string& name : names) {
        (void)UpdateSkippedFailedCountAndJobInfo(name, "Database is skipped from backup since it matches exclusion filter.",
                                                 12, JobManager::kDBStatusSkippedAtCollect);
    }
    return true;
}
