// SQLServerOperation: an operation on one database of a SQL Server instance
// that may run only when all its rules pass.
//
// Rules are checked in the order they were added; the caller asks
// canItBePerformed() and, when it answers true, calls perform() (which does
// not check again). dumpRules logs what each checked rule found.
#pragma once

#include <string>
#include <vector>

#include "JXAppMgr/SPEnabled.h"
#include "JxLib/EvDebug.h"
#include "JxSQLCommon/jobbase/SQLServerRule.h"

class CsqlDMO;

class SQLServerOperation : public SPEnabled {
public:
    SQLServerOperation(std::string name, CsqlDMO* dmo, std::string instance, std::string database);
    ~SQLServerOperation() override = default;

    virtual bool canItBePerformed() = 0;
    virtual bool perform() = 0;

    void addRule(SP<SQLServerRule> rule) { m_rules.push_back(std::move(rule)); }
    // Logs the message of every rule that left one, at debug level 3 when
    // `detailed`, as a plain debug line otherwise.
    void dumpRules(bool detailed);

    const std::string& getName() const { return m_name; }
    const std::string& getInstanceName() const { return m_instance; }
    const std::string& getDatabaseName() const { return m_database; }

protected:
    std::vector<SP<SQLServerRule>> m_rules;
    std::string m_name;
    CsqlDMO* m_dmo;
    std::string m_instance;
    std::string m_database;
    std::string m_text;
    EvDebug m_logger;
};
