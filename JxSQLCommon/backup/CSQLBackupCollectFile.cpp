// CSQLBackup: the collect file of a phase (one database name a line, the
// byte offset of a line being the database's restart point), its writers
// and readers, and generateCollectFile, which picks how the phase's list is
// made.
#include <algorithm>
#include <cerrno>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// Readers take a line into a buffer of this size: a name has at most 1023 bytes.
constexpr size_t kLineBufferSize = 1024;

}  // namespace

bool CSQLBackup::generateCollectFile() {
    const std::string path = CollectFilePath();
    long long size = 0;
    const int sizeResult = JXFile::getFileSize(path.c_str(), &size);
    if (sizeResult != 0 && sizeResult != 2) {
        EV_ERROR(m_logger, "JXFile::getFileSize() returned error. ErrorCode[%d].", sizeResult);
        RaisePendingCause(kCauseJobFileOpen, path);
        return false;
    }
    EV_DEBUG(m_logger, 1, "collectFilePath [%s] m_bkyType [%d] m_bkpPhase [%d].", path.c_str(),
             static_cast<int>(m_bkyType), static_cast<int>(m_bkpPhase));
    const long long oldSize = size;
    m_bKeptEarlierList = false;

    const bool promoted = m_isRBSJob ? (m_bkyType == JXSQL_BACKUP_DIFF && m_bkpPhase == JXSQL_BACKUP_DIFF)
                                     : m_bkyType != m_bkpPhase;
    if (promoted || isRestartJob()) {
        SQLDatabaseStatusMap statusMap;
        JobManager::SQLJobInfo jobInfo;
        bool noJobInfo = false;
        if (!GetDatabasesStatusInfo(jobInfo, statusMap, noJobInfo)) return false;
        if (!noJobInfo) {
            if (!jobInfo.isSet(JobManager::SQLJobInfo::kStatusTabs) && oldSize == 0) {
                EV_ERROR(m_logger, "Unexpected condition happened in retrieval of job info for job ID [%llu].",
                         static_cast<unsigned long long>(m_jobId));
                return false;
            }
            unsigned long rebuiltSize = static_cast<unsigned long>(oldSize);
            const bool rebuilt = GenerateSQLRestartOrPromotedFile(rebuiltSize, jobInfo, !isRestartJob());
            if (!rebuilt && promoted) {
                EV_ERROR(m_logger, "Failed to generate collect file.");
                return false;
            }
            if (rebuilt && m_isAGChild) {
                int count = 0;
                // The master's count is a preference; the stream-info file keeps the phase's own otherwise.
                (void)FetchStreamCountFromMaster(count);
                (void)GenerateStreamInfoFile(m_bkpPhase, count);
            }
            if (rebuilt && promoted && m_isAGChild) (void)SendStreamCountUpdateToMaster();
            if (rebuilt && isRestartJob() && rebuiltSize != 0) {
                // A list that was there already is taken as the earlier
                // attempt left it; an empty one was rebuilt from the status tab.
                m_bKeptEarlierList = oldSize != 0;
                SQLDatabaseStatusMap restartMap = statusMap;
                if (!initializeBackupRestartJob(restartMap)) {
                    EV_ERROR(m_logger,
                             "Failed initialize for restarted job. Backup will start from begining for this "
                             "collect file.");
                    return false;
                }
                if (m_isAGChild) (void)SendStreamCountUpdateToMaster();
                return true;
            }
            if (rebuilt && !isRestartJob()) return true;
        }
    }

    // A new collect file.
    if (!GenerateStreamInfoFile(m_bkpPhase, 0)) return false;
    bool plugin = isJobInitiatedFromPlugin();
    if (!m_isRBSJob && !plugin) {
        // Without patterns every database is selected; the load logs its own failure.
        (void)m_contentFilters.LoadBackupSelectionPatterns(m_pSubclient);
    }
    if (m_isSnapJob && m_bkpPhase == JXSQL_BACKUP_FULL) {
        EV_INFO(m_logger, "Getting the list of databases from the subclient content for a snap FULL backup job");
        plugin = false;
    }
    if (plugin && !m_isRBSJob) return CreateCollectFileForPlugin();
    if (!m_isRBSJob && isJobInitiatedFromOSC()) {
        if (CreateCollectFileForOSC()) return true;
        return m_isAGChild ? GenerateCollectFileForAlwaysON() : generateSQLCollectFile();
    }
    if (m_isAGChild && m_isRBSJob) return generateRBSAlwaysOnCollectFile();
    if (m_isAGChild) return GenerateCollectFileForAlwaysON();
    if (m_isRBSJob) return generateRBSCollectFile();
    return generateSQLCollectFile();
}

namespace {

// Writes the names a line each, after what the file holds unless
// `truncate`. The file is replaced in one go (wz::WriteFileAtomically), so a
// crash or a full disk leaves the old list or the whole new one, never a
// cut one that a restart would take for the whole.
template <typename Names, typename ToText>
bool WriteNames(const std::string& path, const Names& names, bool truncate, ToText toText, EvEvent& log) {
    std::string content;
    if (!truncate && !wz::ReadSmallFile(path, content) && errno != ENOENT) {
        const int error = errno;
        EV_ERROR(log, "Failed to open the collect file [%s] for writing with error [%d].", path.c_str(), error);
        errno = error;
        return false;
    }
    if (!content.empty() && content.back() != '\n') content += '\n';  // a cut last line stays apart
    for (const auto& entry : names) {
        const std::string name = toText(entry);
        EV_DEBUG(log, 2, "Adding database [%s] to collect file.", name.c_str());
        content += name;
        content += '\n';
    }
    if (!wz::WriteFileAtomically(path, content)) {
        const int error = errno;
        EV_ERROR(log,
                 "Failed to write the collect file[%s] ErrorCode[%d]. Please check the permissions for user "
                 "configured at the SQL instance.",
                 path.c_str(), error);
        errno = error;
        return false;
    }
    return true;
}

std::string Same(const std::string& name) { return name; }
std::string Narrow(const std::wstring& name) { return FXString::ToString(name); }

}  // namespace

bool CSQLBackup::WriteToCollectFile(std::string path, std::vector<std::string> names, bool truncate) {
    return WriteNames(path, names, truncate, Same, m_logger);
}

bool CSQLBackup::WriteToCollectFile(std::string path, std::list<std::wstring> names) {
    return WriteNames(path, names, false, Narrow, m_logger);
}

bool CSQLBackup::WriteToCollectFile(std::string path, const std::set<std::wstring>& names) {
    return WriteNames(path, names, false, Narrow, m_logger);
}

bool CSQLBackup::WriteToCollectFile(std::string path, const std::set<std::string>& names, bool truncate) {
    return WriteNames(path, names, truncate, Same, m_logger);
}

bool CSQLBackup::PutListInPlace(const std::string& path, const std::vector<std::string>& names) {
    if (!WriteNames(path, names, true, Same, m_logger)) {
        RaisePendingCause(kCauseJobFileOpen, path);
        return false;
    }
    // Only a list on disk counts: its databases enter the status tab now.
    EnterListedDatabases(names);
    return true;
}

void CSQLBackup::EnterListedDatabases(const std::vector<std::string>& names) {
    for (const std::string& database : names) {
        (void)UpdateStatusTabDBInfo(database.c_str(), "", JobManager::kDBStatusListed, 0, JobManager::kDBPhaseNone);
    }
}

bool CSQLBackup::ReadFromCollectFile(std::string path, std::vector<std::string>& names) {
    JXFile file;
    if (file.open(path.c_str(), JXFile::kRead) != 0) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s] for reading with error [%d].", path.c_str(),
                 file.getLastError());
        return false;
    }
    names.clear();
    char buffer[kLineBufferSize];
    int rc;
    while ((rc = file.getLine(buffer, sizeof buffer)) == 1) {
        EV_DEBUG(m_logger, 2, "Adding database [%s] from collect file.", buffer);
        names.emplace_back(buffer);
    }
    (void)file.close();  // read only: nothing to lose
    if (rc < 0) {
        // A line too long for a name, or a read error: the list would be incomplete.
        EV_ERROR(m_logger, "Failed to read the collect file [%s] with error [%d].", path.c_str(),
                 file.getLastError());
        return false;
    }
    return true;
}

bool CSQLBackup::populateDBNamesFromCollectFile(std::set<std::string>& names, std::string path) {
    JXFile file;
    if (file.open(path.c_str(), JXFile::kRead) != 0) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s]. ErrorCode [%d]", path.c_str(), file.getLastError());
        return false;
    }
    char buffer[kLineBufferSize];
    int rc;
    while ((rc = file.getLine(buffer, sizeof buffer)) == 1) {
        if (buffer[0] != '\0') names.insert(buffer);
    }
    (void)file.close();  // read only: nothing to lose
    if (rc < 0) {
        EV_ERROR(m_logger, "Failed to read the collect file [%s]. ErrorCode [%d]", path.c_str(), file.getLastError());
        return false;
    }
    return true;
}

bool CSQLBackup::CreateCollectFileForSQLBackup(JXFile* file, std::vector<std::string>& names, bool truncate) {
    const std::string& name = m_bkpPhase == JXSQL_BACKUP_FULL   ? CSQLCommon::FULLCOLLECTFILENAME
                              : m_bkpPhase == JXSQL_BACKUP_DIFF ? DIFFCOLLECTFILENAME
                                                                : LOGCOLLECTFILENAME;
    const std::string path = m_jobResultsDirectory + "/" + name;
    if (names.empty()) {
        RefuseEmptyList();
        return false;
    }
    if (file == nullptr) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s] with error [%u].", path.c_str(),
                 static_cast<unsigned>(EINVAL));
        RaisePendingCause(kCauseJobFileOpen, path);
        return false;
    }
    std::sort(names.begin(), names.end(), compareNoCase);
    // A file that is not open is written in one go: it holds the list alone
    // (an old list left after it would make the new one a cut of both).
    (void)truncate;
    if (!file->isOpened()) return PutListInPlace(path, names);
    // One the caller opened is written from where it stands, and synced.
    for (const std::string& database : names) {
        if (file->putLine(database) < 0) {
            EV_ERROR(m_logger, "Failed to write db [%s] to collect file [%s] with error [%u].", database.c_str(),
                     path.c_str(), static_cast<unsigned>(file->getLastError()));
            if (m_pJobClnt != nullptr) *m_pJobClnt << database.c_str();
            RaisePendingCause(kCauseCollectFileWrite, path);
            return false;
        }
    }
    if (file->sync() != 0) {
        EV_ERROR(m_logger, "Failed to write the collect file [%s] with error [%u].", path.c_str(),
                 static_cast<unsigned>(file->getLastError()));
        RaisePendingCause(kCauseCollectFileWrite, path);
        return false;
    }
    EnterListedDatabases(names);
    return true;
}

void CSQLBackup::RefuseEmptyList() {
    if (!m_isSnapBackup) m_errorControl.setEmptyCollectFilaure();
    EV_WARN(m_logger, "List of databases for collect file is empty.");
}
