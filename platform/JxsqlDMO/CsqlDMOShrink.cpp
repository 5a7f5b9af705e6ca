// CsqlDMO over the simulated instances: the conditions that guard a log
// shrink (recovery model, read-only, open transactions, log space) and the
// shrink itself.
#include <strings.h>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlLogSpaceReport.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimLog.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr uint64_t kBytesPerMB = 1024 * 1024;

bool SetFailed(bool* failed) {
    if (failed != nullptr) *failed = true;
    return false;
}

// One column of a database's catalogue row, as text.
CWzError DatabaseColumn(SqlSimInstance& instance, const char* column, const std::string& database, std::string& value) {
    SimSqlStatement q = instance.Db().Prepare(std::string("SELECT ") + column + " FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (q.Step()) {
        value = q.Text(0);
        return CWzError::Success();
    }
    if (q.Error().IsError()) return q.Error();
    return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "Database [%s] does not exist.", database.c_str());
}

}  // namespace

bool CsqlDMO::isRecoveryModelSimple(const std::string& database, bool* failed) {
    if (!m_instance) {
        Fail("isRecoveryModelSimple", "No SQL Server instance is connected.");
        return SetFailed(failed);
    }
    std::string model;
    CWzError err = DatabaseColumn(*m_instance, "recovery_model", database, model);
    if (err.IsError()) {
        Fail("isRecoveryModelSimple", err.GetMessage());
        return SetFailed(failed);
    }
    return strcasecmp(model.c_str(), "SIMPLE") == 0;
}

bool CsqlDMO::isReadOnly(const std::string& instance, const std::string& database, bool* failed) {
    if (!Connect(instance)) return SetFailed(failed);
    std::string readOnly;
    CWzError err = DatabaseColumn(*m_instance, "read_only", database, readOnly);
    if (err.IsError()) {
        Fail("isReadOnly", err.GetMessage());
        return SetFailed(failed);
    }
    return readOnly != "0";
}

bool CsqlDMO::isThereAnyOpenTransaction(const std::string& instance, const std::string& database, bool* failed) {
    if (!Connect(instance)) return SetFailed(failed);
    SqlSimLogSpace space;
    CWzError err = SqlSimLog(*m_instance).Space(database, space);
    if (err.IsError()) {
        Fail("isThereAnyOpenTransaction", err.GetMessage());
        return SetFailed(failed);
    }
    return space.openTransactions > 0;
}

bool CsqlDMO::getLogSpaceReport(const std::string& instance, CNMessageBase& report) {
    if (!Connect(instance)) return false;
    std::vector<SqlSimLogSpace> spaces;
    CWzError err = SqlSimLog(*m_instance).AllSpaces(spaces);
    if (err.IsError()) return Fail("getLogSpaceReport", err.GetMessage());
    std::vector<CNMessageBase> entries;
    for (const SqlSimLogSpace& space : spaces) {
        SqlLogSpaceEntry entry;
        entry.setstring(SqlLogSpaceEntry::kDatabaseName, space.database);
        entry.setint64(SqlLogSpaceEntry::kLogSizeMB, static_cast<int64_t>(space.sizeBytes / kBytesPerMB));
        uint64_t percent = space.sizeBytes == 0 ? 0 : (space.usedBytes * 100 + space.sizeBytes - 1) / space.sizeBytes;
        entry.setint64(SqlLogSpaceEntry::kUsedPercent, static_cast<int64_t>(percent));
        entries.push_back(std::move(entry));
    }
    report.setlistobject(SqlLogSpaceReport::kEntries.id, SqlLogSpaceReport::kEntries.member, std::move(entries));
    return true;
}

bool CsqlDMO::RunShrinkDatabaseQuery(const std::string& instance, const std::string& database) {
    if (!Connect(instance)) return false;
    uint64_t size = 0;
    CWzError err = SqlSimLog(*m_instance).Shrink(database, size);
    if (err.IsError()) return Fail("RunShrinkDatabaseQuery", err.GetMessage());
    m_log.Debug("RunShrinkDatabaseQuery", "Log of database [%s] of instance [%s] is now %llu bytes.", database.c_str(),
                instance.c_str(), static_cast<unsigned long long>(size));
    return true;
}
