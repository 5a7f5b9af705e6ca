// CSQLRestoreBase: the writer steps around a snapshot restore, the snapshot
// metadata files of a full backup, the SQL credentials of a client, and the
// hooks of writer-based restores that have nothing to do on this platform.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <cinttypes>
#include <cstdint>
#include <map>
#include <set>

#include "JXAppMgr/MSSQLAuthentication.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/FindGivenFile.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// Result codes of the writer steps.
constexpr int32_t kMetadataPathsInvalid = 108;
constexpr int32_t kWriterInitFailed = 111;
constexpr int32_t kWriterPostRestoreFailed = 112;
constexpr int32_t kImpersonationFailed = 113;
constexpr uint64_t kDefaultVssSleepSecs = 10;

bool EndsWithNoCase(const std::string& text, const char* end) {
    const size_t n = std::char_traits<char>::length(end);
    return text.size() >= n && strcasecmp(text.c_str() + text.size() - n, end) == 0;
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return !path.empty() && wz::Fs().Stat(path, &st) == 0;
}

}  // namespace

CWzError CSQLRestoreBase::GetXmlFilePathsForVssRestore(std::string folder, SqlRestoreDbInfo_t& db,
                                                       std::string& bcdPath, std::string& writerPath) {
    std::string bcdName;
    std::string writerName;
    for (const SqlAFilesPerBackup_t& backup : db.restoreChain) {
        if (backup.backupType != kBackupTypeFull) continue;
        for (const AFileInfo_t& archive : backup.archiveFiles) {
            const std::string name = BaseName(archive.path);
            if (!EndsWithNoCase(name, ".xml")) continue;
            // The snapshot engine of this platform names them "_BCD.xml" and
            // "_WRT.xml".
            if (Contains(name, "-bcd.xml") || Contains(name, "_BCD.xml")) {
                bcdName = name;
                EV_DEBUG(m_logger, 3, "BCD metadata XML file name [%s].", bcdName.c_str());
            } else if (Contains(name, "-writer.xml") || Contains(name, "_WRT.xml")) {
                writerName = name;
                EV_DEBUG(m_logger, 3, "Writer metadata XML file path [%s].", writerName.c_str());
            }
        }
    }
    if (bcdName.empty() || writerName.empty()) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kMetadataPathsInvalid, "Failed to find xml paths.");
    }
    std::map<std::string, std::string, __less_nocase_cmp> found;
    FindGivenFile(folder, {bcdName, writerName}, found);
    bcdPath = found.count(bcdName) != 0 ? found[bcdName] : std::string();
    writerPath = found.count(writerName) != 0 ? found[writerName] : std::string();
    if (bcdPath.empty() || writerPath.empty()) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kMetadataPathsInvalid, "Failed to find xml paths.");
    }
    if (!Exists(bcdPath) || !Exists(writerPath)) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kMetadataPathsInvalid,
                                          "Failed to find valid xml paths to be used for restore.");
    }
    return CWzError::Success();
}

CWzError CSQLRestoreBase::PerformVssOperationForBLRestore(SqlRestoreDbInfo_t&) { return CWzError::Success(); }

CWzError CSQLRestoreBase::PerformVssOperationForSnapRestore(SqlRestoreDbInfo_t& db) {
    SnapCopyRestoreHandler& handler = m_snapCopyRestoreHandler;
    handler.setDatabaseInfo(db);
    if (m_restoreOptions.destinationInstanceId != m_restoreOptions.sourceInstanceId) {
        // The metadata names the source instance: it is rewritten for the
        // destination (a failure shows in the writer steps that follow).
        if (!handler.ManipulateXmlMetadata(db)) {
            EV_WARN(m_logger, "Failed to adjust the writer metadata of database [%s]: %s", TargetName(db).c_str(),
                    handler.getLastError().c_str());
        }
    }
    uint64_t sleepSecs = kDefaultVssSleepSecs;
    if (JXPlatformInfo().getNumber("MSSQLAgent", "nSleepSecsForVSSOperation", &sleepSecs) == 0) {
        EV_DEBUG(m_logger, 2, "Failed to read the registry key 'nSleepSecsForVSSOperation'.");
        sleepSecs = kDefaultVssSleepSecs;
    }
    EV_DEBUG(m_logger, 2, "Configured sleep time [%" PRIu64 "] for VSS operation.", sleepSecs);
    const uint32_t pauseMs = static_cast<uint32_t>(std::min<uint64_t>(sleepSecs, UINT32_MAX / 1000) * 1000);

    WZSLEEP_InTeRnAl(pauseMs);
    if (!handler.InitializeVSSRestore()) {
        EV_ERROR(m_logger, "Failed to initilize vss writer to retore log for Database [%s].", TargetName(db).c_str());
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kWriterInitFailed,
                                          "Failed to initialize VSS writer for SNAP backup restore.");
    }
    WZSLEEP_InTeRnAl(pauseMs);
    if (!handler.PostVSSRestore()) {
        EV_ERROR(m_logger, "Failed to do post VSS restore for Database [%s].", TargetName(db).c_str());
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kWriterPostRestoreFailed,
                                          "Failed to initialize VSS writer in post restore event.");
    }
    WZSLEEP_InTeRnAl(pauseMs);
    return CWzError::Success();
}

bool CSQLRestoreBase::InitializeVssWriterForRecoveryPoints(SqlRestoreDbInfo_t& db, bool) {
    EV_DEBUG(m_logger, 3, "Initilize VSS for restore for Database [%s].", TargetName(db).c_str());
    return true;
}

CWzError CSQLRestoreBase::PerformDatabaseRestoreAfterLogReplay(SqlRestoreDbInfo_t&, bool) {
    return CWzError::Success();
}

CWzError CSQLRestoreBase::DoUserImpersonation(uint64_t clientId) {
    unsigned long type = 0;
    std::string user;
    std::string password;
    MSSQLAuthentication authentication;
    if (authentication.getMSSQLAuthentication(clientId, type, user, password, false, nullptr, nullptr) != 0) {
        // The defaults are used: the job goes on with what came back.
        EV_ERROR(m_logger, "Failed to retrieve authentication information. Error [%s].",
                 authentication.getLastErrorText().c_str());
    }
    EV_DEBUG(m_logger, 2, "User Name = [%s], type = [%lu]", user.c_str(), type);
    if (user.empty()) {
        EV_DEBUG(m_logger, 2, "Empty USERNAME.");
        EV_INFO(m_logger, "Using Local System authentication.");
        return CWzError::Success();
    }
    m_sqlUser = user;
    m_sqlPassword = password;
    setUserName(user);
    setPassword(password);
    if (!jxImpersonateUser(user)) {
        EV_ERROR(m_logger, "Failed to Impersonate [%s].", user.c_str());
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kImpersonationFailed, "Failed to impersonate with error [%s].",
                                          user.c_str());
    }
    m_impersonated = true;
    return CWzError::Success();
}
