// Log marks of the simulated instances and CsqlDMO::getLogMarkInfo.
#include "JxSQLCommon/records/SqlCentralServerRecords.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SimSqlDb.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimLogMarks.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzRecordMemory.h"

CWzError SqlSimEnsureLogMarks(SimSqlDb& db) {
    return db.Exec(
        "CREATE TABLE IF NOT EXISTS log_marks (database_id INTEGER NOT NULL, mark_name TEXT NOT NULL, "
        "description TEXT NOT NULL, lsn TEXT NOT NULL, mark_time TEXT NOT NULL, value INTEGER NOT NULL)");
}

CWzError SqlSimAddLogMark(SqlSimInstance& instance, const SqlSimLogMarkSpec& desc) {
    int64_t id = 0;
    if (CWzError e = instance.DatabaseId(desc.database, id); e.IsError()) return e;
    if (CWzError e = SqlSimEnsureLogMarks(instance.Db()); e.IsError()) return e;
    SimSqlStatement add = instance.Db().Prepare(
        "INSERT INTO log_marks (database_id, mark_name, description, lsn, mark_time, value) "
        "SELECT ?, ?, ?, ?, ?, CASE WHEN ? > 0 THEN ? ELSE COALESCE(MAX(value), 0) + 1 END FROM log_marks");
    add.Bind(1, id).Bind(2, desc.markName).Bind(3, desc.description).Bind(4, desc.lsn).Bind(5, desc.markTime);
    add.Bind(6, desc.value).Bind(7, desc.value);
    return add.Run();
}

CWzError SqlSimDisownLogMarks(SqlSimInstance& instance, int64_t id) {
    if (CWzError e = SqlSimEnsureLogMarks(instance.Db()); e.IsError()) return e;
    return instance.Db().Prepare("UPDATE log_marks SET database_id = 0 WHERE database_id = ?").Bind(1, id).Run();
}

bool CsqlDMO::getLogMarkInfo(std::string instance, std::string database, long lastMarkValue,
                             std::string lastMarkText, SQLLogMarkUpdateReq_t& request) {
    if (!Connect(instance)) return false;
    int64_t id = 0;
    if (CWzError e = m_instance->DatabaseId(database, id); e.IsError()) return Fail("getLogMarkInfo", e.GetMessage());
    if (CWzError e = SqlSimEnsureLogMarks(m_instance->Db()); e.IsError()) {
        return Fail("getLogMarkInfo", e.GetMessage());
    }
    EV_DEBUG(m_log, 3, "Log marks of [%s] on [%s] after [%s] (%ld).", database.c_str(), instance.c_str(),
             lastMarkText.c_str(), lastMarkValue);
    auto query = [&](const char* sql) {
        SimSqlStatement q = m_instance->Db().Prepare(sql);
        q.Bind(1, id).Bind(2, static_cast<int64_t>(lastMarkValue));
        return q;
    };
    SimSqlStatement count = query("SELECT COUNT(*) FROM log_marks WHERE database_id = ? AND value > ?");
    if (!count.Step()) return Fail("getLogMarkInfo", count.Error().GetMessage());
    request.marks = wz::NewRecordArray<SQLLogMarkInfo_t>(static_cast<size_t>(count.Int(0)));
    request.count = static_cast<uint32_t>(count.Int(0));
    SimSqlStatement rows = query(
        "SELECT mark_name, description, lsn, mark_time, value FROM log_marks WHERE database_id = ? AND value > ? "
        "ORDER BY value");
    uint32_t filled = 0;
    while (filled < request.count && rows.Step()) {
        SQLLogMarkInfo_t& mark = request.marks[filled++];
        mark.markName = wz::CopyText(rows.Text(0));
        mark.description = wz::CopyText(rows.Text(1));
        mark.lsn = wz::CopyText(rows.Text(2));
        mark.markTime = wz::CopyText(rows.Text(3));
        mark.value = rows.Int(4);
    }
    request.count = filled;
    if (rows.Error().IsError()) return Fail("getLogMarkInfo", rows.Error().GetMessage());
    return true;
}
