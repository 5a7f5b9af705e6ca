// SQLServerRule: the message and answer of a SQL Server condition.
#include "JxSQLCommon/jobbase/SQLServerRule.h"

#include "WzUtils/WzFormat.h"

bool SQLServerRule::ConditionResult(const char* what, bool found, bool failed) {
    if (failed) {
        setLogMessage(wz::Format("%s could not be made for database [%s] of instance [%s].", what,
                                 databaseName().c_str(), instanceName().c_str()));
        return false;
    }
    setLogMessage(wz::Format("%s status [%s] for database [%s] of instance [%s].", what, found ? "TRUE" : "FALSE",
                             databaseName().c_str(), instanceName().c_str()));
    return Answer(found);
}
