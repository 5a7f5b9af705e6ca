// The job manager's error rules, answered from the rules files.
#include "JXAppMgr/App_JobErrorControlManager.h"

#include <gtest/gtest.h>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "tests/support/TestRoot.h"

namespace {

std::string RequestFor(int64_t clientId) {
    JxEntities::GenericEntity entity;
    entity.setint64(JxEntities::GenericEntity::kClientId, clientId);
    std::string text;
    entity.serialize(text);
    return text;
}

class JobErrorRulesService : public jxtest::RootedTest {};

TEST_F(JobErrorRulesService, AnswersTheFileOfTheClientAndApplicationType) {
    const uint64_t bigId = 0x100000007ull;  // does not fit 32 bits
    root.WriteFile("appmgr/errorrules/4294967303-81.xml", "<rules/>");
    root.WriteFile("appmgr/errorrules/7-81.xml", "<other/>");
    EXPECT_EQ(App_JobErrorControlManager::RulesFilePath(bigId, 81), root.File("appmgr/errorrules/4294967303-81.xml"));
    std::string reply;
    EXPECT_EQ(App_JobErrorControlManager().getJobErrorRules(RequestFor(static_cast<int64_t>(bigId)), 81, reply, 1), 0);
    EXPECT_EQ(reply, "<rules/>");
    reply = "kept";
    EXPECT_EQ(App_JobErrorControlManager().getJobErrorRules(RequestFor(7), 82, reply, 1), JXAPPMGR_E_NO_OBJECT);
    EXPECT_EQ(reply, "kept");
}

TEST_F(JobErrorRulesService, EmptyFileMeansNoRulesAndBadInputIsRefused) {
    root.WriteFile("appmgr/errorrules/3-81.xml", "");
    std::string reply;
    App_JobErrorControlManager rules;
    EXPECT_EQ(rules.getJobErrorRules(RequestFor(3), 81, reply, 1), JXAPPMGR_E_NO_OBJECT);
    EXPECT_EQ(rules.getJobErrorRules("<not a message", 81, reply, 1), JXAPPMGR_E_BAD_VALUE);
    JxEntities::GenericEntity noClient;
    std::string text;
    noClient.serialize(text);
    EXPECT_EQ(rules.getJobErrorRules(text, 81, reply, 1), JXAPPMGR_E_BAD_VALUE);
    root.WriteFile("appmgr/errorrules/5-81.xml", std::string(App_JobErrorControlManager::kMaxRulesBytes + 1, 'x'));
    EXPECT_EQ(rules.getJobErrorRules(RequestFor(5), 81, reply, 1), JXAPPMGR_E_BAD_VALUE);
    EXPECT_TRUE(reply.empty());
}

}  // namespace
