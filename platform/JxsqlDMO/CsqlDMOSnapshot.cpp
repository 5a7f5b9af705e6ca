// CsqlDMO for snapshot backups: the history row a snapshot recorded as
// backup metadata, and the detach and consistency check that the integrity
// check of a snapshot copy runs.
#include <sys/stat.h>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimDatabaseHold.h"
#include "JxsqlDMO/SqlSimDatabaseIds.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimRecoveryPath.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr int64_t kPageSize = 8192;
constexpr int kFileLog = 1;

}  // namespace

bool CsqlDMO::updateBackupSetInfo_10(const std::wstring& wideDatabase, std::string& xml, char type) {
    xml.clear();
    if (!m_instance) return Fail("updateBackupSetInfo_10", "No SQL Server instance is connected.");
    const std::string database = FXString::ToString(wideDatabase);
    SimSqlDb& db = m_instance->Db();
    using Info = SQLPmn::SQLDBBackupInfo;
    Info info;
    int64_t historyId = 0;
    int64_t databaseId = 0;
    {
        // The row is read whole and let go before the recovery path is read,
        // which may make its table: a read left open would keep that write
        // from waiting for another statement's commit.
        SimSqlStatement row = db.Prepare(
            "SELECT h.first_lsn, h.last_lsn, h.checkpoint_lsn, h.database_backup_lsn, h.start_time, h.finish_time, "
            "h.id, d.id FROM backup_history h JOIN databases d ON d.name = h.database_name "
            "WHERE h.database_name = ? AND h.type = ? ORDER BY h.id DESC LIMIT 1");
        row.Bind(1, database).Bind(2, std::string(1, type));
        if (!row.Step()) {
            return Fail("updateBackupSetInfo_10",
                        row.Error().IsError() ? row.Error().GetMessage()
                                              : wz::Format("No backup of type [%c] of database [%s] in the history.",
                                                           type, database.c_str()));
        }
        info.setstring(Info::kDatabaseName, database);
        info.setstring(Info::kFirstLsn, std::to_string(row.Int(0)));
        info.setstring(Info::kLastLsn, std::to_string(row.Int(1)));
        info.setstring(Info::kCheckpointLsn, std::to_string(row.Int(2)));
        info.setstring(Info::kDatabaseBackupLsn, std::to_string(row.Int(3)));
        info.setstring(Info::kBackupType, std::string(1, type));
        info.setint64(Info::kBackupStartDate, row.Int(4));
        info.setint64(Info::kBackupFinishDate, row.Int(5));
        historyId = row.Int(6);
        databaseId = row.Int(7);
    }
    info.setint64(Info::kValue64, historyId);
    info.setint64(Info::kDatabaseId, databaseId);
    SqlSimRecoveryPath path;
    if (CWzError e = SqlSimBackupRecoveryPath(*m_instance, historyId, path); e.IsError()) {
        return Fail("updateBackupSetInfo_10", e.GetMessage());
    }
    SqlSimPutRecoveryPath(info, path);
    SQLPmn::SQLDBBackupMetadata metadata;
    metadata.addlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, info);
    SimSqlStatement files = db.Prepare(
        "SELECT f.id, f.type, f.size, f.logical_name, f.physical_path, COALESCE(g.name, '') FROM files f "
        "LEFT JOIN filegroups g ON g.database_id = f.database_id AND g.id = f.filegroup_id "
        "WHERE f.database_id = ? ORDER BY f.id");
    files.Bind(1, databaseId);
    while (files.Step()) {
        using F = SQLPmn::SQLFileBackupInfo;
        F file;
        file.setint64(F::kFileNumber, files.Int(0));
        file.setint64(F::kFileType, files.Int(1));
        file.setint64(F::kFileSize, files.Int(2));
        file.setstring(F::kLogicalName, files.Text(3));
        file.setstring(F::kPhysicalName, files.Text(4));
        file.setstring(F::kFilegroupName, files.Text(5));
        metadata.addlistobject(SQLPmn::SQLDBBackupMetadata::kFiles, file);
    }
    if (files.Error().IsError()) return Fail("updateBackupSetInfo_10", files.Error().GetMessage());
    if (metadata.serialize(xml) != kMsgOk) {
        xml.clear();
        return Fail("updateBackupSetInfo_10", "The backup metadata cannot be serialized.");
    }
    return true;
}

bool CsqlDMO::DetachDB(const std::string& instance, const std::string& database, std::string& errorText) {
    auto fail = [&](const std::string& text) {
        errorText = text;
        return Fail("DetachDB", text);
    };
    if (!Connect(instance)) return fail(m_lastError);
    // Held from before the id is read until the catalogue change commits: a
    // backup or restore of the database that runs refuses the detach at once.
    SqlSimDatabaseHold hold;
    if (!HoldExclusively("DetachDB", database, SqlSimDatabaseHold::DetachInUseText(database), hold)) {
        errorText = m_lastError;
        return false;
    }
    int64_t id = 0;
    if (m_instance->DatabaseId(database, id).IsError()) return true;  // nothing to detach
    if (id <= 4) return fail(wz::Format("Database [%s] is a system database and cannot be detached.", database.c_str()));
    SimSqlDb& db = m_instance->Db();
    CWzError err = db.Exec("BEGIN IMMEDIATE");
    if (err.IsError()) return fail(err.GetMessage());
    if (err = SqlSimRemoveDatabase(*m_instance, id, database); err.IsError()) {
        (void)db.Exec("ROLLBACK");  // the failure before it is the one reported
        return fail(err.GetMessage());
    }
    if (err = db.Exec("COMMIT"); err.IsError()) {
        (void)db.Exec("ROLLBACK");  // the failed commit is the one reported
        return fail(err.GetMessage());
    }
    return true;
}

bool CsqlDMO::runDBCCCheck(const std::string& database, std::string& errorText) {
    auto fail = [&](const std::string& text) {
        errorText = text;
        return Fail("runDBCCCheck", text);
    };
    if (!m_instance) return fail("No SQL Server instance is connected.");
    int64_t id = 0;
    if (m_instance->DatabaseId(database, id).IsError()) {
        return fail(wz::Format("Database [%s] does not exist.", database.c_str()));
    }
    SimSqlStatement files =
        m_instance->Db().Prepare("SELECT physical_path, type, size FROM files WHERE database_id = ? ORDER BY id");
    files.Bind(1, id);
    int count = 0;
    while (files.Step()) {
        ++count;
        const std::string path = files.Text(0);
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            return fail(wz::Format("File [%s] of database [%s] cannot be read.", path.c_str(), database.c_str()));
        }
        if (st.st_size != files.Int(2) || (files.Int(1) != kFileLog && st.st_size % kPageSize != 0)) {
            return fail(wz::Format("File [%s] of database [%s] is damaged: [%lld] bytes.", path.c_str(),
                                   database.c_str(), static_cast<long long>(st.st_size)));
        }
    }
    if (files.Error().IsError()) return fail(files.Error().GetMessage());
    if (count == 0) return fail(wz::Format("Database [%s] has no files.", database.c_str()));
    return true;
}
