// Browse requests recorded under the platform root.
#include "JobResults/IdxBrowseClient.h"

#include <gtest/gtest.h>

#include "tests/support/TestRoot.h"

namespace {

class BrowseClient : public jxtest::RootedTest {};

TEST_F(BrowseClient, RecordsEachRequestInAFileOfItsOwn) {
    CNMessageBase request(100, 92);
    request.setint64(1, 1, 0);
    IdxBrowseClient client;
    ASSERT_EQ(client.Initialize(request, nullptr, 2000, nullptr, nullptr), 0);
    request.setstring(2, 2, "second");
    ASSERT_EQ(client.Initialize(request, nullptr, 2000, nullptr, nullptr), 0);
    EXPECT_TRUE(client.isInitialized());

    CNMessageBase first(100, 92), second(100, 92);
    ASSERT_EQ(first.unserialize(root.ReadFile("index/browse/request-1.xml")), kMsgOk);
    ASSERT_EQ(second.unserialize(root.ReadFile("index/browse/request-2.xml")), kMsgOk);
    EXPECT_FALSE(first.isSet(2, 2));
    EXPECT_EQ(second.getstring(2, 2), "second");
}

TEST_F(BrowseClient, RefusesOtherMessagesAndUnwritableRoots) {
    IdxBrowseClient client;
    EXPECT_EQ(client.Initialize(CNMessageBase(100, 93), nullptr, 2000, nullptr, nullptr),
              IdxBrowseClient::kNotABrowseRequest);
    root.WriteFile("index/browse", "a file where the directory belongs");
    EXPECT_NE(client.Initialize(CNMessageBase(100, 92), nullptr, 2000, nullptr, nullptr), 0);
    EXPECT_FALSE(client.isInitialized());
}

}  // namespace
