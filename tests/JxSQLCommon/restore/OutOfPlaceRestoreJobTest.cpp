// A whole restore job whose task names a snapshot destination: another
// instance of the same client. The database is restored where the job
// runs, then moved to the destination instance.
#include "EvTaskApiNet/EvTask.h"
#include "JxsqlDMO/SqlDbState.h"
#include "tests/JxSQLCommon/restore/RestoreEndToEndFixture.h"

namespace {

using vditest::DatabaseState;

constexpr uint64_t kClient = 1;
constexpr uint64_t kDestinationId = 9;
constexpr const char* kDestination = "host/other";

class OutOfPlaceRestoreJob : public RestoreEndToEnd {
protected:
    void SetUp() override {
        RestoreEndToEnd::SetUp();
        SqlSimServerSpec server;
        server.name = kDestination;
        ASSERT_TRUE(destination.Create(server).IsSuccess());
        ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("instance", kDestinationId), "name", kDestination));
        task.sourceClientId = kClient;
        task.destinationClientId = kClient;
    }
    // The task of job `jobId` names the destination (client, then instance).
    static void NameDestination(uint64_t jobId) {
        ASSERT_TRUE(EvTask::setOption(jobId, 460525918, std::to_string(kClient)));
        ASSERT_TRUE(EvTask::setOption(jobId, 383853076, std::to_string(kDestinationId)));
    }

    SqlSimInstance destination;
};

TEST_F(OutOfPlaceRestoreJob, TheRestoredDatabaseEndsOnTheDestinationInstance) {
    Take('D', 100, 1000);
    Change(5, 1);
    Take('I', 200, 2000);
    const std::vector<std::string> source = Contents("Sales");
    RelocateToCopy();
    NameDestination(42);

    int status = 0;
    ASSERT_TRUE(Run(42, &status));
    EXPECT_EQ(1, status);
    EXPECT_EQ(SQLDB_STATE_ONLINE, DatabaseState(destination, "Copy"));
    std::vector<std::string> moved;
    for (const std::string& path : vditest::DataFiles(destination, "Copy")) moved.push_back(vditest::ReadAll(path));
    EXPECT_EQ(source, moved);
    EXPECT_EQ(root.File("moved/copy.mdf"), vditest::DataFiles(destination, "Copy").at(0));
    EXPECT_EQ(-1, DatabaseState(sim, "Copy")) << "detached from the instance restored to";
    EXPECT_EQ(source, Contents("Sales"));  // the source is untouched
}

}  // namespace
