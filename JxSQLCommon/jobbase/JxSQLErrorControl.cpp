// JxSQLErrorControl: fetching the job manager's error-decision rules and
// answering the backup driver's questions from them.
#include "JxSQLCommon/jobbase/JxSQLErrorControl.h"

#include <climits>

#include "JXAppMgr/App_JobErrorControlManager.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/AppMessages.h"

namespace {

// A decision read from the reply. One outside the 32-bit range is none of the
// known decisions; narrowing it could turn it into one.
int DecisionOf(int64_t value) { return value < INT_MIN || value > INT_MAX ? -1 : static_cast<int>(value); }

}  // namespace

JxSQLErrorControl::JxSQLErrorControl() : m_logger("JxSQLCommon") {}

JxSQLErrorControl::~JxSQLErrorControl() = default;

bool JxSQLErrorControl::Initialize(JXJobCtrlClient* jobCtrl, const JxEntities::EntityType& entityType,
                                   uint64_t jxCellId, uint64_t clientId, uint64_t instanceId, uint64_t,
                                   uint64_t jobId) {
    m_pJobCtrl = jobCtrl;
    m_clientId = clientId;
    m_jobId = jobId;
    m_instanceId = instanceId;
    m_jxCellId = jxCellId;

    // The client id goes whole: a 64-bit id cut to 32 bits would ask for
    // another client's rules.
    JxEntities::GenericEntity request;
    request.setint64(JxEntities::GenericEntity::kClientId, static_cast<int64_t>(clientId));
    request.setint64(JxEntities::GenericEntity::kEntityType, static_cast<int64_t>(entityType));
    m_skippedState = kNotEvaluated;
    m_offlineState = kNotEvaluated;

    std::string requestText;
    if (int rc = request.serialize(requestText); rc != kMsgOk) {
        EV_WARN(m_logger, "Failed to serialize error retrieval request with error [%d].", rc);
        return false;
    }
    LoadConfigForErrorControl();

    std::string reply;
    if (App_JobErrorControlManager().getJobErrorRules(requestText, kAppType, reply, 1) != 0) {
        EV_WARN(m_logger, "No Rules defined for ClientId [%lu] AppType [%lu].", clientId, kAppType);
        return true;
    }
    EV_DEBUG(m_logger, 4, "Rules defined [%s] for ClientId [%lu], AppType [%lu]", reply.c_str(), clientId, kAppType);
    m_rulesDefined = ParseXMLRulesFromXMLString(reply);
    if (!m_rulesDefined) {
        EV_WARN(m_logger, "Rules parsing failed for ClientId [%lu] AppType [%lu].", clientId, kAppType);
    }
    return true;
}

bool JxSQLErrorControl::ParseXMLRulesFromXMLString(const std::string& xml) {
    App::JobErrorDecisionRuleList list;
    if (int rc = list.unserialize(xml); rc != kMsgOk) {
        EV_ERROR(m_logger, "Failed to parse XML input string \"%s\", error=%d.", xml.c_str(), rc);
        return false;
    }
    if (!list.isSet(App::JobErrorDecisionRuleList::kRules)) {
        EV_WARN(m_logger, "No PMN specific rules set and parsed here.");
        return false;
    }
    using Rule = App::JobErrorDecisionRule;
    const Rule shape;
    for (const CNMessageBase& entry : list.getlistobject(App::JobErrorDecisionRuleList::kRules)) {
        if (entry.getModule() != shape.getModule() || entry.getMessage() != shape.getMessage()) {
            EV_WARN(m_logger, "Skipping an entry of class (%d, %d) in the rule list.", entry.getModule(),
                    entry.getMessage());
            continue;
        }
        if (entry.getint64(Rule::kApplies) == 0) continue;
        if (entry.isSet(Rule::kDatabaseDecision) && entry.getint64(Rule::kDatabaseDecision) != 0) {
            DatbaseErrorRule rule(DecisionOf(entry.getint64(Rule::kDatabaseDecision)),
                                  entry.getint64(Rule::kOfflineDatabases) != 0,
                                  entry.getint64(Rule::kSkippedDatabases) != 0);
            m_databaseRules.push_back(rule);
            EV_DEBUG(m_logger, 5, "SQL Database Rule set [OFFLINE - %d] [SKIPPED - %d] with decision [%d].",
                     rule.isOfflineDatabaseRuleOn(), rule.isSkippedDatabaseRuleOn(), rule.GetDecision());
        }
        if (entry.isSet(Rule::kJobDecision)) {
            SQLJobErrorRule rule(DecisionOf(entry.getint64(Rule::kJobDecision)),
                                 entry.getint64(Rule::kEmptyCollectFile) != 0);
            m_jobRules.push_back(rule);
            EV_DEBUG(m_logger, 5, "SQL Job Rule set with decision [%d] & empty collect rule [%d].",
                     rule.GetDecision(), rule.isEmptyCollectFileRuleOn());
        }
    }
    if (m_databaseRules.empty() && m_jobRules.empty()) {
        EV_WARN(m_logger, "No PMN specific rules set and parsed here.");
        return false;
    }
    EV_DEBUG(m_logger, 5, "XML string %s parsed and error decisions populated", xml.c_str());
    return true;
}

bool JxSQLErrorControl::LoadConfigForErrorControl() {
    JXPlatformInfo settings;
    if (!settings.getString("MSSQLAgent", "dHOME", m_agentHome)) {
        EV_WARN(m_logger, "Failed to read SQL home with last error [%d].", settings.getLastError());
    }
    return true;
}

bool JxSQLErrorControl::IsEmptyCollectRuleSet() {
    uint64_t allow = 0;
    JXPlatformInfo settings;
    settings.getNumber("MSSQLAgent", "AllowEmptySubClientToSucceedMSSQL", &allow);
    if (allow == 1) {
        EV_DEBUG(m_logger, 1,
                 "Enabled to allow backup job to complete with empty subclient, AllowEmptySubClientToSucceedMSSQL "
                 "key [%lu].",
                 allow);
        return true;
    }
    for (const SQLJobErrorRule& rule : m_jobRules) {
        if (rule.getKind() == JobErrorRule::kSqlJobRule && rule.isEmptyCollectFileRuleOn() &&
            rule.GetDecision() == JobErrorRule::kDecisionComplete) {
            return true;
        }
    }
    return false;
}

bool JxSQLErrorControl::Decide(uint64_t& state, bool (DatbaseErrorRule::*test)() const) {
    if (state == kNotEvaluated) {
        state = kEvaluatedNo;
        for (const DatbaseErrorRule& rule : m_databaseRules) {
            if (rule.getKind() == JobErrorRule::kSqlDatabaseRule && (rule.*test)() &&
                rule.GetDecision() == JobErrorRule::kDecisionFail) {
                state *= 2;
                break;
            }
        }
    }
    return state > 3;
}

bool JxSQLErrorControl::DoMarkSkippedDatabaseFailed() {
    return Decide(m_skippedState, &DatbaseErrorRule::isSkippedDatabaseRuleOn);
}

bool JxSQLErrorControl::DoMarkOfflineDatabaseFailed() {
    return Decide(m_offlineState, &DatbaseErrorRule::isOfflineDatabaseRuleOn);
}
