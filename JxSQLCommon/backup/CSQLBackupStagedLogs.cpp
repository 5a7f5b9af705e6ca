// CSQLBackup: log backup from staged log dumps. Another process leaves
// transaction-log backups of the instance's databases in a staging folder
// ("<file-safe name>_Log_Backup_<n>.bak", each with its metadata twin
// ".xml"); a log job with "backupFromFSForLog" set sends those dumps through
// the data pipeline instead of taking a new log backup, registers one backup
// set per dump, and deletes each dump once its record was accepted.
//
// The dumps of a database are taken in the order of the first LSN their
// twins record (numbers in file names are not zero-padded, so text order
// would put 10 before 9). A twin that names another database belongs to
// that database ("a:b" and "a_b" share a file-safe name) and is left alone.
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr const char* kSection = "MSSQLAgent";
constexpr size_t kMaxStem = 1023;
constexpr size_t kMaxSearchPath = 1024;

std::string FileSafe(std::string name) {
    for (char& c : name) {
        if (std::strchr(":\\/*?\"<>|", c) != nullptr && c != '\0') c = '_';
    }
    return name;
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return wz::Fs().Stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return wz::Fs().Stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

CSQLBackup::StagedMetadata CSQLBackup::ReadStagedMetadata(const std::string& path, std::string& text) {
    const int fd = wz::Fs().Open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return StagedMetadata::kNotOpened;
    struct stat st {};
    if (wz::Fs().Fstat(fd, &st) != 0 || st.st_size <= 0) {
        (void)wz::Fs().Close(fd);  // read only
        return StagedMetadata::kEmpty;
    }
    text.assign(static_cast<size_t>(st.st_size), '\0');
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = wz::Fs().Read(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    (void)wz::Fs().Close(fd);  // read only
    if (done != text.size()) return StagedMetadata::kReadFailed;
    return StagedMetadata::kRead;
}

bool CSQLBackup::DescribeStagedDump(const std::string& path, std::string& database, unsigned long long& firstLsn) {
    std::string text;
    if (ReadStagedMetadata(path, text) != StagedMetadata::kRead) return false;
    SQLPmn::SQLDBBackupMetadata metadata;
    if (metadata.unserialize(text) != kMsgOk) return false;
    std::vector<SQLPmn::SQLDBBackupInfo> backups;
    if (!metadata.getlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, backups) || backups.empty()) return false;
    database = backups[0].getstring(SQLPmn::SQLDBBackupInfo::kDatabaseName);
    const std::string lsn = backups[0].getstring(SQLPmn::SQLDBBackupInfo::kFirstLsn);
    if (lsn.empty() || lsn.size() > 19 || lsn.find_first_not_of("0123456789") != std::string::npos) return false;
    firstLsn = std::strtoull(lsn.c_str(), nullptr, 10);
    return true;
}

bool CSQLBackup::ShouldProceedVDIBackup() {
    const std::string owner = m_isAGChild ? m_agName : m_sServername;
    uint64_t disabled = 0;
    if (JXPlatformInfo().getNumber(kSection, "DisableTlog_" + owner, &disabled) == 0) {
        EV_WARN(m_logger, "Failed to check SQL staging enabled for instance [%s].", owner.c_str());
        return false;
    }
    if (disabled == 0) return false;
    std::string folder, error;
    if (!getStageFolderForFsBackup(folder, error)) {
        EV_WARN(m_logger, "Failed to get stage folder information with error [%s].", error.c_str());
        return true;
    }
    EV_DEBUG(m_logger, 1, "Checking if directory [%s] is empty.", folder.c_str());
    std::vector<std::string> names;
    if (!IsDirectory(folder) || wz::Fs().ReadDirectory(folder, names) != 0) {
        EV_WARN(m_logger, "Directory path [%s] is invalid.", folder.c_str());
        return true;
    }
    return names.empty();
}

bool CSQLBackup::getStageFolderForFsBackup(std::string& folder, std::string& error) {
    JXPlatformInfo settings;
    std::string key, value, subfolder;
    std::string readLog, argument, readError;
    if (m_isAGChild) {
        CsqlDMO sql;
        if (!sql.initialize(m_sServername, false)) {
            EV_ERROR(m_logger, "Failed to initialize SQL server. Check if SQL Services are offline.");
            return false;
        }
        key = "SqlAGLogBackupStageFolder";
        readLog = "Error in reading the folder from regKey SqlAGLogBackupStageFolder.";
        argument = "MSSQLAGENT\\SqlAGLogBackupStageFolder";
        readError = "Failed to read registry key [MSSQLAGENT\\SqlAGLogBackupStageFolder]";
        const size_t slash = m_agName.find('/');
        subfolder = slash == std::string::npos ? m_agName
                                               : m_agName.substr(slash + 1) + "_" + m_agName.substr(0, slash);
    } else if (!isInstanceClustered()) {
        key = "SqlLogBackupStageFolder";
        readLog = "Error in reading the folder from regKey SqlLogBackupStageFolder";
        argument = "MSSQLAGENT\\SqlLogBackupStageFolder";
        readError = "Failed to read registry key [MSSQLAGENT\\SqlLogBackupStageFolder]";
        subfolder = m_sServername;
    } else {
        std::string cluster = m_sServername.substr(0, m_sServername.find('/'));
        std::transform(cluster.begin(), cluster.end(), cluster.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        key = cluster + "StageFolder";
        readLog = "Failed to read cluster stage folder Registry Key [" + key + "].";
        argument = "MSSQLAGENT\\%clusterName%StageFolder";
        readError = "Failed to read cluster stage folder Registry Key [ MSSQLAGENT" + cluster + " ].";
        subfolder = m_sServername;
    }
    if (settings.getString(kSection, key, value) == 0) {
        EV_ERROR(m_logger, "%s", readLog.c_str());
        RaisePendingCause(kCauseStageFolder, argument);
        error = readError;
        return false;
    }
    if (value.empty()) {
        EV_ERROR(m_logger, "Failed to read the registry key. No valid stage folder is found.");
        RaisePendingCause(kCauseStageFolder,
                          "MSSQLAGENT\\SqlLogBackupStageFolder or MSSQLAGENT\\%clusterName%StageFolder");
        error =
            "Failed to read cluster stage folder Registry Key [ MSSQLAGENT\\SqlLogBackupStageFolder or "
            "MSSQLAGENT\\%clusterName%StageFolder ].";
        return false;
    }
    folder = value + "/" + FileSafe(subfolder);
    EV_DEBUG(m_logger, 1, "Stage folder used for %s TL Staging is [%s].", m_isAGChild ? "AG" : "", folder.c_str());
    return true;
}

bool CSQLBackup::getFilesForBackup(const char* stageFolder, const char* databaseName,
                                   std::map<std::wstring, std::wstring>& dumps) {
    if (stageFolder == nullptr || databaseName == nullptr) {
        EV_ERROR(m_logger, "Unexpected Exception occurred.");
        return false;
    }
    std::string folder = stageFolder;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    const std::string prefix = FileSafe(databaseName) + "_Log_Backup_";
    if (folder.size() + 1 + prefix.size() + 5 > kMaxSearchPath) {
        EV_ERROR(m_logger, "The search path for the log dumps of database [%s] is too long.", databaseName);
        return false;
    }
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) names.clear();
    for (const std::string& name : names) {
        // The pattern "<prefix>*.bak".
        if (name.size() < prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".bak") != 0) {
            continue;
        }
        const std::string stem = name.substr(0, name.find(".bak"));
        if (stem.size() > kMaxStem) continue;
        const std::string bak = folder + "/" + name;
        const std::string xml = folder + "/" + stem + ".xml";
        if (!IsRegularFile(bak) || !IsRegularFile(xml)) continue;
        std::string owner;
        unsigned long long lsn = 0;
        if (DescribeStagedDump(xml, owner, lsn) && owner != databaseName) {
            // The same file-safe name, another database: its dumps are not ours.
            EV_DEBUG(m_logger, 2, "Log dump [%s] belongs to database [%s]; left alone.", bak.c_str(), owner.c_str());
            continue;
        }
        EV_DEBUG(m_logger, 2, "File name  [%s]  - [%s].", bak.c_str(), xml.c_str());
        dumps[FXString::ToWstring(bak)] = FXString::ToWstring(xml);
    }
    if (dumps.empty()) {
        EV_DEBUG(m_logger, 2,
                 "Invalid  handle was returned for file :  No Corresponding backup Files are found for the DB");
    }
    return true;
}
