// Task options by numeric id from the task file.
#include <gtest/gtest.h>

#include <climits>

#include "EvTaskApiNet/EvBkpTask.h"
#include "EvTaskApiNet/EvRstTask.h"
#include "tests/support/TestRoot.h"

namespace {

class Task : public jxtest::RootedTest {};

TEST_F(Task, AbsentOptionLeavesTarget) {
    EvBkpTask task(1);
    bool b = true;
    int i = 7;
    unsigned long u = 8;
    std::string s = "keep";
    std::list<std::string> l{"keep"};
    EXPECT_EQ(task.getOptionBool(1, b), EVTASK_ERR_NOT_FOUND);
    EXPECT_EQ(task.getOptionInt(1, i), EVTASK_ERR_NOT_FOUND);
    EXPECT_EQ(task.getOptionULong(1, u), EVTASK_ERR_NOT_FOUND);
    EXPECT_EQ(task.getOptionString(1, s), EVTASK_ERR_NOT_FOUND);
    EXPECT_EQ(task.getOptionString(1, l), EVTASK_ERR_NOT_FOUND);
    EXPECT_TRUE(b);
    EXPECT_EQ(i, 7);
    EXPECT_EQ(u, 8u);
    EXPECT_EQ(s, "keep");
    EXPECT_EQ(l.size(), 1u);
    EXPECT_EQ(task.getInitiatedFrom(), 0);
    EXPECT_EQ(task.getOriginalJobId(), 0u);
}

TEST_F(Task, ValuesMustFitTheirType) {
    EvTask::setOption(2, 10, "true");
    EvTask::setOption(2, 11, "-12");
    EvTask::setOption(2, 12, "-1");
    EvTask::setOption(2, 13, "99999999999");
    EvTask::setOption(2, 14, "maybe");
    EvTask::setOption(2, 1700227181, "6000000000");
    EvTask::setOption(2, 140030, "6");
    EvBkpTask task(2);
    bool b = false;
    int i = 0;
    unsigned long u = 5;
    EXPECT_EQ(task.getOptionBool(10, b), 0);
    EXPECT_TRUE(b);
    EXPECT_EQ(task.getOptionBool(14, b), EVTASK_ERR_BAD_VALUE);
    EXPECT_EQ(task.getOptionInt(11, i), 0);
    EXPECT_EQ(i, -12);
    EXPECT_EQ(task.getOptionInt(13, i), EVTASK_ERR_BAD_VALUE) << "beyond int";
    EXPECT_EQ(task.getOptionULong(12, u), EVTASK_ERR_BAD_VALUE) << "-1 is no unsigned number";
    EXPECT_EQ(u, 5u);
    EXPECT_EQ(task.getOptionULong(13, u), 0);
    EXPECT_EQ(u, 99999999999u);
    EXPECT_EQ(task.getOriginalJobId(), 6000000000u);
    EXPECT_EQ(task.getInitiatedFrom(), 6);
}

TEST_F(Task, ListOptionsAndTaskProperties) {
    root.WriteFile("tasks/3.ini", "[options]\n20=single\n21.0=a\n21.1=b\n21.3=gap\n[task]\ninstanceId=12\n");
    EvRstTask task(3);
    std::list<std::string> values;
    EXPECT_EQ(task.getOptionString(20, values), 0);
    EXPECT_EQ(values, std::list<std::string>{"single"});
    EXPECT_EQ(task.getOptionString(21, values), 0);
    EXPECT_EQ(values, (std::list<std::string>{"a", "b"}));
    uint64_t instance = 0;
    EXPECT_EQ(task.getInstanceId(instance), 0);
    EXPECT_EQ(instance, 12u);
    EXPECT_EQ(EvRstTask(4).getInstanceId(instance), EVTASK_ERR_NOT_FOUND);
}

}  // namespace
