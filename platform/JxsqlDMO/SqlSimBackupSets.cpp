// The backup history read back for restores.
#include "JxsqlDMO/SqlSimBackupSets.h"

#include <strings.h>

#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kColumns = "SELECT id, database_name, last_lsn, finish_time FROM backup_history ";

CWzError FirstRow(SimSqlStatement& q, SqlSimBackupSetRow& row, bool& found) {
    found = q.Step();
    if (found) {
        row.id = q.Int(0);
        row.database = q.Text(1);
        row.lastLsn = static_cast<uint64_t>(q.Int(2));
        row.finishTime = q.Int(3);
    }
    return q.Error();
}

}  // namespace

std::string SqlSimBackupDevice(uint64_t backupSetId) {
    return wz::Format("JxSQLVDI_%016llx", static_cast<unsigned long long>(backupSetId));
}

CWzError SqlSimFindBackupSet(SqlSimInstance& instance, const std::string& device, SqlSimBackupSetRow& row,
                             bool& found) {
    SimSqlStatement q = instance.Db().Prepare(std::string(kColumns) + "WHERE device = ? ORDER BY id DESC LIMIT 1");
    q.Bind(1, device);
    return FirstRow(q, row, found);
}

CWzError SqlSimNewestBackupSet(SqlSimInstance& instance, const std::string& database, SqlSimBackupSetRow& row,
                               bool& found) {
    SimSqlStatement q =
        instance.Db().Prepare(std::string(kColumns) + "WHERE database_name = ? ORDER BY id DESC LIMIT 1");
    q.Bind(1, database);
    return FirstRow(q, row, found);
}

CWzError SqlSimIsNewestBackupSet(SqlSimInstance& instance, const SqlSimBackupSetRow& row, bool& newest) {
    newest = false;
    SimSqlStatement q = instance.Db().Prepare(
        "SELECT COUNT(*) FROM backup_history WHERE database_name = ? AND id > ? AND last_lsn > ?");
    q.Bind(1, row.database).Bind(2, row.id).Bind(3, static_cast<int64_t>(row.lastLsn));
    if (!q.Step()) return q.Error();
    newest = q.Int(0) == 0;
    return CWzError::Success();
}

bool SqlSimModelKeepsLogChain(const std::string& recoveryModel) {
    return strcasecmp(recoveryModel.c_str(), "FULL") == 0 || strcasecmp(recoveryModel.c_str(), "BULK_LOGGED") == 0;
}
