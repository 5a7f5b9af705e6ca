// SQLServerRule: one precondition of an operation on a database of a SQL
// Server instance (for example "the log may be shrunk only when the database
// is not read-only").
//
// check() asks SQL Server, a log-space report or the job's task, marks the
// rule as checked and leaves one line of text saying what it found
// (getLogMessage). Rules that apply the negate flag answer the opposite of
// their condition, so "is read-only" negated means "must not be read-only".
// Rules are counted objects, held by SP where they are shared.
#pragma once

#include <string>
#include <utility>

#include "JXAppMgr/SPEnabled.h"

// The database a rule is about.
struct SQLServerDbIdentity {
    std::string databaseName;
    std::string instanceName;
};

class SQLServerRule : public SPEnabled {
public:
    explicit SQLServerRule(SQLServerDbIdentity identity, bool negate = false)
        : m_identity(std::move(identity)), m_negate(negate) {}
    ~SQLServerRule() override = default;

    // True when the rule lets the operation go ahead.
    virtual bool check() = 0;

    std::string getLogMessage() const { return m_logMessage; }
    void setLogMessage(std::string message) { m_logMessage = std::move(message); }
    void setRuleChecked() { m_checked = true; }
    bool DidRuleChecked() const { return m_checked; }
    bool isNegated() const { return m_negate; }

protected:
    const std::string& databaseName() const { return m_identity.databaseName; }
    const std::string& instanceName() const { return m_identity.instanceName; }
    // The condition, inverted when the negate flag is set.
    bool Answer(bool condition) const { return m_negate ? !condition : condition; }
    // Leaves the message of a SQL Server condition ("<what> status [TRUE]
    // for database ...") and gives the answer; a condition that could not be
    // read gives false whatever the negate flag says.
    bool ConditionResult(const char* what, bool found, bool failed);

    std::string m_text;
    std::string m_logMessage;
    SQLServerDbIdentity m_identity;
    bool m_checked = false;
    bool m_negate;
};
