// CSQLDumpRestore: job set-up, the dump-restore preparation and the end of
// the job.
#include "JxSQLCommon/dump/CSQLDumpRestore.h"

#include "JxCommandLineParser/RestoreOptionsParser.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLCommon/state/RestoreCollectFile.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"

CSQLDumpRestore::~CSQLDumpRestore() {
    CWzError error = UnMountAll(m_settings);
    if (error.IsError()) EV_ERROR(m_logger, "UnMountAll failed with %s", error.AsString().c_str());
}

bool CSQLDumpRestore::initializeRestore(RestoreOptionsParser& parser) {
    // The backup domain the subclients are looked up in (0 when not given).
    m_jxCellId = parser.getJxCellId();
    m_clientName = parser.getClientName();
    if (m_clientName.empty()) m_clientName = JXPlatformInfo().getPhysicalMachine();  // this machine's client
    return CSQLRestoreBase::initializeRestore(parser);
}

bool CSQLDumpRestore::GetBackupInformationFromRequest(SqlRestoreDbInfo_t& db) {
    m_clientName = JXPlatformInfo().getPhysicalMachine();
    if (!CSQLRestoreBase::GetBackupInformationFromRequest(db)) return false;
    m_restoreDbList.push_back(db);
    CWzError error = PreRestore(m_settings, m_restoreDbList);
    if (error.IsError()) {
        bRestoreFromDump = false;
        EV_DEBUG(m_logger, 1,
                 "GetBackupInformationFromRequest PreRestore() failed with [%s] wont be able to restore from dump "
                 "location",
                 error.AsString().c_str());
        return true;
    }
    error = AddBackupInfoFromMountedShare(db, db.restoreChain);
    bRestoreFromDump = error.IsSuccess();
    if (error.IsError()) {
        EV_DEBUG(m_logger, 1,
                 "GetBackupInformationFromRequest AddBackupInfoFromMountedShare() failed with [%s] wont be able to "
                 "restore from dump location",
                 error.AsString().c_str());
    }
    return true;
}

CWzError CSQLDumpRestore::PreRestore(DumpRestoreSettings& settings, const std::list<SqlRestoreDbInfo_t>& dbList) {
    if (m_jobResultsDirectory.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "m_jobResultsDirectory is empty");
    }
    if ((m_restoreOptions.optionFlags & kRstOnlyFull) != 0) {
        EV_DEBUG(m_logger, 1, "JXSQL_RESTOREONLYFULLBACKUP set, not restoring logs");
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Restore only full set");
    }
    CWzError error = Setup(settings, dbList);
    if (error.IsError()) return error.Push(FXCODELOC, "Setup failed");
    error = MountAll(settings);
    if (error.IsError()) return error.Push(FXCODELOC, "Mounting of restore shares failed");
    if (!UseRestoreCollectFile()) return CWzError::Success();
    error = CreateMarkerFiles(settings);
    if (error.IsError()) return error.Push(FXCODELOC, "Cound not create marker files");
    RestoreCollectFile collect;
    error = collect.Create(settings);
    if (error.IsError()) return error.Push(FXCODELOC, "Cound not create in memory restore collect file");
    for (const auto& [name, info] : settings.databases) {
        for (const auto& [key, file] : info.logFiles) {
            EV_DEBUG(m_logger, 2, "%s", ("[" + file.lastLSN + "] [" + file.backupFile + "] " + name).c_str());
        }
    }
    error = collect.Save(settings.databases, settings.mountRoot, settings.jobID, true);
    if (error.IsError()) return error.Push(FXCODELOC, "Cound not save restore collect file");
    return CWzError::Success();
}

CWzError CSQLDumpRestore::Setup(DumpRestoreSettings& settings, const std::list<SqlRestoreDbInfo_t>& dbList) {
    if (dbList.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "dbList is empty");
    settings.jobID = std::to_string(m_jobId);
    settings.mountRoot = m_jobResultsDirectory;
    CWzError error = FXPath::Append(settings.mountRoot, "dump");
    if (error.IsError()) return error.Push(FXCODELOC, "Could not append mount folder");
    error = GetDatabases(settings.databases);
    if (error.IsError()) return error.Push(FXCODELOC, "Could not get list of dbs to restore");
    error = GetApplicationIDs(dbList, settings.AppIDs);
    if (error.IsError()) return error.Push(FXCODELOC, "GetApplicationIDs failed");
    return CWzError::Success();
}

CWzError CSQLDumpRestore::PostRestore(DumpRestoreSettings&) { return CWzError::Success(); }
