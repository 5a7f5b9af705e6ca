// Converted-database lists and the job-level conversion.
//
// A database converted to another level during a phase is written to the
// list of that level, which is at the same time the collect file of the
// phase the job manager is asked to run next ("FullDBList.jxf" or
// "DiffDBList.jxf" in the job-results directory). A list file stays open for
// the rest of the job once it was written to; every line is synced before
// the database counts as converted. A list is only appended to and holds
// whole lines: what a failed append left of its line is cut off before
// anything else is appended, so no name is ever joined onto another.
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// Process-wide: the first append to a list also writes the stream-info file
// of the target phase.
bool bFullGenerateStreamInfo = true;
bool bDiffGenerateStreamInfo = true;

}  // namespace

CSQLBackup::ConvertedList CSQLBackup::ConvertedListOf(JXSQLExeBackupType level) {
    if (level == JXSQL_BACKUP_FULL) {
        return {&m_fullConvertedNames, &m_fullConvertedFile, &m_bFullConversion, &m_fullConvertedEnd,
                m_jobResultsDirectory + "/" + CSQLCommon::FULLCOLLECTFILENAME};
    }
    return {&m_diffConvertedNames, &m_diffConvertedFile, &m_bDiffConversion, &m_diffConvertedEnd,
            m_jobResultsDirectory + "/" + DIFFCOLLECTFILENAME};
}

bool CSQLBackup::OpenConvertedList(const ConvertedList& list) {
    struct stat st {};
    const bool created = wz::Fs().Stat(list.path, &st) != 0 && errno == ENOENT;
    if (list.file->open(list.path.c_str(), JXFile::kWrite) != 0) {
        EV_ERROR(m_logger, "Failed to open the collect file [%s] with error [%u].", list.path.c_str(),
                 static_cast<unsigned>(list.file->getLastError()));
        return false;
    }
    // A list this call created is only found after a crash once its folder is synced.
    if (created && wz::SyncFolderOf(list.path) != 0) {
        const int error = errno;
        EV_ERROR(m_logger, "Failed to open the collect file [%s] with error [%u].", list.path.c_str(),
                 static_cast<unsigned>(error));
        (void)list.file->close();  // nothing was written to it
        return false;
    }
    // A last line without its break (an append a full disk or a crash cut
    // short) names no database and would join the next name appended: the
    // list is cut back to its whole lines before it is read or appended to.
    std::string text;
    if (!wz::ReadSmallFile(list.path, text)) {
        EV_ERROR(m_logger, "Failed to read the collect file [%s] with error [%u].", list.path.c_str(),
                 static_cast<unsigned>(errno));
        (void)list.file->close();  // nothing was written to it
        return false;
    }
    const size_t lastBreak = text.rfind('\n');
    list.end->whole = lastBreak == std::string::npos ? 0 : static_cast<int64_t>(lastBreak + 1);
    list.end->cutPending = static_cast<int64_t>(text.size()) != list.end->whole;
    if (list.end->cutPending && !CutConvertedList(list)) {
        (void)list.file->close();  // nothing is buffered
        return false;
    }
    std::vector<std::string> names;
    if (!populateDBNamesFromCollectFile(names, list.path) ||
        list.file->seek(list.end->whole, JXFile::kFromStart) != list.end->whole) {
        EV_ERROR(m_logger, "Failed to read the collect file [%s].", list.path.c_str());
        (void)list.file->close();  // nothing was written to it
        return false;
    }
    list.names->insert(names.begin(), names.end());
    return true;
}

bool CSQLBackup::CutConvertedList(const ConvertedList& list) {
    if (list.file->truncate(list.end->whole) != 0 || list.file->sync() != 0) {
        EV_ERROR(m_logger, "Failed to cut collect file [%s] back to its whole lines with error [%u].",
                 list.path.c_str(), static_cast<unsigned>(list.file->getLastError()));
        return false;
    }
    list.end->cutPending = false;
    return true;
}

bool CSQLBackup::AddConvertedDBToCollectFile(std::string databaseName, JXSQLExeBackupType level) {
    if (databaseName.empty() || (level != JXSQL_BACKUP_FULL && level != JXSQL_BACKUP_DIFF)) return false;
    bool& generateStreamInfo = level == JXSQL_BACKUP_FULL ? bFullGenerateStreamInfo : bDiffGenerateStreamInfo;
    if (generateStreamInfo) {
        generateStreamInfo = false;
        (void)GenerateStreamInfoFile(level, 0);  // the next phase writes it anew when this one failed
    }
    const ConvertedList list = ConvertedListOf(level);
    *list.flag = true;
    if (!list.file->isOpened() && !OpenConvertedList(list)) return false;
    if (list.names->count(databaseName) != 0) return true;
    // What an earlier append left of its line must go first: the name would
    // be written after it, joined into a name no database has.
    if (list.end->cutPending && !CutConvertedList(list)) {
        EV_ERROR(m_logger, "Failed to write db [%s] to collect file [%s]: the list holds a cut line.",
                 databaseName.c_str(), list.path.c_str());
        return false;
    }
    // Synced line by line: a database the job counts as converted is in the
    // list after a crash too.
    if (list.file->putLine(databaseName) < 0 || list.file->sync() != 0) {
        EV_ERROR(m_logger, "Failed to write db [%s] to collect file [%s] with error [%u].", databaseName.c_str(),
                 list.path.c_str(), static_cast<unsigned>(list.file->getLastError()));
        DropUnwrittenName(list);
        return false;
    }
    list.end->whole = list.file->getCurOffset();
    list.names->insert(databaseName);
    return true;
}

// The line that could not be written must not reach the list later, alone
// or joined to another name: the caller fails that database. An open list
// drops what is buffered, never writing it, and is cut back to the whole
// lines it held before; when the cut fails, the next append makes it first
// and is refused if it fails again. A closed list (its rewrite failed) is
// put back to the names it holds.
void CSQLBackup::DropUnwrittenName(const ConvertedList& list) {
    if (list.file->isOpened()) {
        list.end->cutPending = true;
        (void)CutConvertedList(list);  // logged there; the next append tries again
        return;
    }
    if (!WriteConvertedListWhole(list)) {
        EV_ERROR(m_logger, "Failed to restore collect file [%s] with error [%u].", list.path.c_str(),
                 static_cast<unsigned>(errno));
    }
}

bool CSQLBackup::WriteConvertedListWhole(const ConvertedList& list) {
    std::string content;
    for (const std::string& name : *list.names) content += name + "\n";
    return wz::WriteFileAtomically(list.path, content);
}

// A list whose cut kept failing still ends in what a failed append left of
// its line, which the next phase would read as a database: it is written
// whole once more, through a new file, so the failing cut is not needed.
// An open list is written from the names it holds; one that could not be
// opened because its cut failed keeps the whole lines of its file. When this
// fails too the databases it names stay converted: the next phase still
// backs them up.
void CSQLBackup::WriteOwedConvertedListCuts() {
    for (const JXSQLExeBackupType level : {JXSQL_BACKUP_FULL, JXSQL_BACKUP_DIFF}) {
        const ConvertedList list = ConvertedListOf(level);
        if (!list.end->cutPending) continue;
        bool written = false;
        if (list.file->isOpened()) {
            written = WriteConvertedListWhole(list);
        } else {
            std::string text;
            if (wz::ReadSmallFile(list.path, text)) {
                const size_t lastBreak = text.rfind('\n');
                written = wz::WriteFileAtomically(list.path,
                                                  lastBreak == std::string::npos ? "" : text.substr(0, lastBreak + 1));
            }
        }
        if (!written) {
            EV_ERROR(m_logger, "Failed to write collect file [%s] without its cut last line with error [%u].",
                     list.path.c_str(), static_cast<unsigned>(errno));
            continue;
        }
        list.end->cutPending = false;
        // The handle appended to the file just replaced and holds nothing
        // buffered (the failed cut dropped it): a later count reopens the list.
        if (list.file->isOpened() && list.file->close() != 0) {
            EV_WARN(m_logger, "Failed to close collect file [%s].", list.path.c_str());
        }
    }
}

uint32_t CSQLBackup::GetConvertedDBCount(JXSQLExeBackupType level) {
    if (level != JXSQL_BACKUP_FULL && level != JXSQL_BACKUP_DIFF) return 0;
    // A full phase converts nothing; in a differential phase the differential
    // list is the running phase's own collect file.
    if (m_bkpPhase == JXSQL_BACKUP_FULL) return 0;
    if (m_bkpPhase == JXSQL_BACKUP_DIFF && level == JXSQL_BACKUP_DIFF) return 0;
    const ConvertedList list = ConvertedListOf(level);
    if (list.file->isOpened()) return static_cast<uint32_t>(list.names->size());
    if (!OpenConvertedList(list)) return 0;
    *list.flag = !list.names->empty();
    return static_cast<uint32_t>(list.names->size());
}

bool CSQLBackup::DeleteConvertedDBCollectFile(JXSQLExeBackupType level) {
    if (level != JXSQL_BACKUP_FULL && level != JXSQL_BACKUP_DIFF) return false;
    const ConvertedList list = ConvertedListOf(level);
    *list.flag = false;
    if (list.file->isOpened() && list.file->close() != 0) {
        EV_WARN(m_logger, "Failed to close collect file [%s].", list.path.c_str());
    }
    list.names->clear();
    if (wz::Fs().Unlink(list.path) != 0 && errno != ENOENT) {
        EV_WARN(m_logger, "Failed to delete collect [%s]. with error [%u].", list.path.c_str(),
                static_cast<unsigned>(errno));
        return false;
    }
    EV_DEBUG(m_logger, 2, "Successfully deleted collect file [%s].", list.path.c_str());
    return true;
}

void CSQLBackup::HandleConversion() {
    if (m_bkpPhase == JXSQL_BACKUP_FULL) return;
    WriteOwedConvertedListCuts();
    if (m_bLREP && m_bkpPhase == JXSQL_BACKUP_LOG) {
        HandleLREPConversion();
    } else if (m_bLREPVSA && m_bkpPhase == JXSQL_BACKUP_LOG) {
        HandleLREPVSAConversion();
    } else if (m_isSnapBackup && m_bkyType == JXSQL_BACKUP_LOG) {
        HandleSNAPConversion();
    } else if (m_blockLevelEnabled && m_bkpPhase == JXSQL_BACKUP_LOG) {
        HandleBlockLevelConversion();
    } else {
        HandleNonSnapConversion();
    }
    (void)closeJobResults();  // the next phase reopens them
    if (m_pBkpJobClnt == nullptr) return;
    if (m_bDiffConversion) {
        (void)m_pBkpJobClnt->runDifferentialPhase();
        EV_DEBUG(m_logger, 2, "Updating job manager to run differential phase");
    }
    if (m_bFullConversion) {
        (void)m_pBkpJobClnt->convertToFull();
        EV_DEBUG(m_logger, 2, "Updating job manager to run Full phase");
    }
    (void)m_pBkpJobClnt->updateInfo(false, nullptr);
}

void CSQLBackup::HandleNonSnapConversion() {
    if (m_bkpPhase != JXSQL_BACKUP_LOG && m_bkpPhase != JXSQL_BACKUP_DIFF) return;
    if (!m_isAGChild) return;  // the lists are in place for the next phase
    if (!m_fullConvertedNames.empty() &&
        !SendGeneratedCollectFileForAlwaysONToMasterProcess(ConvertedListOf(JXSQL_BACKUP_FULL).path,
                                                            JXSQL_BACKUP_FULL, true)) {
        EV_ERROR(m_logger,
                 "Failure while sending full collect file to master process. Databases in FULL collect file will "
                 "not be backed up.");
        FailUnsentConvertedList(m_fullConvertedNames, "Failure while sending full collect file to master process.");
    }
    if (!m_diffConvertedNames.empty() &&
        !SendGeneratedCollectFileForAlwaysONToMasterProcess(ConvertedListOf(JXSQL_BACKUP_DIFF).path,
                                                            JXSQL_BACKUP_DIFF, true)) {
        EV_ERROR(m_logger,
                 "Failure while sending differential collect file to master process. Databases in differential "
                 "collect file will not be backed up.");
        FailUnsentConvertedList(m_diffConvertedNames,
                                "Failure while sending differential collect file to master process.");
    }
}

// No phase of the master backs these databases up: each fails in this job.
void CSQLBackup::FailUnsentConvertedList(std::set<std::string>& names, const std::string& reason) {
    for (const std::string& name : names) {
        (void)UpdateStatusTabDBInfo(name.c_str(), reason.c_str(), JobManager::kDBStatusFailed, 0,
                                    JobManager::kDBPhaseNone);  // a refused send is logged there
        CountFailedDatabase(name);
    }
    names.clear();
}

CWzError CSQLBackup::HandlePromoteToFullConversion(JobManager::SQLStatusTab* status, const std::string& databaseName) {
    const std::string text = "The [" + m_backupLevelName + "] backup of [" + databaseName +
                             "] is being converted because backup option is set to promote it to a FULL";
    m_logger << text.c_str();
    m_logger.InfoEvent(kCauseFreeText, 0, 0);
    EV_INFO(m_logger, "%s", text.c_str());
    if (!AddConvertedDBToCollectFile(databaseName, JXSQL_BACKUP_FULL)) {
        // Nothing would back the database up: it fails in this phase.
        return FailConversion(status, databaseName);
    }
    if (status != nullptr) {
        status->setstring(JobManager::SQLStatusTab::kReason, text);
        status->setint64(JobManager::SQLStatusTab::kDatabasePhase, JobManager::kDBPhaseFull);
        status->setint64(JobManager::SQLStatusTab::kStatus, JobManager::kDBStatusConverted);
        (void)UpdateStatusTabInformationToCS(status);
    }
    return CWzError();
}

CWzError CSQLBackup::FailConversion(JobManager::SQLStatusTab* status, const std::string& databaseName) {
    (void)FailUnlistedDatabase(status, databaseName);
    if (status != nullptr) (void)UpdateStatusTabInformationToCS(status);
    CountFailedDatabase(databaseName);
    return CWzError();
}
