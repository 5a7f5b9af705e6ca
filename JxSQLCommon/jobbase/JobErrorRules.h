// JobErrorRule, DatbaseErrorRule, SQLJobErrorRule: the error-decision rules
// the job manager defines for a client, as plain values.
//
// A rule's decision says how its condition ends the job: 0 lets the job
// complete, 2 marks it failed; other values are carried but not acted on.
#pragma once

#include <cstdint>

class JobErrorRule {
public:
    enum Kind : uint32_t { kSqlJobRule = 1, kSqlDatabaseRule = 2 };
    static constexpr int kDecisionComplete = 0;
    static constexpr int kDecisionFail = 2;

    explicit JobErrorRule(uint32_t kind = 0, int decision = 0) : m_kind(kind), m_decision(decision) {}

    uint32_t getKind() const { return m_kind; }
    void setJobDecision(int decision) { m_decision = decision; }
    int GetDecision() const { return m_decision; }

private:
    uint32_t m_kind;
    int32_t m_decision;
};

// What a skipped or an offline database does to the job.
class DatbaseErrorRule : public JobErrorRule {
public:
    DatbaseErrorRule(int decision, bool offline, bool skipped)
        : JobErrorRule(kSqlDatabaseRule, decision), m_offline(offline), m_skipped(skipped) {}

    bool isOfflineDatabaseRuleOn() const { return m_offline; }
    void setOfflineDatabaseRule(bool on) { m_offline = on; }
    bool isSkippedDatabaseRuleOn() const { return m_skipped; }
    void setSkippedDatabaseRule(bool on) { m_skipped = on; }

private:
    bool m_offline;
    bool m_skipped;
};

// What an empty collect (no database to back up) does to the job.
class SQLJobErrorRule : public JobErrorRule {
public:
    SQLJobErrorRule(int decision, bool emptyCollectFile)
        : JobErrorRule(kSqlJobRule, decision), m_emptyCollectFile(emptyCollectFile) {}

    bool isEmptyCollectFileRuleOn() const { return m_emptyCollectFile; }
    void setEmptyCollectFileRule(bool on) { m_emptyCollectFile = on; }

private:
    bool m_emptyCollectFile;
};
