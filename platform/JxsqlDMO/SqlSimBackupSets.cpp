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

CWzError SqlSimRestoreKeepsLogChain(SqlSimInstance& instance, const std::string& database,
                                    const std::string& recoveryModel, uint64_t lastLsn, bool& keeps) {
    keeps = false;
    if (strcasecmp(recoveryModel.c_str(), "FULL") != 0 && strcasecmp(recoveryModel.c_str(), "BULK_LOGGED") != 0) {
        return CWzError::Success();
    }
    SimSqlStatement q =
        instance.Db().Prepare(std::string(kColumns) + "WHERE database_name = ? ORDER BY id DESC LIMIT 1");
    q.Bind(1, database);
    SqlSimBackupSetRow newest;
    bool found = false;
    if (CWzError e = FirstRow(q, newest, found); e.IsError()) return e;
    keeps = found && newest.lastLsn == lastLsn;
    return CWzError::Success();
}
