// CSQLBackup: the collect files of an on-demand (OSC) log job. The agent's
// request service leaves two lists in this machine's job-results directory,
// "<job id>_OSCCollectFile.jxf" (databases whose logs are backed up) and
// "<job id>_OSCFullCollectFile.jxf" (databases that need a full backup
// first), each with the instance name on its first line and a database on
// every following line. A list is used once: after it has been turned into
// the job's collect file it is renamed with ".used" appended. A missing or
// empty list names nothing to back up; a list that is there but cannot be
// read whole, or was written for another instance, fails the collect step,
// and then neither list is renamed: both stay for a later job.
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <set>
#include <string>
#include <unordered_map>

#include "JxJobClient/JXBkpJobClient.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr size_t kLineBufferSize = 1024;
constexpr int kSkipPseudoInstance = 4;
constexpr int kSkipMissing = 6;

}  // namespace

bool CSQLBackup::CreateCollectFileForOSC() {
    if (m_isAGChild) return CreateCollectFileForAlwaysOnOSC();
    JXPlatformInfo settings;
    std::string node;
    if (!settings.getString("", "sPhysicalNodeName", node) || node.empty()) {
        EV_ERROR(m_logger, "Failed to get current phsical node name with error [%lu].",
                 static_cast<unsigned long>(settings.getLastError()));
        return false;
    }
    std::string directory;
    if (!settings.getString("Machines/" + node, "dJOBRESULTSDIR", directory)) {
        EV_ERROR(m_logger,
                 "Failed to read registry 'dJOBRESULTSDIR' with error code [%lu] [Reg Error - %d] and error message "
                 "[%s].",
                 static_cast<unsigned long>(settings.getLastError()), settings.getRegError(),
                 settings.getLastErrorMsg().c_str());
        return false;
    }
    // The request service names the lists after the job id as a 32-bit number.
    const std::string prefix = directory + "/" + wz::Format("%u_", static_cast<unsigned int>(m_jobId));
    const std::string logList = prefix + "OSCCollectFile.jxf";
    const std::string fullList = prefix + "OSCFullCollectFile.jxf";
    // Both lists are read before either is retired: when one of them is
    // refused the collect step fails and both stay for the next attempt, so
    // that the databases of the good one are not lost with the ".used" rename.
    std::set<std::string> logNames;
    m_bOnDemandListRefused = false;
    const bool haveLogNames = getSQLDatabasesForBackup(logList, logNames);
    const bool logListRefused = m_bOnDemandListRefused;
    std::set<std::string> fullNames;
    m_bOnDemandListRefused = false;
    const bool haveFullNames = getSQLDatabasesForBackup(fullList, fullNames);
    const bool fullListRefused = m_bOnDemandListRefused;
    const bool retire = !logListRefused && !fullListRefused;
    bool result = retire;

    if (haveLogNames) {
        if (!generateSQLCollectFileForOSCJob(logNames)) {
            EV_ERROR(m_logger, "Failed to create the target collect file: %s", CollectFilePath().c_str());
            result = false;
        } else if (retire) {
            RetireOnDemandList(logList);
        }
    } else if (!logListRefused) {
        EV_INFO(m_logger, "No database(s) found in the osc log collect file [%s]", logList.c_str());
    }

    m_bNeedsFull = false;
    if (!haveFullNames && !fullListRefused) {
        EV_INFO(m_logger, "No databases were found in the OSC collect file [%s] for a full backup.", fullList.c_str());
    }
    if (!fullNames.empty()) {
        if (!generateSQLFullCollectFileForOSCJob(fullNames)) {
            EV_ERROR(m_logger, "Failed to create collect file for full backup.");
            result = false;
        } else if (retire) {
            RetireOnDemandList(fullList);
        }
    }
    if (!haveLogNames && !logListRefused) m_bNeedsFull = true;
    return result;
}

bool CSQLBackup::RefuseOnDemandList(const std::string& path) {
    RaisePendingCause(kCauseJobFileOpen, path);
    m_bOnDemandListRefused = true;
    return false;
}

void CSQLBackup::RetireOnDemandList(const std::string& path) {
    const std::string used = path + ".used";
    if (wz::Fs().Rename(path, used) != 0) {
        // The next job would take the same databases again: say so loudly.
        EV_ERROR(m_logger, "Failed to rename the used on-demand list [%s] to [%s] with error [%d].", path.c_str(),
                 used.c_str(), errno);
    }
}

bool CSQLBackup::getSQLDatabasesForBackup(const std::string& path, std::set<std::string>& names) {
    if (access(path.c_str(), F_OK) != 0) {
        EV_WARN(m_logger, "OSC Collect [%s] file is not found.", path.c_str());
        return false;
    }
    JXFile file;
    if (file.open(path.c_str(), JXFile::kRead) != 0) {
        EV_ERROR(m_logger, "Failed to open OnDemand SC file %s.", path.c_str());
        return RefuseOnDemandList(path);
    }
    char line[kLineBufferSize];
    int rc = file.getLine(line, sizeof line);
    if (rc == 1 && strcasecmp(line, m_sServername.c_str()) != 0) {
        // A list written for another instance names databases of that one.
        EV_ERROR(m_logger, "OnDemand SC file %s is for instance [%s], not for [%s]. It is not used.", path.c_str(),
                 line, m_sServername.c_str());
        (void)file.close();  // read only
        return RefuseOnDemandList(path);
    }
    std::set<std::string> read;
    while (rc == 1 && (rc = file.getLine(line, sizeof line)) == 1) {
        EV_DEBUG(m_logger, 1, "Read DB %s from collect file [%s]", line, path.c_str());
        read.insert(line);
    }
    (void)file.close();  // read only
    if (rc < 0) {
        // A line too long for a database name, or a read error: the list is not whole.
        EV_ERROR(m_logger, "Failed to read OnDemand SC file %s with error [%d].", path.c_str(), file.getLastError());
        return RefuseOnDemandList(path);
    }
    if (read.empty()) {
        EV_WARN(m_logger, "OSC collect file [%s] is empty", path.c_str());
        return false;
    }
    names.insert(read.begin(), read.end());
    return true;
}

bool CSQLBackup::generateSQLCollectFileForOSCJob(const std::set<std::string>& names) {
    if (names.empty()) {
        EV_ERROR(m_logger, "The Collect file content is empty. There are no databases to be backed up.");
        return false;
    }
    if (!GenerateStreamInfoFile(m_bkpPhase, 0)) return false;
    const std::string path = CollectFilePath();
    EV_INFO(m_logger, "Creating collect file [%s]", path.c_str());
    CsqlDMO sql;
    if (!InitializeCollectConnection(sql)) return false;
    std::set<std::string> sharePointDatabases;
    LoadSharePointSkipSet(sharePointDatabases,
                          "Failed to get sharepoing content databases list (skip list), we are going to backup the sp "
                          "dbs.");
    CSQLClientDll requester;
    std::unordered_map<std::string, bool> pseudoGroups;
    std::vector<std::string> listed;
    for (const std::string& name : names) {
        std::string group;
        if (!sql.isDatabaseExists(name)) {
            EV_WARN(m_logger, "Database [%s] doesn't exist. It will not be included in backup.", name.c_str());
            (void)UpdateSkippedFailedCountAndJobInfo(name,
                                                     "Skipped from backup since database [" + name + "] doesn't exist.",
                                                     kSkipMissing, JobManager::kDBStatusSkippedAtCollect);
        } else if (sharePointDatabases.count(name) != 0) {
            SkipSharePointDatabase(sql, name);
        } else if (isDatabaseAssociatedToAG(name, sql, &requester, pseudoGroups, group)) {
            (void)UpdateSkippedFailedCountAndJobInfo(
                name, "Database [" + name + "] is part of availability group [" + group +
                          "] for which pseudo instance is configured.",
                kSkipPseudoInstance, JobManager::kDBStatusSkippedAtCollect);
        } else {
            EV_INFO(m_logger, "    Adding DB [%s] to collect file", name.c_str());
            listed.push_back(name);
        }
    }
    return WriteListedCollectFile(listed, path, false);
}

bool CSQLBackup::generateSQLFullCollectFileForOSCJob(std::set<std::string> names) {
    const std::string text =
        "The [" + m_backupTypeText +
        "] backup is being converted to FULL because no FULL backup was found for it or a broken log chain is "
        "detected or a change in recovery model from Simple to Full is detected.";
    for (const std::string& name : names) {
        if (!AddConvertedDBToCollectFile(name, JXSQL_BACKUP_FULL)) return false;
        if (!UpdateStatusTabDBInfo(name.c_str(), text.c_str(), JobManager::kDBStatusConverted, 2,
                                   JobManager::kDBPhaseFull)) {
            return false;
        }
    }
    return true;
}
