// DBLocker: a scope guard around one use of a state database.
//
// It locks the lock file beside the database (<database file>.lock), opens or
// creates the database, and on destruction closes the database and releases
// the lock. Callers must test IsDbLocked(): the database is opened even when
// the lock was not obtained.
//
// The lock belongs to this locker's own descriptor, so a second locker on the
// same file waits for the first even in the same process: never nest lockers
// on one database (a nested one would wait until its time-out).
#pragma once

#include <memory>
#include <string>

#include "JxSQLCommon/state/DB_LOCALITY.h"
#include "WzUtils/CWzError.h"

class CLockFileBase;
class CSQLiteBase;

class DBLocker {
public:
    // With `lock` false the caller vouches that it already holds the lock:
    // the locker counts as locked but takes and releases nothing.
    DBLocker(const CSQLiteBase* database, DB_LOCALITY locality, long long jobId, bool lock);
    virtual ~DBLocker();
    DBLocker(const DBLocker&) = delete;
    DBLocker& operator=(const DBLocker&) = delete;

    // Opens (20 tries, 1 s apart) and locks the lock file, then opens or
    // creates the database; true when the database is open.
    bool LockAndOpenDB(bool lock);
    // Takes the lock, waiting up to 1200 s.
    CWzError Lock(const std::string& lockPath) const;
    void CloseDBAndUnlock();
    bool IsDbLocked() const { return m_locked; }

private:
    const CSQLiteBase* m_database;
    DB_LOCALITY m_locality;
    std::unique_ptr<CLockFileBase> m_lockFile;
    bool m_opened = false;
    bool m_locked = false;
    long long m_jobId;
};
