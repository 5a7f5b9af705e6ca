// CSQLRestoreBase: attaches databases to SQL Server from files left on disk
// (a restore to disk with its snapshot metadata files), and builds the
// attach entry of one restored database.
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "JobResults/RestoreStatus.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzPauseFile.h"

namespace {

constexpr uint64_t kOptionOverwrite = 0x2;
constexpr int kPauseStepMs = 1000;
constexpr int kPauseMaxSteps = 3600;
const char* const kBeforeAttach = "/opt/veltrassa/Pelmanode/BeforeAttach.sleep";

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return wz::Fs().Lstat(path, &st) == 0 && S_ISREG(st.st_mode);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (!folder.empty() && folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::vector<SQLPmn::AttachDB> Entries(const SQLPmn::AttachDBMsg& message) {
    std::vector<SQLPmn::AttachDB> list;
    if (message.isSet(SQLPmn::AttachDBMsg::kDatabases)) {
        (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, list);  // an unreadable list stays empty
    }
    return list;
}

}  // namespace

bool CSQLRestoreBase::getBCDAndWriterXML(std::string folder, std::string& bcdName, std::string& writerName) {
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) return true;
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (name.size() < 4 || name.compare(name.size() - 4, 4, ".xml") != 0) continue;
        EV_DEBUG(m_logger, 2, "File name  [%s].", name.c_str());
        if (!IsRegularFile(JoinPath(folder, name))) continue;
        if (Contains(name, "_BCD.xml") || Contains(name, "-bcd.xml")) {
            bcdName = name;
        } else if (Contains(name, "_WRT.xml") || Contains(name, "-writer.xml")) {
            writerName = name;
        }
    }
    return true;
}

bool CSQLRestoreBase::getDBInfoFromMetadata(std::string bcdPath, std::string writerPath, std::string folder,
                                            SQLPmn::AttachDBMsg& message,
                                            const std::map<std::string, SqlSMVolInfo>&) {
    if (m_sServername.empty()) {
        EV_ERROR(m_logger, "No SQL Server instance to attach the databases of [%s] to.", bcdPath.c_str());
        return false;
    }
    SQLPmn::AttachDBMsg read;
    if (!getAttachMsgFromMetadata(bcdPath, writerPath, read, folder)) return false;
    std::vector<SQLPmn::AttachDB> entries = Entries(read);
    for (SQLPmn::AttachDB& entry : entries) {
        const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
        std::vector<std::string> files = entry.getliststring(SQLPmn::AttachDB::kFilePaths);
        // A restore to disk writes the files into the folder beside the
        // metadata: those copies are the ones to attach.
        for (std::string& file : files) {
            const std::string local = JoinPath(folder, BaseName(file));
            if (!folder.empty() && IsRegularFile(local)) file = local;
        }
        entry.setstring(SQLPmn::AttachDB::kSourceName, name);
        entry.setliststring(SQLPmn::AttachDB::kFilePaths, files);
    }
    message.setstring(SQLPmn::AttachDBMsg::kInstanceName, m_sServername);
    for (const SQLPmn::AttachDB& entry : entries) message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
    return true;
}

bool CSQLRestoreBase::attachToSQLServer() {
    std::string bcd, writer;
    (void)getBCDAndWriterXML(m_dumpLocation, bcd, writer);  // always true; a name not found stays empty
    const std::string bcdPath = JoinPath(m_dumpLocation, bcd);
    const std::string writerPath = JoinPath(m_dumpLocation, writer);
    EV_DEBUG(m_logger, 2, "BCD File = [%s] WRT File = [%s]", bcdPath.c_str(), writerPath.c_str());

    SQLPmn::AttachDBMsg message;
    const std::map<std::string, SqlSMVolInfo> volumes;
    if (!getDBInfoFromMetadata(bcdPath, writerPath, m_dumpLocation, message, volumes)) {
        EV_DEBUG(m_logger, 1, "getDBInfoFromMetadata failed");
        return false;
    }
    std::string text;
    if (message.serialize(text) != kMsgOk) {
        EV_ERROR(m_logger, "Failed to serialize the attach message object");
        return false;
    }
    const std::string instance = message.getstring(SQLPmn::AttachDBMsg::kInstanceName);
    const std::vector<SQLPmn::AttachDB> entries = Entries(message);
    CsqlDMO sql;

    // Databases the overwrite pass detached, with the files they had, so a
    // failed attach can put the old database back.
    std::map<std::string, std::vector<std::string>> detached;
    if ((m_restoreOptions.optionFlags & kOptionOverwrite) != 0) {
        int count = 0;
        for (const SQLPmn::AttachDB& entry : entries) {
            const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
            std::vector<std::string> oldFiles;
            std::string error;
            const bool existed = sql.getDatabaseFilePaths(instance, name, oldFiles, error);
            if (!sql.DetachDB(instance, name, error)) {
                EV_ERROR(m_logger, "Failed to detach database [%s] from SQL Server [%s] with error [%s].",
                         name.c_str(), instance.c_str(), error.c_str());
                continue;
            }
            ++count;
            if (existed && !oldFiles.empty()) detached[name] = oldFiles;
        }
        if (count == 0) {
            EV_ERROR(m_logger, "Detach did not succeed even for one database.");
            if (m_pRstJobClnt) m_pRstJobClnt->InfoEvent(kEventNothingDetached);
            return false;
        }
    }

    EV_DEBUG(m_logger, 2, "Starting to attach databases, Msg [%s]...", text.c_str());
    (void)wz::WaitWhilePauseFile(kBeforeAttach, kPauseStepMs, kPauseMaxSteps);  // bounded; goes on either way
    int attached = 0;
    for (const SQLPmn::AttachDB& entry : entries) {
        const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
        std::string entryText, error;
        bool ok = false;
        if (entry.serialize(entryText) != kMsgOk) {
            EV_ERROR(m_logger, "Failed to serialize SQLPmn::AttachDB message for DBMsg [%s]", entryText.c_str());
        } else if (!sql.AttachDatabase(instance, entryText, error)) {
            EV_ERROR(m_logger, "Failed to Attach database [%s] on SQL Server [%s] with error [%s].", name.c_str(),
                     instance.c_str(), error.c_str());
        } else {
            ok = true;
            ++attached;
        }
        if (ok) continue;
        // Each failed database is reported and recorded on its own.
        SetRestoreStatus(name, RESTORE_STATUS_FAILED);
        if (m_pRstJobClnt) {
            *m_pRstJobClnt << name.c_str();
            m_pRstJobClnt->InfoEvent(kEventAttachFailed);
        }
        auto old = detached.find(name);
        if (old != detached.end()) {
            SQLPmn::AttachDB back;
            back.setstring(SQLPmn::AttachDB::kAttachName, name);
            back.setstring(SQLPmn::AttachDB::kSourceName, name);
            back.setliststring(SQLPmn::AttachDB::kFilePaths, old->second);
            std::string backText, backError;
            if (back.serialize(backText) != kMsgOk || !sql.AttachDatabase(instance, backText, backError)) {
                EV_ERROR(m_logger, "Failed to attach database [%s] back to SQL Server [%s] with error [%s].",
                         name.c_str(), instance.c_str(), backError.c_str());
            } else {
                EV_INFO(m_logger, "Attached database [%s] back with its earlier files.", name.c_str());
            }
        }
    }
    const bool result = attached > 0;
    if (!result) {
        EV_ERROR(m_logger, "Attach failed for all the database.");
    } else {
        EV_DEBUG(m_logger, 1, "Attached databases successfully.");
    }
    (void)wz::WaitWhilePauseFile(kBeforeAttach, kPauseStepMs, kPauseMaxSteps);  // bounded; goes on either way

    // Only metadata files that were found are removed: a name not found
    // leaves a path that is the dump location itself.
    for (const std::string* name : {&bcd, &writer}) {
        if (name->empty()) continue;
        const std::string path = JoinPath(m_dumpLocation, *name);
        if (IsRegularFile(path) && wz::Fs().Unlink(path) != 0) EV_WARN(m_logger, "Failed to remove [%s].", path.c_str());
    }
    return result;
}

bool CSQLRestoreBase::getAttachMessageForDB(SqlRestoreDbInfo_t db, std::string& xml) {
    SQLPmn::AttachDB entry;
    entry.setstring(SQLPmn::AttachDB::kAttachName, db.newDbName.empty() ? db.sDbName : db.newDbName);
    entry.setstring(SQLPmn::AttachDB::kSourceName, db.sDbName);
    entry.setliststring(SQLPmn::AttachDB::kFilePaths, std::vector<std::string>(db.newFiles.begin(), db.newFiles.end()));
    xml.clear();
    if (int rc = entry.serialize(xml); rc != kMsgOk) {
        EV_ERROR(m_logger, "Failed to serialize the attach message object with error [%d].", rc);
        return false;
    }
    return true;
}
