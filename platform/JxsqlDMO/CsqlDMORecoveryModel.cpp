// CsqlDMO: whether a database's recovery model changed since its last full
// or differential backup. The simulated instance keeps that as a database
// option, set and cleared by whoever changes the model (tests, the demo).
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimDatabaseOptions.h"
#include "JxsqlDMO/SqlSimInstance.h"

bool CsqlDMO::hasRecoveryModelChanged(const std::string& database, bool* failed) {
    if (!m_instance) {
        Fail("hasRecoveryModelChanged", "No SQL Server instance is connected.");
        if (failed != nullptr) *failed = true;
        return false;
    }
    std::string value;
    if (CWzError err = SqlSimGetDatabaseOption(*m_instance, database, kSqlSimOptionRecoveryModelChanged, value);
        err.IsError()) {
        Fail("hasRecoveryModelChanged", err.GetMessage());
        if (failed != nullptr) *failed = true;
        return false;
    }
    return value == "1";
}
