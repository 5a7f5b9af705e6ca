// CsqlDMO: the last restore of a database, from the instance's restore history.
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFormat.h"

bool CsqlDMO::getDBLastRestoreInfo(const std::wstring& database, uint64_t /*nzdstHandling*/, std::string& xml) {
    const std::string name = FXString::ToString(database);
    if (!m_instance) return Fail("getDBLastRestoreInfo", "Not connected to an instance.");
    SimSqlStatement q = m_instance->Db().Prepare(
        "SELECT first_lsn, last_lsn, type, restore_date FROM restore_history WHERE destination_database = ? "
        "ORDER BY id DESC LIMIT 1");
    q.Bind(1, name);
    if (!q.Step()) {
        return Fail("getDBLastRestoreInfo",
                    q.Error().IsError() ? q.Error().GetMessage()
                                        : wz::Format("Database [%s] has no restore history.", name.c_str()));
    }
    SQLPmn::DBLastRestoreInfo info;
    info.setstring(SQLPmn::DBLastRestoreInfo::kText,
                   wz::Format("%s restored at %lld", q.Text(2).c_str(), static_cast<long long>(q.Int(3))));
    info.setstring(SQLPmn::DBLastRestoreInfo::kFirstLsn, std::to_string(q.Int(0)));
    info.setstring(SQLPmn::DBLastRestoreInfo::kLastLsn, std::to_string(q.Int(1)));
    info.serialize(xml);
    return true;
}
