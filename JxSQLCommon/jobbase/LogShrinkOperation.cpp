// LogShrinkOperation: rule walk and the shrink.
#include "JxSQLCommon/jobbase/LogShrinkOperation.h"

#include "JxsqlDMO/CsqlDMO.h"

bool LogShrinkOperation::canItBePerformed() {
    EV_DEBUG(m_logger, 3, "Number of rules to be checked [%d].", static_cast<int>(m_rules.size()));
    for (const SP<SQLServerRule>& rule : m_rules) {
        if (!rule->check()) return false;
    }
    return true;
}

bool LogShrinkOperation::perform() {
    dumpRules(true);
    if (m_dmo == nullptr || !m_dmo->RunShrinkDatabaseQuery(m_instance, m_database)) {
        EV_ERROR(m_logger, "Failed to run shrink operation on database [%s].", m_database.c_str());
        return false;
    }
    return true;
}
