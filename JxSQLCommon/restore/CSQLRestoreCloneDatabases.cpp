// CSQLRestoreBase: the databases of a clone or test environment on the
// destination instance: the overwrite pass that makes room for them, putting
// back what it took when the clone fails, and what is recorded once they
// are attached.
#include <string>
#include <vector>

#include "JobResults/RestoreStatus.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/CloneResultCodes.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

// True when `path` lies below the directory `folder`.
bool IsUnder(const std::string& path, std::string folder) {
    if (folder.empty()) return false;
    if (folder.back() != '/') folder += '/';
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0;
}

std::vector<SQLPmn::AttachDB> Entries(const SQLPmn::AttachDBMsg& message) {
    std::vector<SQLPmn::AttachDB> entries;
    (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries);  // an unreadable list stays empty
    return entries;
}

}  // namespace

CWzError CSQLRestoreBase::DetachOverwrittenClones(CsqlDMO& dmo, const SQLPmn::AttachDBMsg& request) {
    const std::string instance = request.getstring(SQLPmn::AttachDBMsg::kInstanceName);
    SQLPmn::AttachDBMsg detach;
    detach.setstring(SQLPmn::AttachDBMsg::kInstanceName, instance);
    std::map<std::string, std::vector<std::string>> taken;
    for (const SQLPmn::AttachDB& entry : Entries(request)) {
        const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
        std::vector<std::string> files;
        std::string error;
        if (!dmo.getDatabaseFilePaths(instance, name, files, error)) continue;  // not there: nothing to make room for
        // Only an earlier clone under this clone's mount path makes room; a
        // database of that name anywhere else is a live one and stays.
        bool ours = !files.empty();
        for (const std::string& file : files) ours = ours && IsUnder(file, m_cloneMountPath);
        if (!ours) {
            EV_ERROR(m_logger, "Database [%s] on [%s] does not lie under the clone mount path [%s]; it is not overwritten.",
                     name.c_str(), instance.c_str(), m_cloneMountPath.c_str());
            return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneDetachFailed,
                                              "Failed to detach databases with error [%s].",
                                              ("database " + name + " lies outside the clone mount path").c_str());
        }
        taken[name] = files;
        detach.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
    }
    if (taken.empty()) return CWzError::Success();
    std::string xml, error;
    if (detach.serialize(xml, false) != kMsgOk || !dmo.DetachDB(xml, error)) {
        return FXErrorUtil::ErrorJXResult(FXCODELOC, kCloneDetachFailed, "Failed to detach databases with error [%s].",
                                          error.c_str());
    }
    for (auto& [name, files] : taken) m_cloneDetachedDatabases[name] = files;
    return CWzError::Success();
}

void CSQLRestoreBase::AttachBackOverwrittenClones(CsqlDMO& dmo, const std::string& instance) {
    for (const auto& [name, files] : m_cloneDetachedDatabases) {
        SQLPmn::AttachDB back;
        back.setstring(SQLPmn::AttachDB::kAttachName, name);
        back.setstring(SQLPmn::AttachDB::kSourceName, name);
        back.setliststring(SQLPmn::AttachDB::kFilePaths, files);
        std::string text, error;
        if (back.serialize(text) != kMsgOk || !dmo.AttachDatabase(instance, text, error)) {
            EV_ERROR(m_logger, "Failed to attach database [%s] back to SQL Server [%s] with error [%s].", name.c_str(),
                     instance.c_str(), error.c_str());
        } else {
            EV_INFO(m_logger, "Attached database [%s] back with its earlier files.", name.c_str());
        }
    }
    m_cloneDetachedDatabases.clear();
}

void CSQLRestoreBase::RecordAttachedClones(SQLPmn::AttachDBMsg& message, bool recoveryPoint) {
    const std::vector<SQLPmn::AttachDB> entries = Entries(message);
    m_restoredDbCount = entries.size();
    if (!recoveryPoint) {
        for (const SQLPmn::AttachDB& entry : entries) {
            SetRestoreStatus(entry.getstring(SQLPmn::AttachDB::kAttachName), RESTORE_STATUS_RESTORED);
        }
    }
    (void)addClonedDBsToDonotBackupSC(message);  // a failure is reported to the user by the call itself
}
