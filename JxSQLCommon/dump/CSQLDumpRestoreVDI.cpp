// CSQLDumpRestore: restore of the chain entries made from dump files, from
// the file through the engine, or copied for a restore to disk. Every other
// entry goes to the restore of CSQLRestoreBase.
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <new>

#include "JxSQLCommon/dump/CJxSQLVDIDumpRestore.h"
#include "JxSQLCommon/dump/CSQLDumpRestore.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlRestoreFileNames.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLCommon/restore/SqlServerRestoreDirectory.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/FXString.h"
#include "WzUtils/auto_handle.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr uint32_t kOutOfMemory = 14;
constexpr int32_t kNotFound = static_cast<int32_t>(0x80070490u);
constexpr uint64_t kMaxPreV9Version = 8;
constexpr char kFfgSeparator = '\x12';

bool FileExists(const std::string& path) {
    struct stat info {};
    return !path.empty() && wz::Fs().Stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

const char* DateFormatName(uint64_t format) { return format == 1 ? "mdy" : format == 2 ? "dmy" : "ymd"; }

// Copies a whole file; the target is replaced only by a complete copy.
bool CopyWholeFile(const std::string& from, const std::string& to) {
    wz::FileSystem& fs = wz::Fs();
    auto_handle in(fs.Open(from, O_RDONLY | O_CLOEXEC));
    if (!in.is_valid()) return false;
    const std::string partial = to + ".partial";
    auto_handle out(fs.Open(partial, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!out.is_valid()) return false;
    std::vector<char> buffer(1 << 20);
    bool ok = true;
    for (;;) {
        ssize_t got = fs.Read(in.get(), buffer.data(), buffer.size());
        if (got <= 0) {
            ok = got == 0;
            break;
        }
        if (!wz::WriteAll(out.get(), buffer.data(), static_cast<size_t>(got))) {
            ok = false;
            break;
        }
    }
    ok = ok && fs.Fsync(out.get()) == 0;
    out.reset();
    if (ok && fs.Rename(partial, to) == 0) return true;
    (void)fs.Unlink(partial);  // no half copy stays
    return false;
}

bool IsDumpEntry(const SqlAFilesPerBackup_t& backup) {
    return !backup.sFullPathLogFile.empty() && backup.afileType == AFileType_RestoreFromMediaAgentDump;
}

std::string SourceName(const SqlRestoreDbInfo_t& db) { return db.sDbName.substr(0, db.sDbName.find(kFfgSeparator)); }

}  // namespace

bool CSQLDumpRestore::restoreVDIBackup(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup,
                                       const std::list<std::string>& names, const std::list<std::string>& selected) {
    if (!bRestoreFromDump) {
        EV_DEBUG(m_logger, 1, "bRestoreFromDump not on, calling CSQLRestoreBase::restoreVDIBackup");
        return CSQLRestoreBase::restoreVDIBackup(db, backup, names, selected);
    }
    if (!IsDumpEntry(backup)) {
        EV_DEBUG(m_logger, 1, "AFileType_RestoreFromMediaAgentDump not set, calling CSQLRestoreBase::restoreVDIBackup");
        return CSQLRestoreBase::restoreVDIBackup(db, backup, names, selected);
    }
    initializeForPreDBRestore(db, backup);
    CWzError error = RestoreBakFileFromDump(m_settings, db, backup, names, selected);
    if (error.IsError()) EV_ERROR(m_logger, "RestoreBakFileFromDump Failed %s", error.AsString().c_str());
    initializeForPostDBRestore(db, backup);
    return error.IsSuccess();
}

bool CSQLDumpRestore::restoreVDIBackupToDisk(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup) {
    if (!bRestoreFromDump || backup.sFullPathLogFile.empty() || backup.afileType == 0) {
        return CSQLRestoreBase::restoreVDIBackupToDisk(db, backup);
    }
    // A dump entry is copied to the dump location like every other backup,
    // also when the disk copy is to be attached: skipping it would leave a
    // gap in the chain on disk while counting the entry as done.
    CWzError error = RestoreBakFileFromDumpToDisc(m_settings, db, backup, m_dumpLocation);
    if (error.IsError()) EV_ERROR(m_logger, "RestoreBakFileFromDumpToDisc Failed %s", error.AsString().c_str());
    return error.IsSuccess();
}

CWzError CSQLDumpRestore::RestoreBakFileFromDumpToDisc(DumpRestoreSettings&, const SqlRestoreDbInfo_t&,
                                                       const SqlAFilesPerBackup_t& backup, const std::string& folder) {
    if (folder.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "dest disc folder is empty");
    if (backup.sFullPathLogFile.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "backupInfo.sFullPathLogFile is empty");
    }
    std::string parent, name;
    CWzError error = FXPath::SplitParentPath(backup.sFullPathLogFile, parent, name);
    if (error.IsError()) return error.Push(FXCODELOC, "FXPath::SplitParentPath failed %s", backup.sFullPathLogFile.c_str());
    std::string target = folder;
    error = FXPath::Append(target, name);
    if (error.IsError()) return error.Push(FXCODELOC, "FXPath::Append failed %s", name.c_str());
    std::string source = backup.sFullPathLogFile;
    bool copied = CopyWholeFile(source, target);
    if (!copied) {
        error = GetRestoreFileName(backup.sFullPathLogFile, source);
        if (error.IsError()) return error.Push(FXCODELOC, "GetRestoreFileName failed %s", backup.sFullPathLogFile.c_str());
        copied = CopyWholeFile(source, target);
    }
    if (!copied) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "FXPath::JXCopyFile failed to copy %s to %s", source.c_str(),
                                       target.c_str());
    }
    EV_DEBUG(m_logger, 1, "Copied log: [%s] to [%s]", source.c_str(), target.c_str());
    return CWzError::Success();
}

CWzError CSQLDumpRestore::RestoreBakFileFromDump(DumpRestoreSettings& settings, const SqlRestoreDbInfo_t& db,
                                                 const SqlAFilesPerBackup_t& backup,
                                                 const std::list<std::string>& names,
                                                 const std::list<std::string>& selected) {
    if (db.sDbName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "dbInfo.sDbName is empty");
    if (backup.sFirstLsn.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "backupInfo.sFirstLsn is empty");
    if (!m_pRstJobClnt) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "m_pRstJobClnt is null");
    if (backup.sFullPathLogFile.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "backupInfo.sFullPathLogFile is empty");
    }
    const std::string source = SourceName(db);
    auto entry = settings.databases.find(source);
    if (entry == settings.databases.end()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, kNotFound, "db %s not found", source.c_str());
    }
    DbInfo& info = entry->second;
    std::string target = TargetName(db);
    if (target.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "databaseName is empty");
    if (!info.stopFirstLSN.empty() && info.stopFirstLSN == backup.sFirstLsn) {
        EV_DEBUG(m_logger, 1, "%s has first LSN match %s, stopping", source.c_str(), backup.sFirstLsn.c_str());
        return CWzError::Success();
    }
    m_pRstJobClnt->setCurrentDatabase(target.c_str());
    std::shared_ptr<CJxSQLVDIDumpRestore> vdi(new (std::nothrow) CJxSQLVDIDumpRestore());
    if (!vdi) return FXErrorUtil::ErrorWin32(FXCODELOC, kOutOfMemory, "CJxSQLVDIDumpRestore");
    CWzError error = SetupVDIForLogRestore(vdi.get(), db, backup, m_sServername, target, names, selected);
    if (error.IsError()) return error.Push(FXCODELOC, "SetupVDIForLogRestore failed");

    std::string file = backup.sFullPathLogFile;
    bool renamed = false;
    if (!FileExists(file)) {
        std::string other;
        error = GetRestoreFileName(backup.sFullPathLogFile, other);
        if (error.IsError()) return error.Push(FXCODELOC, "GetRestoreFileName failed for %s", file.c_str());
        if (!FileExists(other)) {
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s Log file restore file not found", file.c_str());
        }
        file = other;
        renamed = true;
    }
    m_pRstJobClnt->setActiveFile(file.c_str());
    (void)m_pRstJobClnt->updateInfo(false, nullptr);  // progress only
    const char* first = backup.sFirstLsn.c_str();
    const char* last = backup.sLastLsn.c_str();
    switch (backup.backupType) {
        case 'D': EV_INFO(m_logger, "Starting full restore of db [%s] - FirstLSN[%s], LastLSN[%s]", target.c_str(), first, last); break;
        case 'L': EV_INFO(m_logger, "Starting log restore of db [%s] - FirstLSN[%s], LastLSN[%s]", target.c_str(), first, last); break;
        case 'I': EV_INFO(m_logger, "Starting differential restore of db [%s] - FirstLSN[%s], LastLSN[%s]", target.c_str(), first, last); break;
        default:
            EV_INFO(m_logger, "Starting [backup type: %c] restore of db [%s] - FirstLSN[%s], LastLSN[%s]",
                    static_cast<char>(backup.backupType), target.c_str(), first, last);
    }
    error = DoDbRestore(vdi, target, file);
    if (error.IsError() && !renamed) {
        // The dump may have been renamed while it was being restored.
        std::string other;
        CWzError named = GetRestoreFileName(backup.sFullPathLogFile, other);
        if (named.IsError()) return named.Push(FXCODELOC, "GetRestoreFileName failed for %s pass 2", file.c_str());
        if (!FileExists(other)) {
            return error.Push(FXCODELOC, "%s Log file restore file not found - pass 2", file.c_str());
        }
        EV_DEBUG(m_logger, 1, "Found rename file %s for %s", other.c_str(), file.c_str());
        vdi.reset(new (std::nothrow) CJxSQLVDIDumpRestore());
        if (!vdi) return FXErrorUtil::ErrorWin32(FXCODELOC, kOutOfMemory, "CJxSQLVDIDumpRestore");
        error = SetupVDIForLogRestore(vdi.get(), db, backup, m_sServername, target, names, selected);
        if (error.IsSuccess()) error = DoDbRestore(vdi, target, other);
        if (error.IsError()) return error.Push(FXCODELOC, "DoDbRestore failed using renamed file %s", other.c_str());
    }
    if (error.IsError()) {
        ++info.failedCount;
        return error.Push(FXCODELOC, "DoDbRestore failed");
    }
    ++info.restoredCount;
    return CWzError::Success();
}

CWzError CSQLDumpRestore::SetupVDIForLogRestore(CJxSQLVDI* vdi, const SqlRestoreDbInfo_t& db,
                                                const SqlAFilesPerBackup_t&, const std::string& serverName,
                                                std::string& databaseName, const std::list<std::string>& names,
                                                const std::list<std::string>& selected) {
    if (vdi == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "pVdiBase is null");
    if (databaseName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "databaseName is empty");
    if (serverName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "serverName is empty");
    vdi->SetVDITimeoutRetryCountLimit(GetVDITimeoutRetryCountLimit());
    uint64_t id = 0;
    if (!getDatabaseId(databaseName, id)) {
        EV_WARN_AT(m_logger, 3, "Get database-id failed for database [%s].", databaseName.c_str());
        id = 0;
    }
    const uint64_t flags = m_restoreOptions.optionFlags;
    if ((flags & kRstFileFileGroup) == 0 && !isMasterDb(id)) {
        vdi->SetDropDBConnections((flags & kRstDropDbConnections) != 0);
    }
    vdi->setMajorVersion(m_sqlMajorVersion);
    vdi->initializeTSqlFlags();
    vdi->setRestoreFromFiles(true);
    vdi->setBackupType('L');
    if ((flags & kRstFileFileGroup) != 0) {
        databaseName = databaseName.substr(0, databaseName.find(kFfgSeparator));
        EV_INFO(m_logger, "This is a FFG restore for [%s].", databaseName.c_str());
    }
    SqlServerRestoreDirectory directories(SqlServerUser(), m_logger);
    auto logical = db.relocationList.begin();
    for (auto newPath = db.newFiles.begin(); newPath != db.newFiles.end() && logical != db.relocationList.end();
         ++newPath, ++logical) {
        if (directories.Prepare(*newPath) != SqlServerRestoreDirectory::kReady) {
            EV_ERROR(m_logger, "Failed to create Directory [%s]. Got System Error [%u]", directories.directory().c_str(),
                     static_cast<unsigned>(directories.error()));
            *m_pRstJobClnt << directories.directory().c_str() << static_cast<uint64_t>(directories.error())
                           << databaseName.c_str();
            (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreDirectory);  // fails through the result
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "createRecursiveDirectory failed for %s %s",
                                             directories.directory().c_str(), databaseName.c_str());
        }
        std::string path = *newPath;
        if ((m_snapStagedOnSource || m_snapCopyToDestination) && !m_snapFileMap.mappedPaths.empty()) {
            auto mapped = m_snapFileMap.mappedPaths.find(*newPath);
            if (mapped != m_snapFileMap.mappedPaths.end()) path = mapped->second;
        }
        vdi->addFileToRename(*logical, path);
    }
    const bool systemDb = isSystemDb(id);
    const bool systemMayLoad = m_sqlMajorVersion > kMaxPreV9Version && !isMasterDb(id);
    if ((flags & kRstNoRecovery) != 0) {
        if (!systemDb || systemMayLoad) vdi->setLoadingState();
    } else if ((flags & kRstStandby) != 0) {
        const std::string& undo = m_restoreOptions.standbyUndoFile;
        if (undo.empty()) {
            EV_ERROR(m_logger, "Undo Path Not specified.");
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Undo Path Not specified.");
        }
        if (!systemDb || systemMayLoad) vdi->setStandBy(FXString::ToWstring(undo).c_str());
    }
    if (!vdi->isLoadingState() && !vdi->isStandbyState() && !isMasterDb(id)) {
        if (!systemDb || m_sqlMajorVersion > kMaxPreV9Version) vdi->setLoadingState();
    }
    if ((flags & kRstPointInTime) != 0) {
        EV_DEBUG(m_logger, 3, "Date format for Point-In-Time Restore is [%s].", DateFormatName(m_dateFormat));
        std::string stopAt;
        CSQLClientDll client;
        client.ConvertTzSpecTimeToString(m_restoreOptions.pointInTime, m_dateFormat, true, stopAt);
        vdi->setPointInTime(stopAt);
    }
    if ((flags & (kRstStopAtMark | kRstStopBeforeMark)) != 0) {
        if ((flags & kRstStopAtMark) != 0) {
            vdi->setStopAtMark();
        } else {
            vdi->setStopBeforeMark();
        }
        std::string markTime, markName;
        CSQLClientDll client;
        client.convertUnixTimeToAsciiDate(static_cast<long>(m_restoreOptions.pointInTime), markTime, m_dateFormat, false);
        vdi->setMarkTime(markTime);
        if (!client.getMarkName(serverName, m_restoreOptions.sourceInstanceId, SourceName(db),
                                m_restoreOptions.pointInTime, markName)) {
            EV_ERROR(m_logger, "Failed to get mark name for mark time [%s].", markTime.c_str());
            return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Failed to get mark name for mark time [%s].",
                                             markTime.c_str());
        }
        vdi->setMarkName(markName);
    }
    if ((flags & kRstOverwrite) != 0) vdi->setReplace();
    vdi->setVDITimeOut(static_cast<int>(m_vdiTimeout));
    if (!selected.empty()) {
        std::list<std::string> chosen;
        for (const std::string& name : names) {
            for (const std::string& wanted : selected) {
                if (name == wanted) {
                    chosen.push_back(name);
                    break;
                }
            }
        }
        vdi->SetFFGList(std::list<std::string>{}, chosen);
    }
    if (m_verifyOnly) vdi->setVerifyOnly(true);
    vdi->setContinueAfterError(m_bContinueAfterError);
    if (!vdi->SetServerName(serverName, databaseName)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "Could not set server name for %s %s",
                                         serverName.c_str(), databaseName.c_str());
    }
    return CWzError::Success();
}

CWzError CSQLDumpRestore::DoDbRestore(std::shared_ptr<CJxSQLVDIDumpRestore>& vdi, const std::string& databaseName,
                                      const std::string& fullPathLogFile) {
    if (databaseName.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "databaseName is empty");
    if (fullPathLogFile.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "fullPathLogFile is empty");
    if (!vdi) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "vdiBase is null");
    vdi->setDBFiles({FXString::ToWstring(fullPathLogFile)});
    vdi->SetStopCheck([this] { return QuitRequested(); });
    if (!vdi->StartDBRestore(databaseName)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "*StartDBRestore Failed* [%s] file [%s]: %s",
                                         databaseName.c_str(), fullPathLogFile.c_str(), vdi->getJXErrorString().c_str());
    }
    if (!vdi->WaitUntilDone()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "*WaiUntilDone Failed* [%s] file [%s]: %s",
                                         databaseName.c_str(), fullPathLogFile.c_str(), vdi->getJXErrorString().c_str());
    }
    if (!vdi->Success()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "*Failed* [%s] file [%s]: %s", databaseName.c_str(),
                                         fullPathLogFile.c_str(), vdi->getJXErrorString().c_str());
    }
    return CWzError::Success();
}

CWzError CSQLDumpRestore::RestoreBakFilesFromDump(DumpRestoreSettings& settings) {
    if (settings.databases.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "databases is empty");
    if (settings.jobID.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "jobID is empty");
    if (!m_pRstJobClnt) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "m_pRstJobClnt is null");
    if (m_sServername.empty()) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "m_sServername is empty");
    for (const SqlRestoreDbInfo_t& db : m_restoreDbList) {
        auto entry = settings.databases.find(SourceName(db));
        if (entry == settings.databases.end()) {
            EV_DEBUG(m_logger, 1, "Count not find %s in LSN list", db.sDbName.c_str());
            continue;
        }
        DbInfo& info = entry->second;
        const std::string target = TargetName(db);
        if (target.empty()) {
            EV_DEBUG(m_logger, 1, "databaseName is empty");
            continue;
        }
        m_pRstJobClnt->setCurrentDatabase(target.c_str());
        for (auto& [key, file] : info.logFiles) {
            if (quit()) {
                EV_DEBUG(m_logger, 1, "Quit flag set");
                return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_ABORT, "Quit requested while working on logs for %s",
                                                 target.c_str());
            }
            if (!info.stopFirstLSN.empty() && info.stopFirstLSN == file.firstLSN) {
                EV_DEBUG(m_logger, 1, "%s has first LSN match %s, stopping", target.c_str(), file.firstLSN.c_str());
                break;
            }
            std::string path = file.backupFile;
            if (!FileExists(path)) {
                std::string other;
                if (GetRestoreFileName(file.backupFile, other).IsSuccess() && FileExists(other)) {
                    path = other;
                } else {
                    EV_DEBUG(m_logger, 1, "%s not found, should exist", file.backupFile.c_str());
                    continue;
                }
            }
            // One engine object per file: each restore is waited for before
            // the next file is given to the database.
            auto vdi = std::make_shared<CJxSQLVDIDumpRestore>();
            vdi->initializeTSqlFlags();
            vdi->setRestoreFromFiles(true);
            vdi->setBackupType('L');
            vdi->setLoadingState();
            if (!vdi->SetServerName(m_sServername, target)) {
                EV_DEBUG(m_logger, 1, "Cound not set server name for %s %s", m_sServername.c_str(), target.c_str());
                break;
            }
            m_pRstJobClnt->setActiveFile(path.c_str());
            (void)m_pRstJobClnt->updateInfo(false, nullptr);  // progress only
            if (DoDbRestore(vdi, target, path).IsSuccess()) {
                ++info.restoredCount;
                file.restoreStatus = 1;
                EV_DEBUG(m_logger, 1, "Restored [%s] file [%s]", target.c_str(), path.c_str());
            } else {
                ++info.failedCount;
                file.restoreStatus = -1;
                EV_DEBUG(m_logger, 1, "*Failed* [%s] file [%s]", target.c_str(), path.c_str());
            }
        }
        EV_DEBUG(m_logger, 1, "%s Log Restore - Success [%lu] Failed [%lu]", target.c_str(),
                 static_cast<unsigned long>(info.restoredCount), static_cast<unsigned long>(info.failedCount));
    }
    return CWzError::Success();
}
