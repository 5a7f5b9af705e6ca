#include <gtest/gtest.h>

#include "JXAppMgr/SPEnabled.h"
#include "JxLib/JXGlobalParam.h"
#include "tests/support/TestRoot.h"

TEST(JXGlobalParam, ZeroMeansFound) {
    jxtest::TestRoot root;
    std::string v = "keep";
    EXPECT_NE(JXGlobalParam::getProperty("nMissing", v), 0);
    EXPECT_EQ(v, "keep");
    ASSERT_TRUE(JXGlobalParam::setProperty("nSQLVDITimeout", "300"));
    EXPECT_EQ(JXGlobalParam::getProperty("nSQLVDITimeout", v), 0);
    EXPECT_EQ(v, "300");
}

namespace {
struct Counted : SPEnabled {
    explicit Counted(int* d) : deaths(d) {}
    ~Counted() override { ++*deaths; }
    int* deaths;
};
}  // namespace

TEST(SP, CountsReferencesAndFreesOnLastRelease) {
    int deaths = 0;
    {
        SP<Counted> a(new Counted(&deaths));
        {
            SP<Counted> b = a;
            EXPECT_EQ(a->RefCount(), 2);
        }
        EXPECT_EQ(deaths, 0);
        a = a.get();  // self-assignment keeps the object
        EXPECT_EQ(deaths, 0);
    }
    EXPECT_EQ(deaths, 1);
}
