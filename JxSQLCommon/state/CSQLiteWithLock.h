// CSQLiteWithLock: a state database shared by several processes.
//
// Every statement of the ExecDML path (inserts, updates, deletes, scalar
// queries, table and index creation) runs under a DBLocker of its own, so a
// single statement is atomic with respect to other processes and threads.
// A caller that needs several statements or a cursor under one lock takes a
// DBLocker itself and then uses ExecuteQuery, never the locked statements
// (lockers must not nest).
#pragma once

#include "JxSQLCommon/state/CSQLiteBase.h"
#include "JxSQLCommon/state/DB_LOCALITY.h"

class CSQLiteWithLock : public CSQLiteBase {
public:
    CSQLiteWithLock(const std::string& directory, const std::string& name, DB_LOCALITY locality);

    // Always true: the connection is made per use.
    bool Connected() const override;
    CWzError ExecDML(const FX::CSQLite3Sql& statement, int64_t& result, bool scalar) const override;

    DB_LOCALITY GetLocality() const { return m_locality; }

private:
    DB_LOCALITY m_locality;
};

// The code of a locked operation whose lock was not obtained.
constexpr int32_t JX_E_STATE_DB_NOT_LOCKED = static_cast<int32_t>(0xEDB00001u);

// The error value for that case (it carries no message).
CWzError StateDbNotLocked(const FXCodeLocation& where);
