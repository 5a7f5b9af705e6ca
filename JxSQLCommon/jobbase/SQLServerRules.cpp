// The log-shrink preconditions: SQL Server conditions, log-space thresholds
// and the task's log-shrink switch.
#include "JxSQLCommon/jobbase/SQLServerRules.h"

#include <strings.h>

#include <algorithm>

#include "EvTaskApiNet/EvTask.h"
#include "JxLib/EvDebug.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlLogSpaceReport.h"
#include "WzUtils/WzFormat.h"

namespace {

// Result given for a task that is not there.
constexpr int kNoTask = -1;

const char* TrueFalse(bool value) { return value ? "TRUE" : "FALSE"; }

// The report's entry of `database` (compared without regard to case); false,
// with the message a rule leaves, when the report has none.
bool FindLogSpaceEntry(const CNMessageBase& report, const std::string& database, const std::string& instance,
                       CNMessageBase& entry, std::string& message) {
    for (const CNMessageBase& e : report.getlistobject(SqlLogSpaceReport::kEntries)) {
        if (strcasecmp(e.getstring(SqlLogSpaceEntry::kDatabaseName).c_str(), database.c_str()) == 0) {
            entry = e;
            return true;
        }
    }
    message = wz::Format("No log space reported for database [%s] of instance [%s].", database.c_str(),
                         instance.c_str());
    return false;
}

// A report value that cannot be negative; a negative one counts as 0.
uint64_t NonNegative(int64_t value) { return static_cast<uint64_t>(std::max<int64_t>(value, 0)); }

}  // namespace

bool SimpleRecoveryRule::check() {
    setRuleChecked();
    bool failed = m_dmo == nullptr;
    bool found = !failed && m_dmo->isRecoveryModelSimple(databaseName(), &failed);
    return ConditionResult("Simple Recovery Check", found, failed);
}

bool ReadOnlyDatabaseRule::check() {
    setRuleChecked();
    bool failed = m_dmo == nullptr;
    bool found = !failed && m_dmo->isReadOnly(instanceName(), databaseName(), &failed);
    return ConditionResult("Database read-only check", found, failed);
}

bool IsAnyOpenTransactionRule::check() {
    setRuleChecked();
    bool failed = m_dmo == nullptr;
    bool found = !failed && m_dmo->isThereAnyOpenTransaction(instanceName(), databaseName(), &failed);
    return ConditionResult("Any open transaction check", found, failed);
}

bool LogFileSizeGTGivenMBRule::check() {
    setRuleChecked();
    if (m_report == nullptr) {
        setLogMessage("Failed to get log percent information from Sql Server.");
        return false;
    }
    if (m_thresholdMB == 0) {
        unsigned long threshold = 0;
        int rc = m_task != nullptr ? m_task->getOptionULong(kThresholdOption, threshold) : kNoTask;
        m_thresholdMB = rc == 0 ? threshold : 0;
        if (rc != 0 || m_thresholdMB == 0) {
            setLogMessage(wz::Format("Failed to get threshold log file size with error [%d].", rc));
            return false;
        }
    }
    CNMessageBase entry = SqlLogSpaceEntry();
    if (!FindLogSpaceEntry(*m_report, databaseName(), instanceName(), entry, m_logMessage)) return false;
    uint64_t sizeMB = NonNegative(entry.getint64(SqlLogSpaceEntry::kLogSizeMB));
    bool answer = sizeMB > m_thresholdMB;
    setLogMessage(wz::Format("LogFileSize [%lu] > GivenMB [%lu] check status [%s] for database [%s] of instance [%s].",
                             sizeMB, m_thresholdMB, TrueFalse(answer), databaseName().c_str(),
                             instanceName().c_str()));
    return answer;
}

bool LogFileFreeSpaceGTGivenPercentRule::check() {
    setRuleChecked();
    if (m_report == nullptr) {
        setLogMessage("Failed to get log percent information from Sql Server.");
        return false;
    }
    if (m_thresholdPercent == 0) {
        int threshold = 0;
        int rc = m_task != nullptr ? m_task->getOptionInt(kThresholdOption, threshold) : kNoTask;
        m_thresholdPercent = rc == 0 && threshold > 0 ? static_cast<uint32_t>(threshold) : 0;
        if (m_thresholdPercent == 0) {
            setLogMessage(wz::Format("Failed to get threshold log free space with error [%d].", rc));
            return false;
        }
    }
    CNMessageBase entry = SqlLogSpaceEntry();
    if (!FindLogSpaceEntry(*m_report, databaseName(), instanceName(), entry, m_logMessage)) return false;
    // A used part above 100 percent leaves nothing free (and must not wrap
    // round to a huge free part).
    uint64_t usedPercent = NonNegative(entry.getint64(SqlLogSpaceEntry::kUsedPercent));
    uint64_t freePercent = usedPercent >= 100 ? 0 : 100 - usedPercent;
    bool answer = freePercent > m_thresholdPercent;
    setLogMessage(wz::Format("LogFileFreeSpace [%lu] > GivenPercent [%u] check status [%s] for database [%s] of "
                             "instance [%s].",
                             freePercent, m_thresholdPercent, TrueFalse(answer), databaseName().c_str(),
                             instanceName().c_str()));
    return answer;
}

bool DoesLogShrinkRuleEnabled::check() {
    if (!DidRuleChecked()) {
        setRuleChecked();
        bool enabled = false;
        int rc = m_task != nullptr ? m_task->getOptionBool(kEnableOption, enabled) : kNoTask;
        if (rc != 0) {
            EvDebug log("JxSQLCommon");
            EV_ERROR(log, "Failed to get backup option with erorr [%d].", rc);
        }
        m_negate = rc == 0 && enabled;
        setLogMessage(wz::Format("Log shrink option enable [%s].", TrueFalse(m_negate)));
    }
    return m_negate;
}
