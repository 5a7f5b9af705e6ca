// CsqlDMO operations of the database status update and the log staging of an
// availability-group secondary.
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

bool CsqlDMO::AGTLBackupStaging(const std::string& instanceName, const std::string& group, unsigned long instanceId,
                                unsigned long clientId, const std::string&, const std::string&, uint64_t, uint64_t,
                                std::string& errorText) {
    // A failed connection keeps the caller's text; getErrorString() has the reason.
    if (!Connect(instanceName)) return false;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT 1 FROM ag_replicas WHERE ag_name = ?");
    q.Bind(1, group);
    if (!q.Step()) {
        errorText = q.Error().IsError() ? q.Error().GetMessage()
                                        : wz::Format("Availability group [%s] has no replica on instance [%s].",
                                                     group.c_str(), instanceName.c_str());
        return Fail("AGTLBackupStaging", errorText);
    }
    m_log.Debug("AGTLBackupStaging", "Staged log backup of group [%s] for instance id [%lu] of client [%lu].",
                group.c_str(), instanceId, clientId);
    return true;
}
