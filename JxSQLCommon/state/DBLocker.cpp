// DBLocker: lock file and database opened and closed together.
#include "JxSQLCommon/state/DBLocker.h"

#include <new>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/state/CSQLiteBase.h"
#include "JxSQLCommon/state/JX1MinRPOLockFile.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

constexpr int kOpenAttempts = 20;
constexpr sfTime_t kLockSeconds = 1200;

EvDebug Logger(long long jobId) {
    EvDebug log;
    log.setJobId(static_cast<uint64_t>(jobId));
    return log;
}

}  // namespace

DBLocker::DBLocker(const CSQLiteBase* database, DB_LOCALITY locality, long long jobId, bool lock)
    : m_database(database), m_locality(locality), m_jobId(jobId) {
    if (m_database == nullptr) {
        Logger(m_jobId).Tagged(__FILE_NAME__, __LINE__, EvDebug::kInfo, 0,
                               "Empty database object passed. Nothing to lock");
        return;
    }
    const std::string& owner = m_database->GetMachineName();
    if (m_locality == DB_LOCALITY_1MIN_RPO) {
        m_lockFile.reset(new (std::nothrow) JX1MinRPOLockFile(owner));
    } else {
        m_lockFile.reset(new (std::nothrow) CLockFileBase(owner));
    }
    if (!m_lockFile) {
        Logger(m_jobId).Tagged(__FILE_NAME__, __LINE__, EvDebug::kError, 0,
                               "Failed to allocate memory for a lock file object");
        return;
    }
    m_lockFile->SetJobId(m_jobId);
    (void)LockAndOpenDB(lock);  // the flags tell what happened
}

DBLocker::~DBLocker() { CloseDBAndUnlock(); }

bool DBLocker::LockAndOpenDB(bool lock) {
    if (!m_lockFile || m_database == nullptr) return false;
    const std::string lockPath = m_database->GetFullDatabaseName() + ".lock";
    CWzError error = m_lockFile->Open(lockPath, kOpenAttempts, 0);
    if (error.IsError()) {
        Logger(m_jobId).Tagged(__FILE_NAME__, __LINE__, EvDebug::kWarn, 0,
                               "Failed to open lock file [%s]. Another process maybe holding the lock. Error: [%s]",
                               lockPath.c_str(), error.AsString().c_str());
        return false;
    }
    m_locked = lock ? !Lock(lockPath).IsError() : true;
    m_opened = !m_database->OpenOrCreateDB().IsError();
    return m_opened;
}

CWzError DBLocker::Lock(const std::string& lockPath) const {
    if (!m_lockFile) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "m_lockFile is null");
    CWzError error = m_lockFile->Lock(kLockSeconds);
    if (error.IsError()) {
        Logger(m_jobId).Tagged(__FILE_NAME__, __LINE__, EvDebug::kError, 0, "Failed to lock the file: %s. Error: [%s]",
                               lockPath.c_str(), error.AsString().c_str());
    }
    return error;
}

void DBLocker::CloseDBAndUnlock() {
    if (m_opened && m_database != nullptr) {
        m_database->CloseDB();
        m_opened = false;
    }
    if (m_locked && m_lockFile) {
        // Only a lock this locker took is released; one it was told the
        // caller holds stays with the caller.
        if (m_lockFile->IsLocked()) (void)m_lockFile->Unlock();
        m_lockFile.reset();
        m_locked = false;
    }
}
