#include <gtest/gtest.h>

#include "JxSQLCommon/records/SqlStepRestoreRecords.h"
#include "JxsqlDMO/SqlSimDescription.h"
#include "tests/JxSQLMessageHandler/service/CatalogueRequester.h"

namespace {

using jxtest::ReceivedReply;

class HistoryRequestsTest : public jxtest::CatalogueRequestTest {
protected:
    void SetUp() override {
        CatalogueRequestTest::SetUp();
        ASSERT_FALSE(SqlSimApplyDescription(R"(
instance h/a
database db
backup db type=D first=100 last=200 finish=1000 device=full.bak
backup db type=L first=200 last=300 finish=1100
backup db type=L first=300 last=400 finish=1200
instance h/b
database db
backup db type=D first=10 last=20 finish=10
instance h/off running=no
)")
                         .IsError());
    }
    // The step-restore list of db on `instance`, as "type first-last".
    std::vector<std::string> Chain(std::string instance, unsigned long code = 0x1e0000a7) {
        std::string database = "db";
        std::vector<std::string> out;
        ReceivedReply<SQLStepRestoreListRsp_t> reply;
        if (code == 0x1e0000b8) {
            SQLStepRestoreListReq_V2_t request;
            request.instanceName = instance.data();
            request.databaseName = database.data();
            request.instanceId = 4;
            Ask(code, request, reply);
        } else {
            SQLStepRestoreListReq_t request;
            request.instanceName = instance.data();
            request.databaseName = database.data();
            Ask(code, request, reply);
        }
        EXPECT_EQ(reply.code, 0x1e0000a8u);
        if (reply->failed != 0) out.push_back(std::string("failed: ") + reply->errorMessage);
        for (uint32_t i = 0; i < reply->count; ++i) {
            out.push_back(std::string(reply->entries[i].backupType) + " " + reply->entries[i].firstLSN + "-" +
                          reply->entries[i].lastLSN);
        }
        return out;
    }
    // Sends one pruning request of (backup-set id, instance id, instance name) entries.
    uint64_t Prune(std::vector<std::tuple<uint64_t, uint64_t, std::string>> sets, unsigned long code = 0x1e0000ab) {
        std::vector<SqlBackupsetEntry_t> entries(sets.size());
        for (size_t i = 0; i < sets.size(); ++i) {
            entries[i].backupSetId = std::get<0>(sets[i]);
            entries[i].instanceId = std::get<1>(sets[i]);
            entries[i].instanceName = std::get<2>(sets[i]).data();
        }
        SqlBackupsetListReq_t request;
        request.count = static_cast<uint32_t>(entries.size());
        request.entries = entries.empty() ? nullptr : entries.data();
        ReceivedReply<SqlBackupsetListRsp_t> reply;
        Ask(code, request, reply);
        EXPECT_EQ(reply.code, 0x1e0000acu);
        return reply->failed;
    }
};

TEST_F(HistoryRequestsTest, StepRestoreListUnderBothCodes) {
    const std::vector<std::string> chain{"D 100-200", "L 200-300", "L 300-400"};
    EXPECT_EQ(Chain("h/a"), chain);
    EXPECT_EQ(Chain("h/a", 0x1e0000b8), chain);
    std::vector<std::string> missing = Chain("h/none");
    ASSERT_EQ(missing.size(), 1u);
    EXPECT_NE(missing[0].find("failed: "), std::string::npos);
}

TEST_F(HistoryRequestsTest, PruningGroupsBySetsPerInstanceAndGoesOnAfterAFailure) {
    // Backup sets 2 and 3 of instance a (id 5) around one set of b (id 2).
    EXPECT_EQ(Prune({{2, 5, "h/a"}, {1, 2, "h/b"}, {3, 5, "ignored name"}}), 0u);
    EXPECT_EQ(Chain("h/a"), std::vector<std::string>{"D 100-200"});
    EXPECT_TRUE(Chain("h/b").empty());

    // An instance that cannot be pruned fails the request; the others are pruned.
    EXPECT_EQ(Prune({{1, 9, "h/off"}, {1, 5, "h/a"}}, 0x1e0000b9), 1u);
    EXPECT_TRUE(Chain("h/a").empty());
    EXPECT_EQ(Prune({}), 0u);
}

}  // namespace
