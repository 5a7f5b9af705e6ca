// CSQLRestoreBase: construction and destruction of the restore job, and the
// small helpers its operations share.
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"

namespace {
constexpr const char* kAgentSection = "MSSQLAgent";
constexpr const char* kDefaultSqlServerUser = "mssql";
}  // namespace

CSQLRestoreBase::CSQLRestoreBase() = default;

CSQLRestoreBase::~CSQLRestoreBase() {
    // The restore link goes first: it may still point at the job manager's
    // client that the job context's registration owns.
    m_pRstJobClnt.reset();
}

std::string CSQLRestoreBase::TargetName(const SqlRestoreDbInfo_t& db) {
    return db.newDbName.empty() ? db.sDbName : db.newDbName;
}

bool CSQLRestoreBase::QuitRequested() { return m_pJobCtrlClnt != nullptr && m_pJobCtrlClnt->checkQuitFlag(); }

bool CSQLRestoreBase::NotAvailable(const char* operation) {
    EV_ERROR(m_logger, "[%s] is not available on this platform.", operation);
    if (m_pRstJobClnt) {
        std::string text = std::string(operation) + " is not available on this platform.";
        *m_pRstJobClnt << text.c_str();
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreFailed);  // the caller fails either way
    }
    return false;
}

std::string CSQLRestoreBase::SqlServerUser() {
    std::string user;
    JXPlatformInfo settings;
    if (settings.getString(kAgentSection, "sSQLServerUser", user) == 0 || user.empty()) return kDefaultSqlServerUser;
    return user;
}
