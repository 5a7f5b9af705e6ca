// SQLServerOperation: rules and their log lines.
#include "JxSQLCommon/jobbase/SQLServerOperation.h"

SQLServerOperation::SQLServerOperation(std::string name, CsqlDMO* dmo, std::string instance, std::string database)
    : m_name(std::move(name)),
      m_dmo(dmo),
      m_instance(std::move(instance)),
      m_database(std::move(database)),
      m_logger("JxSQLCommon") {}

void SQLServerOperation::dumpRules(bool detailed) {
    for (const SP<SQLServerRule>& rule : m_rules) {
        std::string message = rule->getLogMessage();
        if (message.empty()) continue;
        if (detailed) {
            EV_DEBUG(m_logger, 3, "%s", message.c_str());
        } else {
            m_logger.debug("%s", message.c_str());
        }
    }
}
