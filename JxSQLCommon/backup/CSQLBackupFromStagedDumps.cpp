// CSQLBackup: the backup of one database from its staged log dumps. All of
// the database's dumps go through the pipeline on one stream; then each dump,
// in log order, becomes a backup-set record at the central server, its data
// is committed on the media and only then are its two files deleted. A
// failure leaves that dump and every later one staged for the next job,
// except a dump whose record was accepted once an earlier commit had made
// every dump's data durable: its set stands, so it is deleted all the same.
// A dump the central server cannot chain converts the database to full; the
// full backup supersedes the dump, which is deleted too.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <list>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr int kSkipNoLogDumps = 9;
constexpr int kMethodVdi = 0;
const char* const kXmlError = "Failed to update backup set information to CS with Client XML Error.";

struct StagedDump {
    std::string bak;
    std::string xml;
    bool lsnKnown = false;
    unsigned long long firstLsn = 0;
};

// Whose dumps come first: known first LSNs in log order, then the rest by path.
bool InLogOrder(const StagedDump& a, const StagedDump& b) {
    if (a.lsnKnown != b.lsnKnown) return a.lsnKnown;
    if (a.lsnKnown && a.firstLsn != b.firstLsn) return a.firstLsn < b.firstLsn;
    return a.bak < b.bak;
}

// Holds the job's commit-with-every-record switch off for a scope, so that
// the caller commits after each record itself and knows which of the two
// failed.
class CommitAfterRecordsHere {
public:
    explicit CommitAfterRecordsHere(bool& commitWithRecord)
        : m_switch(commitWithRecord), m_saved(std::exchange(commitWithRecord, false)) {}
    ~CommitAfterRecordsHere() { m_switch = m_saved; }
    CommitAfterRecordsHere(const CommitAfterRecordsHere&) = delete;
    CommitAfterRecordsHere& operator=(const CommitAfterRecordsHere&) = delete;

private:
    bool& m_switch;
    bool m_saved;
};

}  // namespace

bool CSQLBackup::doDBBackupFromFileSystem(const wchar_t* databaseName, unsigned long collectFileOffset,
                                          JobManager::SQLStatusTab* statusTab, bool& fallBack) {
    (void)fallBack;  // the staged path never falls back to VDI
    using T = JobManager::SQLStatusTab;
    m_bNothingBackedUp = false;
    const std::string name = FXString::ToString(std::wstring(databaseName != nullptr ? databaseName : L""));
    if (name.empty()) {
        EV_ERROR(m_logger, "Empty DataBase Name is found for the collect file offset [%lu].", collectFileOffset);
        return false;
    }
    std::string folder;
    std::string folderError;
    if (!getStageFolderForFsBackup(folder, folderError)) {
        if (statusTab != nullptr) {
            statusTab->setint64(T::kStatus, JobManager::kDBStatusFailed);
            statusTab->setstring(T::kReason, folderError);
        }
        // Without a staging folder no database of the job can be backed up.
        m_bJobFailed = true;
        return false;
    }
    EV_INFO(m_logger, "Starting [%s] Backup of Database [%s]..!!", m_backupLevelName.c_str(), name.c_str());

    if (getBufferSize() != 0) m_dataTransferHandler.setBufferSizeInKB(static_cast<unsigned long>(getBufferSize()));
    m_dataTransferHandler.setJobControllerObject(m_pJobCtrlClnt);
    m_dataTransferHandler.setBkpJobControllerObject(m_pBkpJobClnt);
    m_dataTransferHandler.setDbName(name);
    m_dataTransferHandler.setCollectFileOffset(collectFileOffset);
    m_dataTransferHandler.setStreams(1);
    m_dataTransferHandler.setBkpType(static_cast<int>(m_bkyType));
    SqlDataTransferHandler::CanSendOptionalHeaders(m_sendOptionalHeader);

    std::map<std::wstring, std::wstring> found;
    if (!getFilesForBackup(folder.c_str(), name.c_str(), found)) {
        m_lastErrorText = "Failed to find log dumps for database [" + name + "].";
        if (statusTab != nullptr) {
            statusTab->setint64(T::kStatus, JobManager::kDBStatusFailed);
            statusTab->setstring(T::kReason, m_lastErrorText);
        }
        EV_WARN(m_logger, "Failed to find log dumps for database [%s].", name.c_str());
        return false;
    }
    if (found.empty()) {
        EV_INFO(m_logger, "No log dumps found; %s of database [%s].", "Skipped log backup", name.c_str());
        m_skippedLogDbs += name + ",";
        (void)UpdateSkippedFailedCountAndJobInfo(
            name, "No log dumps found, skipped log backup for database [" + name + "].", kSkipNoLogDumps,
            JobManager::kDBStatusSkippedInPhase);
        // Nothing was backed up: the walk counts it as skipped, not as a success.
        m_bNothingBackedUp = true;
        return true;
    }
    std::vector<StagedDump> dumps;
    for (const auto& [bak, xml] : found) {
        StagedDump dump{FXString::ToString(bak), FXString::ToString(xml)};
        std::string owner;
        dump.lsnKnown = DescribeStagedDump(dump.xml, owner, dump.firstLsn);
        dumps.push_back(dump);
    }
    std::stable_sort(dumps.begin(), dumps.end(), InLogOrder);

    bool succeeded = false;
    [&] {
        std::list<std::string> paths;
        for (const StagedDump& dump : dumps) paths.push_back(dump.bak);
        if (!m_dataTransferHandler.backupDBLogFiles(paths)) {
            if (!m_dataTransferHandler.getbSetupPipelineCompleted()) {
                EV_ERROR(m_logger,
                         "Failed to setup the pipeline to the media agent. Please check if the mediaagent is online "
                         "and Orvane services are running on Mediaagent.");
                RaisePendingCause(kCausePipelineSetup);
                m_lastErrorText =
                    "Failed to set up pipeline to the MediaAgent. Please check the connectivity between client and "
                    "MediaAgent.";
            } else if (quit()) {
                EV_ERROR(m_logger, "Job Manager Issued Job Termination during [%s] phase, backup operation failed",
                         m_backupLevelName.c_str());
                RaisePendingCause(kCauseJobTerminated, m_backupLevelName);
                m_lastErrorText =
                    "Job Manager Issued Job Termination during[" + m_backupLevelName + "] phase, backup operation failed.";
            } else if (m_dataTransferHandler.isStopJob()) {
                EV_ERROR(m_logger, "Failure during pipeline set-up for the database [%s].", name.c_str());
            } else {
                EV_ERROR(m_logger, "Failure while processing the data for the database [%s].", name.c_str());
                m_lastErrorText = "Failed to process data for the database [" + name + "].";
                RaisePendingCause(kCauseTaskData, m_lastErrorText);
            }
            return;
        }
        EV_INFO(m_logger, "Number of TL backup found [%lu] for database [%s].",
                static_cast<unsigned long>(dumps.size()), name.c_str());
        size_t registered = 0;
        bool converted = false;
        const auto removeDump = [&](const StagedDump& dump) {
            for (const std::string& file : {dump.xml, dump.bak}) {
                if (wz::Fs().Unlink(file) != 0 && errno != ENOENT) {
                    // A dump left behind is sent again by the next job.
                    EV_ERROR(m_logger, "Failed to delete the backed-up log dump file [%s] with error [%s].",
                             file.c_str(), std::strerror(errno));
                    m_lastErrorText = "Failed to delete the backed-up log dump file [" + file + "].";
                }
            }
        };
        // A record refused and a record accepted whose commit failed leave
        // the dump in different states, so the commit is made here, not by
        // the record's request.
        const CommitAfterRecordsHere committing(m_bCommitData);
        // Every dump reached the media above, before the first record: once
        // one commit succeeded, the data of all of them are durable.
        bool dataCommitted = false;
        for (const StagedDump& dump : dumps) {
            if (quit()) {
                EV_INFO(m_logger, "Quit flag set for the job. Stopping the job.");
                return;
            }
            std::string metadata;
            switch (ReadStagedMetadata(dump.xml, metadata)) {
                case StagedMetadata::kRead: break;
                case StagedMetadata::kNotOpened:
                    EV_ERROR(m_logger, "Failed to open XML file [%s] with last error code [%d].", dump.xml.c_str(),
                             errno);
                    m_lastErrorText = kXmlError;
                    return;
                case StagedMetadata::kEmpty:
                    EV_ERROR(m_logger, "Invalid XML file [%s] is found for metadata. No content found.",
                             dump.xml.c_str());
                    m_lastErrorText = kXmlError;
                    return;
                case StagedMetadata::kReadFailed:
                    EV_ERROR(m_logger, "Failed to read XML file [%s] with last error code [%d].", dump.xml.c_str(),
                             errno);
                    m_lastErrorText = kXmlError;
                    return;
            }
            EV_DEBUG(m_logger, 3, "XML read to update the CS : [ %s ].", metadata.c_str());
            m_currentDumpFile = dump.xml.substr(0, dump.xml.find(".xml")) + ".bak";
            int cause = 0;
            if (!sendBackupSetInfoToCS(metadata, kMethodVdi, "", &cause, statusTab, &dump == &dumps.back())) {
                EV_ERROR(m_logger, "Failed to update CS db with backup information.");
                if (m_pJobClnt != nullptr) *m_pJobClnt << name.c_str();
                if (m_pJobClnt != nullptr) {
                    (void)m_pJobClnt->setPendingCauseAndCriticalEvent(cause != 0 ? cause : kCauseBackupSetRefused, 0,
                                                                      false, 300, false, 0, 0, 0, 0);
                }
                m_lastErrorText = "Failed to update backup set information to CS.";
                (void)updateMetaInfoToMedia(nullptr, true);
                return;
            }
            if (cause == kCauseBrokenChain) {
                // The central server cannot chain this dump: the database is
                // converted to full, and the full backup supersedes the dump.
                // Left staged, it would break the chain of every later log job.
                EV_WARN(m_logger, "Log chain of database [%s] is broken at dump [%s]; it is converted to full.",
                        name.c_str(), dump.bak.c_str());
                converted = true;
                removeDump(dump);
                continue;
            }
            // The dump may go only once the media holds its data for good.
            if (!m_dataTransferHandler.commitData()) {
                EV_ERROR(m_logger, "Failed to commit the data of log dump [%s]: %s", dump.bak.c_str(),
                         m_dataTransferHandler.getLastErrorString().c_str());
                m_lastErrorText = "Failed to commit the data of database [" + name + "] on the media.";
                m_bJobFailed = true;
                // A set whose data the media never committed goes: its dump
                // stays staged and the next job registers it again.
                DropUncommittedBackupSets(name);
                // An earlier commit took this dump's data along: its set
                // stands, and left staged the dump would be registered twice.
                if (dataCommitted) removeDump(dump);
                return;
            }
            dataCommitted = true;
            ++registered;
            if (statusTab != nullptr) {
                statusTab->setint64(T::kStatus, JobManager::kDBStatusBackedUp);
                statusTab->setstring(T::kReason, m_lastErrorText);
                (void)UpdateStatusTabInformationToCS(statusTab);
            }
            removeDump(dump);
        }
        // A converted database counts as converted, not as backed up.
        if (converted) m_bNothingBackedUp = registered == 0;
        EV_INFO(m_logger, "Number of Transaction log dumps backed-up successfully [%lu].",
                static_cast<unsigned long>(registered));
        CSQLClientDll requester;
        if (!requester.updateLogMarks(m_sServername, static_cast<unsigned long>(m_instanceId), name.c_str())) {
            EV_ERROR(m_logger, "Failed to update Log Marks for database [%s]", name.c_str());
            RaisePendingCause(kCauseLogMarks, name);
            m_lastErrorText = "Failed to update Log Marks for database [" + name + "].";
        }
        succeeded = true;
    }();

    if (statusTab != nullptr && statusTab->getint64(T::kStatus) != JobManager::kDBStatusConverted) {
        statusTab->setint64(T::kStatus, succeeded ? JobManager::kDBStatusBackedUp : JobManager::kDBStatusFailed);
        statusTab->setstring(T::kReason, m_lastErrorText);
    }
    m_dataTransferHandler.removeDataReaderWriters();
    m_dataTransferHandler.reset();
    return succeeded;
}
