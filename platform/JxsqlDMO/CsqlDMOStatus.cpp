// CsqlDMO: the database status update.
#include "JxsqlDMO/CsqlDMO.h"

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFormat.h"

bool CsqlDMO::updateDatabaseStatus(std::wstring instanceName, std::string databaseName, int operation) {
    if (SqlDbStateText(operation).empty()) {
        return Fail("updateDatabaseStatus", wz::Format("Unknown database status operation [%d].", operation));
    }
    if (!Connect(FXString::ToString(instanceName))) return false;
    CWzError err = m_instance->SetDatabaseState(databaseName, operation);
    if (err.IsError()) return Fail("updateDatabaseStatus", err.GetMessage());
    return true;
}
