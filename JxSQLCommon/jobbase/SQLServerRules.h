// The preconditions of a log shrink, one SQLServerRule each.
//
// The three SQL Server conditions (simple recovery, read-only, open
// transaction) answer their condition, or its opposite when built with
// negate; a condition that cannot be read answers false whatever the negate
// flag says, so a failed query never lets an operation through. The SQL
// library object must be connected to the instance (CsqlDMO::initialize)
// before SimpleRecoveryRule is checked.
//
// The two log-space rules read the database's entry of a log-space report
// (CsqlDMO::getLogSpaceReport) and compare with a threshold, taken from the
// job's task when the rule was built with 0. DoesLogShrinkRuleEnabled reads
// the task's log-shrink switch once and keeps it.
//
// The SQL library object, the report and the task are not owned; they must
// outlive the rule's checks.
#pragma once

#include <cstdint>

#include "JxSQLCommon/jobbase/SQLServerRule.h"

class CNMessageBase;
class CsqlDMO;
class EvTask;

class SimpleRecoveryRule : public SQLServerRule {
public:
    SimpleRecoveryRule(SQLServerDbIdentity identity, CsqlDMO* dmo, bool negate)
        : SQLServerRule(std::move(identity), negate), m_dmo(dmo) {}
    bool check() override;

private:
    CsqlDMO* m_dmo;
};

class ReadOnlyDatabaseRule : public SQLServerRule {
public:
    ReadOnlyDatabaseRule(SQLServerDbIdentity identity, CsqlDMO* dmo, bool negate)
        : SQLServerRule(std::move(identity), negate), m_dmo(dmo) {}
    bool check() override;

private:
    CsqlDMO* m_dmo;
};

class IsAnyOpenTransactionRule : public SQLServerRule {
public:
    IsAnyOpenTransactionRule(SQLServerDbIdentity identity, CsqlDMO* dmo, bool negate)
        : SQLServerRule(std::move(identity), negate), m_dmo(dmo) {}
    bool check() override;

private:
    CsqlDMO* m_dmo;
};

// The log is larger than the threshold (task option 461034927 when built
// with 0). Strictly larger: a log of exactly the threshold does not pass.
class LogFileSizeGTGivenMBRule : public SQLServerRule {
public:
    static constexpr unsigned long kThresholdOption = 461034927;

    LogFileSizeGTGivenMBRule(SQLServerDbIdentity identity, const CNMessageBase* report, EvTask* task,
                             uint64_t thresholdMB)
        : SQLServerRule(std::move(identity)), m_report(report), m_task(task), m_thresholdMB(thresholdMB) {}
    bool check() override;

private:
    const CNMessageBase* m_report;
    EvTask* m_task;
    uint64_t m_thresholdMB;
};

// The free part of the log exceeds the threshold in percent (task option
// 1554564990 when built with 0).
class LogFileFreeSpaceGTGivenPercentRule : public SQLServerRule {
public:
    static constexpr unsigned long kThresholdOption = 1554564990;

    LogFileFreeSpaceGTGivenPercentRule(SQLServerDbIdentity identity, const CNMessageBase* report, EvTask* task,
                                       uint32_t thresholdPercent)
        : SQLServerRule(std::move(identity)), m_report(report), m_task(task), m_thresholdPercent(thresholdPercent) {}
    bool check() override;

private:
    const CNMessageBase* m_report;
    EvTask* m_task;
    uint32_t m_thresholdPercent;
};

// Log shrinking is switched on in the job's task (option 1501930020).
class DoesLogShrinkRuleEnabled : public SQLServerRule {
public:
    static constexpr unsigned long kEnableOption = 1501930020;

    DoesLogShrinkRuleEnabled(SQLServerDbIdentity identity, EvTask* task)
        : SQLServerRule(std::move(identity)), m_task(task) {}
    bool check() override;

private:
    EvTask* m_task;
};
