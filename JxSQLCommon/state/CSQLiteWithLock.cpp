// CSQLiteWithLock: each statement under the database's lock file.
#include "JxSQLCommon/state/CSQLiteWithLock.h"

#include "JxSQLCommon/records/SqlNameLookups.h"
#include "JxSQLCommon/state/DBLocker.h"
#include "WzUtils/FXErrorUtil.h"

CWzError StateDbNotLocked(const FXCodeLocation& where) {
    return FXErrorUtil::ErrorJXResult(where, JX_E_STATE_DB_NOT_LOCKED, "%s", "");
}

CSQLiteWithLock::CSQLiteWithLock(const std::string& directory, const std::string& name, DB_LOCALITY locality)
    : CSQLiteBase(directory, name), m_locality(locality) {
    SetMachineName(GetCurrentMachineName());
}

bool CSQLiteWithLock::Connected() const { return true; }

CWzError CSQLiteWithLock::ExecDML(const FX::CSQLite3Sql& statement, int64_t& result, bool scalar) const {
    if (statement.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "query is empty");
    DBLocker locker(this, m_locality, GetJobId(), true);
    if (!locker.IsDbLocked()) return StateDbNotLocked(FXCODELOC);
    return RunWithBusyRetry(statement, result, scalar);
}
