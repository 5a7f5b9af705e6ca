// A subclient's in-memory caches, filled through its callbacks.
#include <gtest/gtest.h>

#include "JXAppMgr/BackupContent.h"
#include "JXAppMgr/Subclient.h"

namespace {

TEST(SubclientCaches, ContentKeepsItsKindsAndComparesCaseAsSet) {
    MsSqlSubclient subclient(4);
    ContentCallBack& content = subclient;
    content.initContentCallback(3, "Sales*");
    content.initContentCallback(1, "Payroll");
    content.initContentCallback(3, "tmp_*");

    BackupContent filters;
    filters.add("stale");
    subclient.getContentCache().getContent(3, filters);
    EXPECT_EQ(filters.getList(), (std::list<std::string>{"Sales*", "tmp_*"}));
    EXPECT_FALSE(subclient.getContentCache().contains(1, "Sales*")) << "another kind";
    EXPECT_FALSE(subclient.getContentCache().contains(3, "SALES*"));
    subclient.SetCaseSensitive(false);
    EXPECT_TRUE(subclient.getContentCache().contains(3, "SALES*"));

    PropCallBack& properties = subclient;
    properties.initPropCallback(std::make_shared<MSSQLDBProperty>("master"));
    ASSERT_EQ(subclient.getPropertyCache().getCache().getList().size(), 1u);
    EXPECT_EQ(subclient.getPropertyCache().getCache().getList().front()->getValue(), "master");
}

}  // namespace
