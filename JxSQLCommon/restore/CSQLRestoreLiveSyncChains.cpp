// CSQLRestoreBase: the chain of a live-sync database. A standby (or
// restoring) database tells, from SQL Server's restore history, which backup
// it last took; the central server answers the backups that follow it.
#include <list>
#include <string>

#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXString.h"

namespace {
constexpr int32_t kDmoInitFailed = 0x83;
constexpr int32_t kLastRestoreUnknown = 0x77;
}  // namespace

CWzError CSQLRestoreBase::GetLastRestorePointForLiveSync(const std::string& db, std::string& info) {
    CsqlDMO dmo;
    if (!InitializeDmo(dmo)) {
        EV_ERROR(m_logger, "Failed to initialize DMO for instance [%s].", m_sServername.c_str());
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kDmoInitFailed, "Failed to initialize DMO for instance [%s]",
                                          m_sServername.c_str());
    }
    int state = SQLDB_STATE_ONLINE;
    std::string stateText;
    if (!dmo.getDatabaseStatus(m_sServername, db, state, stateText)) {
        EV_WARN(m_logger, "Failed to get status of database [%s].", db.c_str());
    }
    if (state == SQLDB_STATE_RESTORING || state == SQLDB_STATE_STANDBY) {
        if (!dmo.getDBLastRestoreInfo(FXString::ToWstring(db), m_nzdstHandling, info)) {
            return FXErrorUtil::ErrorJXResult(FXCODELOC, kLastRestoreUnknown,
                                              "Failed to get last restored state of database [%s] for live sync.",
                                              db.c_str());
        }
        EV_DEBUG(m_logger, 1, "Database [%s] last restore info [%s].", db.c_str(), info.c_str());
    }
    return CWzError::Success();
}

bool CSQLRestoreBase::getAFilesToRestoreForLiveSync(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain) {
    if (!FetchAFilesForLiveSync(db, chain)) return false;
    if (chain.empty()) {
        if (m_pRstJobClnt) {
            *m_pRstJobClnt << db.sDbName.c_str();
            (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoArchiveFiles);  // fails through the result
        }
        EV_WARN(m_logger, "There is no archive file to restore for database [%s].", db.sDbName.c_str());
        return false;
    }
    return true;
}

bool CSQLRestoreBase::FetchAFilesForLiveSync(const SqlRestoreDbInfo_t& db, std::list<SqlAFilesPerBackup_t>& chain) {
    std::string text;
    if (CWzError err = GetLastRestorePointForLiveSync(TargetName(db), text); err.IsError()) {
        EV_ERROR(m_logger, "Failed to get last restore point for server [%s] with error [%s].",
                 m_sServername.c_str(), err.GetMessage().c_str());
        return false;
    }
    SQLPmn::DBLastRestoreInfo last;
    if (!text.empty()) {
        if (const int rc = last.unserialize(text); rc != 0) {
            EV_WARN(m_logger, "Failed to unserialize the last restore info for database [%s] with error [%d].",
                    db.sDbName.c_str(), rc);
            last = SQLPmn::DBLastRestoreInfo();
        }
    }
    bool fetched = false;
    {
        CSQLClientDll client;
        fetched = client.getAfilesForDBForLiveSync(m_restoreTaskId, m_restoreOptions.sourceInstanceId, db.sDbName,
                                                   last, chain);
    }
    if (!fetched) {
        EV_ERROR(m_logger, "Failed to get AFiles to restore for database [%s].", db.sDbName.c_str());
        return false;
    }
    return true;
}
