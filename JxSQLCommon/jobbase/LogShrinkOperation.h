// LogShrinkOperation: shrinks the transaction log of one database once every
// precondition rule passes.
#pragma once

#include "JxSQLCommon/jobbase/SQLServerOperation.h"

class LogShrinkOperation : public SQLServerOperation {
public:
    LogShrinkOperation(CsqlDMO* dmo, std::string instance, std::string database)
        : SQLServerOperation("LogShrinkOperation", dmo, std::move(instance), std::move(database)) {}

    // Checks the rules in order; the first that fails stops the walk (later
    // rules are not checked). True with no rules.
    bool canItBePerformed() override;
    // Logs the rules' findings and shrinks the log.
    bool perform() override;
};
