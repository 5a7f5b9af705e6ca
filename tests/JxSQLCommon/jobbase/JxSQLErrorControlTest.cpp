// Error-decision rules: fetching them from the job manager and the decisions
// they give.
#include "JxSQLCommon/jobbase/JxSQLErrorControl.h"

#include <gtest/gtest.h>

#include "JXAppMgr/App_JobErrorControlManager.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "tests/support/TestRoot.h"

namespace {

using Rule = App::JobErrorDecisionRule;

struct RuleSpec {
    int64_t applies = 1;
    const int64_t* databaseDecision = nullptr;   // unset when null
    const int64_t* jobDecision = nullptr;
    int64_t offline = 0;
    int64_t skipped = 0;
    int64_t emptyCollect = 0;
};

constexpr int64_t kZero = 0, kOne = 1, kTwo = 2;

std::string RulesXml(const std::vector<RuleSpec>& descs) {
    App::JobErrorDecisionRuleList list;
    for (const RuleSpec& s : descs) {
        Rule rule;
        rule.setint64(Rule::kApplies, s.applies);
        if (s.databaseDecision != nullptr) rule.setint64(Rule::kDatabaseDecision, *s.databaseDecision);
        if (s.jobDecision != nullptr) rule.setint64(Rule::kJobDecision, *s.jobDecision);
        rule.setint64(Rule::kOfflineDatabases, s.offline);
        rule.setint64(Rule::kSkippedDatabases, s.skipped);
        rule.setint64(Rule::kEmptyCollectFile, s.emptyCollect);
        list.addlistobject(App::JobErrorDecisionRuleList::kRules, rule);
    }
    std::string xml;
    list.serialize(xml);
    return xml;
}

class ErrorControl : public jxtest::RootedTest {
protected:
    static constexpr uint64_t kClient = 12;

    void Rules(uint64_t clientId, const std::string& xml) {
        root.WriteFile("appmgr/errorrules/" + std::to_string(clientId) + "-81.xml", xml);
    }
    bool Init(JxSQLErrorControl& control, uint64_t clientId = kClient) {
        return control.Initialize(nullptr, JxEntities::EntityType(3), 2, clientId, 7, 1234, 99);
    }
    void AllowEmptySubclient(int64_t value) {
        JXPlatformInfo().setNumber("MSSQLAgent", "AllowEmptySubClientToSucceedMSSQL", value);
    }
};

TEST_F(ErrorControl, BeforeInitializeNothingIsMarkedFailed) {
    JxSQLErrorControl control;
    EXPECT_FALSE(control.IsDefined());
    EXPECT_FALSE(control.DoMarkSkippedDatabaseFailed());
    EXPECT_FALSE(control.DoMarkOfflineDatabaseFailed());
    EXPECT_FALSE(control.DidFailOnEmptyCollect());
    control.setEmptyCollectFilaure();
    EXPECT_TRUE(control.DidFailOnEmptyCollect());
}

TEST_F(ErrorControl, NoRulesGiveTheSafeDefaults) {
    JxSQLErrorControl control;
    EXPECT_TRUE(Init(control)) << "a job manager without rules is no failure";
    EXPECT_FALSE(control.IsDefined());
    EXPECT_FALSE(control.DoMarkSkippedDatabaseFailed());
    EXPECT_FALSE(control.DoMarkOfflineDatabaseFailed());
    EXPECT_FALSE(control.IsEmptyCollectRuleSet());
    AllowEmptySubclient(2);
    EXPECT_FALSE(control.IsEmptyCollectRuleSet()) << "only 1 counts";
    AllowEmptySubclient(1);
    EXPECT_TRUE(control.IsEmptyCollectRuleSet());
}

TEST_F(ErrorControl, MalformedRepliesLeaveTheDefaults) {
    for (const std::string& reply :
         {std::string("<App_JobErrorDecisionRuleList module=\"30\" message=\"354\"><objs id=\"1\">"),
          std::string("\x01\xff garbage"), std::string("<SQLPmn_ErrorMessage module=\"34\" message=\"47\"/>"),
          std::string("<App_JobErrorDecisionRuleList module=\"30\" message=\"354\"/>"),
          RulesXml({{.applies = 0, .databaseDecision = &kTwo, .jobDecision = &kZero, .skipped = 1}})}) {
        Rules(kClient, reply);
        JxSQLErrorControl control;
        EXPECT_TRUE(Init(control));
        EXPECT_FALSE(control.IsDefined()) << reply;
        EXPECT_TRUE(control.databaseRules().empty());
        EXPECT_TRUE(control.jobRules().empty());
        EXPECT_FALSE(control.DoMarkSkippedDatabaseFailed());
        EXPECT_FALSE(control.IsEmptyCollectRuleSet());
    }
}

TEST_F(ErrorControl, MixOfJobAndDatabaseRules) {
    Rules(kClient, RulesXml({
                       {.databaseDecision = &kOne, .offline = 1},              // offline, but only "decision 1"
                       {.databaseDecision = &kZero, .jobDecision = &kZero, .emptyCollect = 1},  // job rule only
                       {.databaseDecision = &kTwo, .jobDecision = &kTwo, .skipped = 1},  // both kinds
                   }));
    JxSQLErrorControl control;
    ASSERT_TRUE(Init(control));
    EXPECT_TRUE(control.IsDefined());
    ASSERT_EQ(control.databaseRules().size(), 2u);
    EXPECT_TRUE(control.databaseRules()[0].isOfflineDatabaseRuleOn());
    EXPECT_EQ(control.databaseRules()[1].GetDecision(), 2);
    EXPECT_EQ(control.databaseRules()[1].getKind(), JobErrorRule::kSqlDatabaseRule);
    ASSERT_EQ(control.jobRules().size(), 2u);
    EXPECT_TRUE(control.jobRules()[0].isEmptyCollectFileRuleOn());
    EXPECT_EQ(control.jobRules()[1].GetDecision(), 2);

    EXPECT_TRUE(control.DoMarkSkippedDatabaseFailed());
    EXPECT_FALSE(control.DoMarkOfflineDatabaseFailed()) << "decision 1 does not fail the job";
    EXPECT_TRUE(control.IsEmptyCollectRuleSet()) << "empty collect with decision 0";
}

TEST_F(ErrorControl, DecisionsBeyond32BitsAreNotTakenForKnownOnes) {
    // Cut to 32 bits these would read as "fail" (2) and "complete" (0).
    constexpr int64_t kFailPlus2To32 = (int64_t{1} << 32) + 2, k2To32 = int64_t{1} << 32;
    Rules(kClient,
          RulesXml({{.databaseDecision = &kFailPlus2To32, .skipped = 1}, {.jobDecision = &k2To32, .emptyCollect = 1}}));
    JxSQLErrorControl control;
    ASSERT_TRUE(Init(control));
    EXPECT_FALSE(control.DoMarkSkippedDatabaseFailed());
    EXPECT_FALSE(control.IsEmptyCollectRuleSet());
}

TEST_F(ErrorControl, DecisionsAreTakenOncePerJob) {
    Rules(kClient, RulesXml({{.databaseDecision = &kOne, .offline = 1}}));
    JxSQLErrorControl control;
    ASSERT_TRUE(Init(control));
    EXPECT_FALSE(control.DoMarkOfflineDatabaseFailed());
    EXPECT_TRUE(control.ParseXMLRulesFromXMLString(RulesXml({{.databaseDecision = &kTwo, .offline = 1}})));
    EXPECT_EQ(control.databaseRules().size(), 2u) << "rules are appended";
    EXPECT_FALSE(control.DoMarkOfflineDatabaseFailed()) << "the first answer stands";
    EXPECT_FALSE(control.DoMarkSkippedDatabaseFailed());
}

TEST_F(ErrorControl, AsksForTheWholeClientId) {
    const uint64_t bigClient = 0x100000000ull + kClient;
    Rules(kClient, RulesXml({{.databaseDecision = &kTwo, .skipped = 1}}));
    Rules(bigClient, RulesXml({{.databaseDecision = &kTwo, .offline = 1}}));
    JxSQLErrorControl control;
    ASSERT_TRUE(Init(control, bigClient));
    EXPECT_TRUE(control.DoMarkOfflineDatabaseFailed());
    EXPECT_FALSE(control.DoMarkSkippedDatabaseFailed()) << "rules of the client whose id shares the low 32 bits";
}

TEST_F(ErrorControl, ReadsTheAgentHome) {
    JXPlatformInfo().setString("MSSQLAgent", "dHOME", "/opt/agent");
    JxSQLErrorControl control;
    EXPECT_TRUE(control.LoadConfigForErrorControl());
    EXPECT_EQ(control.agentHome(), "/opt/agent");
}

}  // namespace
