// JxSQLErrorControl: the job manager's error decisions for a backup job.
//
// Initialize fetches the rules the administrator defined for the job's client
// once, at the start of a backup; the backup driver then asks whether a
// skipped or an offline database marks the job failed and whether an empty
// collect may still succeed. Without rules (none defined, or a reply that
// does not parse) every question answers with the safe default: nothing is
// marked failed for that reason, and an empty collect succeeds only when the
// agent setting "AllowEmptySubClientToSucceedMSSQL" is 1.
//
// Callers ask IsDefined before DoMarkSkippedDatabaseFailed or
// DoMarkOfflineDatabaseFailed. Each of those two walks the rules once per job
// and answers later calls from its memo.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/jobbase/JobErrorRules.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"

class JXJobCtrlClient;

class JxSQLErrorControl {
public:
    // The application type of this agent in requests to the job manager.
    static constexpr unsigned long kAppType = 81;

    JxSQLErrorControl();
    ~JxSQLErrorControl();
    JxSQLErrorControl(const JxSQLErrorControl&) = delete;
    JxSQLErrorControl& operator=(const JxSQLErrorControl&) = delete;

    // Fetches and parses the client's rules. False only when the request
    // cannot be serialised; no rules, or rules that do not parse, still give
    // true (with IsDefined false). The application id is not used.
    bool Initialize(JXJobCtrlClient* jobCtrl, const JxEntities::EntityType& entityType, uint64_t jxCellId,
                    uint64_t clientId, uint64_t instanceId, uint64_t appId, uint64_t jobId);

    // Appends the rules of an App::JobErrorDecisionRuleList text to those
    // held; true when at least one rule is held afterwards from this text or
    // earlier ones.
    bool ParseXMLRulesFromXMLString(const std::string& xml);

    // Reads the agent's home folder ("MSSQLAgent"/"dHOME"); always true.
    bool LoadConfigForErrorControl();

    bool IsDefined() const { return m_rulesDefined; }
    bool DidFailOnEmptyCollect() const { return m_emptyCollect; }
    void setEmptyCollectFilaure() { m_emptyCollect = true; }

    // Whether an empty collect may let the backup succeed.
    bool IsEmptyCollectRuleSet();
    bool DoMarkSkippedDatabaseFailed();
    bool DoMarkOfflineDatabaseFailed();

    const std::vector<DatbaseErrorRule>& databaseRules() const { return m_databaseRules; }
    const std::vector<SQLJobErrorRule>& jobRules() const { return m_jobRules; }
    const std::string& agentHome() const { return m_agentHome; }

private:
    // Memo states of the two database questions.
    enum DecisionState : uint64_t { kNotInitialised = 0, kNotEvaluated = 1, kEvaluatedNo = 2, kEvaluatedYes = 4 };

    // Walks the database rules once (state 1), looking for an active rule
    // of the condition `test` picks with decision "fail".
    bool Decide(uint64_t& state, bool (DatbaseErrorRule::*test)() const);

    bool m_rulesDefined = false;
    bool m_emptyCollect = false;
    uint64_t m_jobId = 0;
    uint64_t m_instanceId = 0;
    uint64_t m_clientId = 0;
    uint64_t m_jxCellId = 0;
    uint64_t m_skippedState = kNotInitialised;
    uint64_t m_offlineState = kNotInitialised;
    std::string m_agentHome;
    EvDebug m_logger;
    std::vector<DatbaseErrorRule> m_databaseRules;
    std::vector<SQLJobErrorRule> m_jobRules;
    JXJobCtrlClient* m_pJobCtrl = nullptr;
};
