// CSQLRestoreBase: the out-of-place destination of a restore. After the
// chain is restored and recovered on the instance the restore went to, the
// database is detached there, its files are copied to the destination client
// when the move needs a copy, and it is attached to the destination instance,
// here or through the destination client's agent. A database that cannot be
// brought there is attached back, so it is never left detached.
#include <strings.h>
#include <sys/stat.h>

#include <cinttypes>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "JXAppMgr/Instance.h"
#include "JobResults/RestoreStatus.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSession/JxCopyFile.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlDbState.h"
#include "WzUtils/CWzDirectory.h"
#include "WzUtils/FXPath.h"
#include "WzUtils/WzFileSystem.h"

namespace {

// The option word of every copy record of a database file.
constexpr uint32_t kDatabaseFileCopyOption = 240;
constexpr unsigned long kClientNameBytes = 256;
constexpr size_t kMachineNameMax = 255;

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return wz::Fs().Stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

// Copies `text` into a zero-terminated area of the copy record; false when
// it does not fit.
bool FitInto(char (&area)[kJxsFileCopyPathBytes], const std::string& text) {
    if (text.size() >= kJxsFileCopyPathBytes) return false;
    text.copy(area, text.size());
    area[text.size()] = '\0';
    return true;
}

// The serialised attach entry of a database with its files; empty when it
// cannot be serialised.
std::string AttachEntryText(const std::string& name, const std::string& sourceName,
                            const std::vector<std::string>& files) {
    SQLPmn::AttachDB entry;
    entry.setstring(SQLPmn::AttachDB::kAttachName, name);
    entry.setstring(SQLPmn::AttachDB::kSourceName, sourceName);
    entry.setliststring(SQLPmn::AttachDB::kFilePaths, files);
    std::string text;
    if (entry.serialize(text) != kMsgOk) text.clear();
    return text;
}

}  // namespace

void CSQLRestoreBase::ReportMoveFailure(const std::string& name, const std::string& text) {
    SetRestoreStatus(name, RESTORE_STATUS_FAILED);
    if (m_pRstJobClnt) {
        *m_pRstJobClnt << text.c_str();
        // The database fails whether or not the job manager took the event.
        (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseFreeText);
    }
}

bool CSQLRestoreBase::MoveDatabaseToSnapDestination(SqlRestoreDbInfo_t db, const std::string& target) {
    const SqlSnapDestinationInstance_t& destination = m_restoreOptions.snapDestination;
    std::string destinationName;
    if (MsSqlInstance(destination.instanceId).getInstanceName(destinationName) != 0 || destinationName.empty()) {
        const std::string text = "Failed to find destination instance [" + std::to_string(destination.instanceId) +
                                 "] for DB [" + target + "].";
        EV_ERROR(m_logger, "%s", text.c_str());
        ReportMoveFailure(target, text);
        return false;
    }
    if (destinationName == m_sServername) {
        EV_DEBUG(m_logger, 3, "Database [%s] was restored to destination instance [%s] already.", target.c_str(),
                 destinationName.c_str());
        return true;
    }
    const bool otherClient = m_restoreOptions.sourceClientId != destination.clientId;
    if (otherClient && !m_snapCopyToDestination && !m_snapStagedOnSource) {
        // The destination client's agent could only attach files it has:
        // without a copy the database stays where it was restored.
        const std::string text = "Database [" + target + "] cannot be moved to instance [" + destinationName +
                                 "] of another client without a copy of its files.";
        EV_ERROR(m_logger, "%s", text.c_str());
        ReportMoveFailure(target, text);
        return false;
    }

    // The files it has now are what an attach back needs; unless the restore
    // wrote them for the destination, they are also the files to attach there.
    CsqlDMO dmo;
    std::vector<std::string> files;
    std::string error;
    if (!dmo.getDatabaseFilePaths(m_sServername, target, files, error) || files.empty()) {
        EV_ERROR(m_logger, "Failed to read the files of DB [%s] on instance [%s] with error [%s].", target.c_str(),
                 m_sServername.c_str(), error.c_str());
        ReportMoveFailure(target, "Failed to read the files of DB [" + target + "] before moving it with error [" +
                                      error + "].");
        return false;
    }
    if (!m_snapCopyToDestination && !m_snapStagedOnSource) db.newFiles.assign(files.begin(), files.end());

    if (!dmo.DetachDB(m_sServername, target, error)) {
        EV_ERROR(m_logger, "Failed to detach DB from source instance with error [%s].", error.c_str());
        return false;
    }
    if (doCopyAndAttachDatabaseOnDestination(db)) return true;

    const std::string entry = AttachEntryText(target, db.sDbName, files);
    if (entry.empty() || !dmo.AttachDatabase(m_sServername, entry, error)) {
        std::string list;
        for (const std::string& file : files) list += (list.empty() ? "" : ", ") + file;
        EV_ERROR(m_logger, "Failed to attach DB [%s] back to instance [%s] with error [%s]; its files are [%s].",
                 target.c_str(), m_sServername.c_str(), error.c_str(), list.c_str());
    } else {
        EV_INFO(m_logger, "Attached DB [%s] back to instance [%s].", target.c_str(), m_sServername.c_str());
    }
    return false;
}

bool CSQLRestoreBase::doCopyAndAttachDatabaseOnDestination(SqlRestoreDbInfo_t db) {
    const std::string display = TargetName(db);
    const SqlSnapDestinationInstance_t& destination = m_restoreOptions.snapDestination;
    if (m_snapCopyToDestination) {
        std::string error;
        if (!CopyDatabaseFilesToDestination(db, error)) {
            EV_ERROR(m_logger, "Failed to copy files for DB [%s].", display.c_str());
            ReportMoveFailure(display, error);
            return false;
        }
    }
    std::string xml;
    if (!getAttachMessageForDB(db, xml)) {
        EV_ERROR(m_logger, "Failed to get attach message for DB [%s].", display.c_str());
        return false;
    }
    std::string name;
    if (MsSqlInstance(destination.instanceId).getInstanceName(name) != 0 || name.empty()) {
        const std::string text = "Failed to find destination instance [" + std::to_string(destination.instanceId) +
                                 "] for DB [" + display + "].";
        EV_ERROR(m_logger, "%s", text.c_str());
        ReportMoveFailure(display, text);
        return false;
    }

    bool attached = false;
    std::string error;
    if (m_restoreOptions.sourceClientId == destination.clientId) {
        CsqlDMO dmo;
        dmo.setInstanceId(destination.instanceId);
        if (!dmo.initialize(name, false)) {
            EV_ERROR(m_logger, "Failed to attach DB to destination instance [%s] with dmo initialize error.",
                     name.c_str());
            return false;
        }
        attached = dmo.AttachDatabase(name, xml, error);
    } else {
        CSQLClientDll client;
        attached = client.AttachDatabaseOnRemoteMachine(destination.clientId, destination.instanceId, name, xml, error);
    }
    if (!attached) {
        EV_ERROR(m_logger, "Failed to attach DB to destination instance [%s] with error [%s].", name.c_str(),
                 error.c_str());
        ReportMoveFailure(display,
                          "Failed to attach DB to destination instance [" + name + "] with error [" + error + "].");
        return false;
    }
    return true;
}

bool CSQLRestoreBase::CopyDatabaseFilesToDestination(SqlRestoreDbInfo_t, std::string& errorText) {
    const SqlSnapDestinationInstance_t& destination = m_restoreOptions.snapDestination;
    std::string host;
    if (!getMangledClientName(host, destination.clientId)) {
        EV_ERROR(m_logger, "Failed to get mangled host name for destination client [%" PRIu64 "].",
                 destination.clientId);
        errorText = "Copy database files failed with error while retrieving host name for destination client.";
        return false;
    }
    EV_DEBUG(m_logger, 5, "Copy files to destination machine [%" PRIu64 "] [%s] from source [%" PRIu64 "].",
             destination.clientId, host.c_str(), m_restoreOptions.sourceClientId);

    // Every file the maps name must be found and fit the copy record before
    // anything is copied: a copy that leaves a file out is no copy.
    std::vector<_JXS_FILE_COPY_INFO> copies;
    auto add = [&](const std::string& folder, const std::string& file, const std::string& to) {
        _JXS_FILE_COPY_INFO info;
        if (!FitInto(info.sourceFolder, folder) || !FitInto(info.request.fileName, file) ||
            !FitInto(info.request.destinationFolder, to)) {
            EV_ERROR(m_logger, "File [%s] of folder [%s] to [%s] is too long for the file copy record.", file.c_str(),
                     folder.c_str(), to.c_str());
            errorText = "Copy database files failed because the path of file [" + file +
                        "] is longer than the copy allows.";
            return false;
        }
        info.copyOption = kDatabaseFileCopyOption;
        copies.push_back(info);
        EV_DEBUG(m_logger, 6, "File to copy [%s] from folder[%s] to destination folder [%s].", file.c_str(),
                 folder.c_str(), to.c_str());
        return true;
    };
    for (const auto& [name, destinationFolder] : m_snapFileMap.destinationFolders) {
        EV_DEBUG(m_logger, 6, "Database file to copy [%s].", name.c_str());
        auto source = m_snapFileMap.sourceFolders.find(name);
        if (source == m_snapFileMap.sourceFolders.end()) {
            EV_ERROR(m_logger, "Failed to find file name [%s] from source map.", name.c_str());
            errorText = "Copy database files failed because file [" + name + "] is not found on the source machine.";
            return false;
        }
        std::string path = source->second;
        CWzError joined = FXPath::Append(path, name);
        if (joined.IsError()) {
            EV_ERROR(m_logger, "Failed to concatenate path with error [%d] [%s].", joined.GetErrorCode(),
                     joined.AsString().c_str());
            errorText = "Copy database files failed because file [" + name + "] is not found on the source machine.";
            return false;
        }
        if (!IsDirectory(path)) {
            if (!add(source->second, name, destinationFolder)) return false;
            continue;
        }
        // A folder (a FILESTREAM container) goes with everything under it,
        // each file into the same relative folder below the destination.
        std::vector<std::string> files;
        if (!GetAllFilesInFolder(path, "*", files, true)) {
            EV_ERROR(m_logger, "Failed to list the files of folder [%s] for copy.", path.c_str());
            errorText = "Copy database files failed because folder [" + name + "] cannot be read on the source machine.";
            return false;
        }
        if (files.empty()) EV_WARN(m_logger, "No files found for copy in folder [%s].", path.c_str());
        for (const std::string& file : files) {
            const size_t slash = file.rfind('/');
            if (slash == std::string::npos) continue;
            const std::string folder = file.substr(0, slash);
            std::string relative;
            if (folder.size() > path.size() && folder.compare(0, path.size(), path) == 0 && folder[path.size()] == '/') {
                relative = folder.substr(path.size() + 1);
            }
            if (!add(folder, file.substr(slash + 1), destinationFolder + "/" + name + "/" + relative)) return false;
        }
    }
    if (copies.empty()) {
        EV_ERROR(m_logger, "No files for copy");
        errorText = "No file found for copy on the source machine stage folder and copy database files failed with "
                    "error.";
        return false;
    }

    JXPlatformInfo settings;
    std::string localName;
    if ((settings.getJXPlatformType() & 1) != 0) {
        char buffer[kClientNameBytes] = {};
        (void)settings.getJxServerClientName(buffer, sizeof buffer);  // a name not found stays empty
        localName = buffer;
    } else {
        localName = settings.getPhysicalMachine().substr(0, kMachineNameMax);
    }

    JxCopyFile copy;
    CWzError err = copy.GetConnection(host.c_str(), localName.c_str(), false);
    if (err.IsError()) {
        EV_ERROR(m_logger, "File copy failed while getting connecttion. %s", err.AsString().c_str());
        errorText = "Copy database files failed due to network connection between source and destination failed.";
        return false;
    }
    err = copy.CopyFiles(copies, false, nullptr, "", "");
    (void)copy.Disconnect();  // the copy's own outcome decides
    if (err.IsError()) {
        EV_ERROR(m_logger, "File copy failed. %s", err.AsString().c_str());
        errorText = "Copy database files failed due to one of the following reasons 1) Network between source and "
                    "destination failed. 2) Destination files are locked by some other process.";
        return false;
    }
    return true;
}

bool CSQLRestoreBase::CleanupSnapBackupRestoreOnSource(std::string databaseName, bool dropSource) {
    bool result = true;
    try {
        JXPlatformInfo settings;
        int64_t keep = 0;
        if (settings.getNumber("MSSQLAgent", "bKeepSnapRestoreStaged", &keep) == 0) {
            EV_DEBUG(m_logger, 6, "Failed to get 'bKeepSnapRestoreStaged' with error [%d].", settings.getLastError());
            keep = 0;
        }
        if (keep == 0) {
            if (dropSource) {
                // The database left behind is on the instance the restore
                // went to; a database in the middle of a restore is dropped.
                CsqlDMO dmo;
                dmo.setInstanceId(m_restoreOptions.destinationInstanceId);
                int state = 0;
                std::string stateText;
                if (dmo.getDatabaseStatus(m_sServername, databaseName, state, stateText) &&
                    (state & SQLDB_STATE_RESTORING) != 0 && !dmo.DeleteDatabase(m_sServername, databaseName)) {
                    EV_WARN(m_logger, "Failed to delete DB from source instance with error [%ls].",
                            dmo.getErrorString().c_str());
                }
            }
            if (!m_snapStagedOnSource && m_snapCopyToDestination) {
                // Only the database's own folder below the stage folder is removed.
                std::string folder = m_restoreOptions.snapDestination.stageFolder;
                if (folder.empty() || databaseName.find('/') != std::string::npos || databaseName == "." ||
                    databaseName == ".." || FXPath::Append(folder, databaseName).IsError()) {
                    EV_WARN(m_logger, "Failed to append path used for database [%s] restore.", databaseName.c_str());
                    result = false;
                } else if (CWzError removed = CWzDirectory::Remove(folder.c_str(), /*recursive=*/true, false);
                           removed.IsError()) {
                    EV_WARN(m_logger, "Failed to remove folder of staging data for database [%s]. %s",
                            databaseName.c_str(), removed.AsString().c_str());
                    result = false;
                }
            }
            if (m_snapStagedOnSource) {
                std::map<std::string, std::string, caseIgnoreCompare> shares(m_snapFileMap.mappedPaths.begin(),
                                                                             m_snapFileMap.mappedPaths.end());
                CSQLClientDll client;
                // The shares are the destination's to clean; their removal
                // does not decide the restore.
                (void)client.DeleteUNCPathOnRemoteMachine(m_restoreOptions.snapDestination.clientId, shares);
            }
        }
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception during revert operation.");
        return false;
    }
    m_snapStagedOnSource = false;
    m_snapCopyToDestination = false;
    m_snapFileMap.mappedPaths.clear();
    m_snapFileMap.sourceFolders.clear();
    m_snapFileMap.destinationFolders.clear();
    return result;
}

bool CSQLRestoreBase::isDatabaseFileStream(std::string fileName) {
    EV_DEBUG(m_logger, 6, "File name extension check for file [%s].", fileName.c_str());
    const size_t dot = fileName.rfind('.');
    if (dot == std::string::npos) return true;
    const std::string extension = fileName.substr(dot + 1);
    for (const char* known : {"xml", "mdf", "ndf", "ldf"}) {
        if (strcasecmp(extension.c_str(), known) == 0) return false;
    }
    return true;
}
