// Log-shrink rules, the operation and its builder, against the simulated
// instance.
#include "JxSQLCommon/jobbase/LogShrinkOperation.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "EvTaskApiNet/EvTask.h"
#include "JxSQLCommon/jobbase/SQLServerOperationBuilder.h"
#include "JxSQLCommon/jobbase/SQLServerRules.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlLogSpaceReport.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimLog.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kMB = 1024 * 1024;
constexpr uint64_t kJobId = 4711;
const char* const kInstance = "HOST/INST";

// A rule that answers as told and counts its checks.
class FixedRule : public SQLServerRule {
public:
    FixedRule(bool answer, int& checks) : SQLServerRule({"db", kInstance}), m_answer(answer), m_checks(checks) {}
    bool check() override {
        setRuleChecked();
        ++m_checks;
        return m_answer;
    }

private:
    bool m_answer;
    int& m_checks;
};

SqlLogSpaceReport Report(const std::string& database, int64_t sizeMB, int64_t usedPercent) {
    SqlLogSpaceEntry entry;
    entry.setstring(SqlLogSpaceEntry::kDatabaseName, database);
    entry.setint64(SqlLogSpaceEntry::kLogSizeMB, sizeMB);
    entry.setint64(SqlLogSpaceEntry::kUsedPercent, usedPercent);
    SqlLogSpaceReport report;
    report.addlistobject(SqlLogSpaceReport::kEntries, entry);
    return report;
}

TEST(LogShrinkOperation, WithoutRulesItCanBePerformed) {
    LogShrinkOperation op(nullptr, kInstance, "db");
    EXPECT_EQ(op.getName(), "LogShrinkOperation");
    EXPECT_TRUE(op.canItBePerformed());
}

TEST(LogShrinkOperation, FirstFailingRuleStopsTheWalk) {
    int first = 0, second = 0, third = 0;
    LogShrinkOperation op(nullptr, kInstance, "db");
    op.addRule(new FixedRule(true, first));
    op.addRule(new FixedRule(false, second));
    op.addRule(new FixedRule(true, third));
    EXPECT_FALSE(op.canItBePerformed());
    EXPECT_EQ(first, 1);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(third, 0);
    EXPECT_FALSE(op.perform()) << "no SQL library object";
}

TEST(SQLServerOperationBuilder, ValidatesInOrder) {
    CsqlDMO dmo;
    SP<SQLServerOperationBuilder> builder = SQLServerOperationBuilder::getBuilder();
    EXPECT_FALSE(builder->validate()) << "no type";
    EXPECT_EQ(builder->getErrorText(), "");
    builder->setOperationType(SQL_OP_LOG_SHRINK);
    EXPECT_FALSE(builder->validate());
    EXPECT_EQ(builder->getErrorText(), "Failed to build operation as DMO object is null");
    builder->setSqlDmo(&dmo);
    EXPECT_FALSE(builder->validate());
    EXPECT_EQ(builder->getErrorText(), "Failed to build operation as instance name is empty");
    builder->setInstanceName(kInstance);
    EXPECT_FALSE(builder->build());
    EXPECT_EQ(builder->getErrorText(), "Failed to build operation as database name is empty");
}

TEST(SQLServerOperationBuilder, BuiltOperationOutlivesItsBuilder) {
    CsqlDMO dmo;
    SP<SQLServerOperation> op = SQLServerOperationBuilder::getBuilder()
                                    ->setOperationType(SQL_OP_LOG_SHRINK)
                                    .setSqlDmo(&dmo)
                                    .setInstanceName(kInstance)
                                    .setDatabaseName("Sales")
                                    .build();
    ASSERT_TRUE(op);
    EXPECT_EQ(op->getName(), "LogShrinkOperation");
    EXPECT_EQ(op->getDatabaseName(), "Sales");

    SP<SQLServerOperationBuilder> none = SQLServerOperationBuilder::getBuilder();
    none->setSqlDmo(&dmo).setInstanceName(kInstance).setDatabaseName("Sales");
    EXPECT_FALSE(none->build()) << "type 0 builds nothing";
}

class LogRules : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = kInstance;
        ASSERT_FALSE(instance.Create(server).IsError());
        AddDatabase("Big", "FULL", false, 4 * kMB);
        AddDatabase("Simple", "SIMPLE", false, 4 * kMB);
        AddDatabase("ReadOnly", "FULL", true, 4 * kMB);
        AddDatabase("Busy", "FULL", false, 4 * kMB);
        AddDatabase("Small", "FULL", false, kMB);
        SqlSimLog log(instance);
        for (const char* db : {"Big", "Simple", "ReadOnly", "Busy", "Small"}) {
            ASSERT_FALSE(log.SetUsedBytes(db, kMB / 2).IsError());
        }
        ASSERT_FALSE(log.SetOpenTransactions("Busy", 1).IsError());
        ASSERT_TRUE(EvTask::setOption(kJobId, DoesLogShrinkRuleEnabled::kEnableOption, "1"));
        ASSERT_TRUE(EvTask::setOption(kJobId, LogFileSizeGTGivenMBRule::kThresholdOption, "2"));
        ASSERT_TRUE(EvTask::setOption(kJobId, LogFileFreeSpaceGTGivenPercentRule::kThresholdOption, "50"));
        ASSERT_TRUE(dmo.initialize(kInstance));
        ASSERT_TRUE(dmo.getLogSpaceReport(kInstance, report));
    }

    void AddDatabase(const std::string& name, const std::string& model, bool readOnly, uint64_t logSize) {
        SqlSimDatabaseSpec desc;
        desc.name = name;
        desc.recoveryModel = model;
        desc.readOnly = readOnly;
        desc.logSize = logSize;
        ASSERT_FALSE(instance.AddDatabase(desc).IsError());
    }

    // The operation a job program builds: every precondition of a shrink.
    SP<SQLServerOperation> ShrinkOf(const std::string& database) {
        SP<SQLServerOperation> op = SQLServerOperationBuilder::getBuilder()
                                        ->setOperationType(SQL_OP_LOG_SHRINK)
                                        .setSqlDmo(&dmo)
                                        .setInstanceName(kInstance)
                                        .setDatabaseName(database)
                                        .build();
        SQLServerDbIdentity id{database, kInstance};
        op->addRule(new DoesLogShrinkRuleEnabled(id, &task));
        op->addRule(new SimpleRecoveryRule(id, &dmo, true));
        op->addRule(new ReadOnlyDatabaseRule(id, &dmo, true));
        op->addRule(new IsAnyOpenTransactionRule(id, &dmo, true));
        op->addRule(new LogFileSizeGTGivenMBRule(id, &report, &task, 0));
        op->addRule(new LogFileFreeSpaceGTGivenPercentRule(id, &report, &task, 0));
        return op;
    }

    uint64_t LogSize(const std::string& database) {
        SqlSimLogSpace space;
        EXPECT_FALSE(SqlSimLog(instance).Space(database, space).IsError());
        return space.sizeBytes;
    }

    SqlSimInstance instance;
    CsqlDMO dmo;
    EvTask task{kJobId};
    SqlLogSpaceReport report;
};

TEST_F(LogRules, LargeLogWithFreeSpaceIsShrunk) {
    SP<SQLServerOperation> op = ShrinkOf("Big");
    ASSERT_TRUE(op->canItBePerformed());
    ASSERT_TRUE(op->perform());
    EXPECT_EQ(LogSize("Big"), kMB / 2);
}

TEST_F(LogRules, SimpleRecoveryReadOnlyOpenTransactionAndSmallLogsStopTheShrink) {
    for (const char* db : {"Simple", "ReadOnly", "Busy", "Small"}) {
        EXPECT_FALSE(ShrinkOf(db)->canItBePerformed()) << db;
        EXPECT_EQ(LogSize(db), std::string(db) == "Small" ? kMB : 4 * kMB) << db;
    }
}

TEST_F(LogRules, ConditionRulesSayWhatTheyFound) {
    SimpleRecoveryRule simple({"Simple", kInstance}, &dmo, true);
    EXPECT_FALSE(simple.DidRuleChecked());
    EXPECT_FALSE(simple.check());
    EXPECT_TRUE(simple.DidRuleChecked());
    EXPECT_EQ(simple.getLogMessage(), "Simple Recovery Check status [TRUE] for database [Simple] of instance [HOST/INST].");
    ReadOnlyDatabaseRule readOnly({"ReadOnly", kInstance}, &dmo, false);
    EXPECT_TRUE(readOnly.check()) << "not negated: answers the condition";
    IsAnyOpenTransactionRule busy({"Big", kInstance}, &dmo, true);
    EXPECT_TRUE(busy.check());
    EXPECT_EQ(busy.getLogMessage(), "Any open transaction check status [FALSE] for database [Big] of instance [HOST/INST].");
}

TEST_F(LogRules, ConditionThatCannotBeReadNeverPasses) {
    for (SQLServerRule* rule : std::initializer_list<SQLServerRule*>{
             new SimpleRecoveryRule({"Missing", kInstance}, &dmo, true),
             new ReadOnlyDatabaseRule({"Missing", kInstance}, &dmo, true),
             new IsAnyOpenTransactionRule({"Big", "HOST/NONE"}, &dmo, true),
             new ReadOnlyDatabaseRule({"Big", kInstance}, nullptr, true)}) {
        SP<SQLServerRule> held(rule);
        EXPECT_FALSE(held->check()) << held->getLogMessage();
        EXPECT_NE(held->getLogMessage().find("could not be made"), std::string::npos);
    }
}

TEST_F(LogRules, LogSizeMustExceedTheThreshold) {
    LogFileSizeGTGivenMBRule equal({"Big", kInstance}, &report, nullptr, 4);
    EXPECT_FALSE(equal.check());
    EXPECT_EQ(equal.getLogMessage(),
              "LogFileSize [4] > GivenMB [4] check status [FALSE] for database [Big] of instance [HOST/INST].");
    LogFileSizeGTGivenMBRule below({"big", kInstance}, &report, nullptr, 3);
    EXPECT_TRUE(below.check()) << "names compare without regard to case";
    LogFileSizeGTGivenMBRule absent({"Nowhere", kInstance}, &report, nullptr, 3);
    EXPECT_FALSE(absent.check());
    LogFileSizeGTGivenMBRule noReport({"Big", kInstance}, nullptr, &task, 3);
    EXPECT_FALSE(noReport.check());
    EXPECT_EQ(noReport.getLogMessage(), "Failed to get log percent information from Sql Server.");
}

TEST_F(LogRules, ThresholdsComeFromTheTaskWhenNotGiven) {
    EvTask other(kJobId + 1);
    LogFileSizeGTGivenMBRule size({"Big", kInstance}, &report, &other, 0);
    EXPECT_FALSE(size.check());
    EXPECT_EQ(size.getLogMessage(), "Failed to get threshold log file size with error [2].");
    LogFileFreeSpaceGTGivenPercentRule free({"Big", kInstance}, &report, nullptr, 0);
    EXPECT_FALSE(free.check());
    ASSERT_TRUE(EvTask::setOption(kJobId + 1, LogFileFreeSpaceGTGivenPercentRule::kThresholdOption, "-5"));
    LogFileFreeSpaceGTGivenPercentRule negative({"Big", kInstance}, &report, &other, 0);
    EXPECT_FALSE(negative.check());
    LogFileFreeSpaceGTGivenPercentRule fromTask({"Big", kInstance}, &report, &task, 0);
    EXPECT_TRUE(fromTask.check()) << fromTask.getLogMessage();
    EXPECT_EQ(fromTask.getLogMessage(),
              "LogFileFreeSpace [87] > GivenPercent [50] check status [TRUE] for database [Big] of instance [HOST/INST].");
}

TEST_F(LogRules, UsedPartAboveHundredPercentLeavesNothingFree) {
    SqlLogSpaceReport odd = Report("Big", 10, 150);
    LogFileFreeSpaceGTGivenPercentRule rule({"Big", kInstance}, &odd, nullptr, 1);
    EXPECT_FALSE(rule.check());
    SqlLogSpaceReport negative = Report("Big", -10, 0);
    LogFileSizeGTGivenMBRule size({"Big", kInstance}, &negative, nullptr, 1);
    EXPECT_FALSE(size.check());
}

TEST_F(LogRules, ShrinkSwitchIsReadOnce) {
    DoesLogShrinkRuleEnabled enabled({"Big", kInstance}, &task);
    EXPECT_TRUE(enabled.check());
    EXPECT_EQ(enabled.getLogMessage(), "Log shrink option enable [TRUE].");
    ASSERT_TRUE(EvTask::setOption(kJobId, DoesLogShrinkRuleEnabled::kEnableOption, "0"));
    EXPECT_TRUE(enabled.check()) << "answers from the stored flag";
    DoesLogShrinkRuleEnabled off({"Big", kInstance}, &task);
    EXPECT_FALSE(off.check());
    DoesLogShrinkRuleEnabled noTask({"Big", kInstance}, nullptr);
    EXPECT_FALSE(noTask.check());
    EXPECT_TRUE(noTask.DidRuleChecked());
}

}  // namespace
