// A backup statement stopped while its threads are at work: held at an exact
// point by the engine's test switch, the stop lands, then they go on. The
// statement must end failed, with the stopped code when the job manager
// asked for the stop, and Finalize must say so.
#include <gtest/gtest.h>

#include <ostream>
#include <string>

#include "JxSQLVDIBase/CJxSQLVDI.h"
#include "JxSQLVDIBase/VdiTestHold.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr const char* kServer = "host/inst";
constexpr const char* kJobManagerStop = "The job manager asked the job to stop.";

// How the stop reaches the engine.
enum class StopBy {
    kPipeline,  // the pipeline saw the job manager's request: setQuit, then the abort
    kFinalize,  // the job ends the statement itself with Finalize(true)
};

struct StopCase {
    VdiTestPoint point;
    unsigned arrival;  // which arrival at the point is held
    int streams;
    StopBy by;
};

void PrintTo(const StopCase& c, std::ostream* out) {
    *out << (c.point == VdiTestPoint::kBlockPut ? "block put " : "between chunks ") << c.arrival << ", " << c.streams
         << " stream(s), stop by " << (c.by == StopBy::kPipeline ? "the pipeline" : "Finalize");
}

class VdiStopTest : public jxtest::RootedTest, public ::testing::WithParamInterface<StopCase> {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = kServer;
        ASSERT_FALSE(sim.Create(server).IsError());
        SqlSimDatabaseSpec db;
        db.name = "A";
        db.dataSize = 1024 * 1024;
        ASSERT_FALSE(sim.AddDatabase(db).IsError());
    }

    // A full backup of A that nobody serves: each device holds the header
    // and the first chunk of its stream before its buffers run out.
    void Start(CJxSQLVDI& engine, int streams) {
        engine.setVDIMaxTransferSize(64 * 1024);
        engine.setVDIBuffercount(static_cast<unsigned long>(4 * streams));
        engine.setNumberOfStreams(streams);
        engine.setVDITimeOut(60000);  // platform seconds: a minute of real time, never reached
        engine.setBackupType('D');
        ASSERT_TRUE(engine.Initialize());
        ASSERT_TRUE(engine.SetServerName(kServer, "A"));
        ASSERT_TRUE(engine.StartVDIOperation());
    }

    SqlSimLsnState State() {
        int64_t id = 0;
        SqlSimLsnState state;
        EXPECT_FALSE(sim.DatabaseId("A", id).IsError());
        EXPECT_FALSE(SqlSimChanges(sim).State(id, state).IsError());
        return state;
    }

    SqlSimInstance sim;
};

TEST_P(VdiStopTest, AStopEndsTheBackupFailedAsStoppedWhereverItsThreadsWere) {
    const StopCase c = GetParam();
    VdiTestHold hold(c.point, c.arrival, static_cast<unsigned>(c.streams));
    CJxSQLVDI engine;
    Start(engine, c.streams);
    ASSERT_TRUE(hold.WaitHeld());

    bool finalized = true;
    if (c.by == StopBy::kPipeline) {
        engine.setQuit(true);
        engine.AbortOperation(kJobManagerStop);
        hold.Release();
        finalized = engine.Finalize(false);
        EXPECT_EQ(engine.getJXErrorString(), kJobManagerStop);
    } else {
        // Finalize lets the held threads go once its stop has landed.
        finalized = engine.Finalize(true);
    }
    EXPECT_FALSE(finalized);
    EXPECT_TRUE(engine.queryFailed());
    EXPECT_EQ(engine.getJXErrorCode(), 3013) << engine.getJXErrorString();
    EXPECT_FALSE(engine.isVdiTimeOut());
    // Nothing of the cut-short backup counts: no base for a differential.
    EXPECT_EQ(State().lastFullLsn, 0u);
}

const StopCase kCases[] = {
    // The first chunk of the file (the header is the first block).
    {VdiTestPoint::kBlockPut, 2, 1, StopBy::kPipeline},
    {VdiTestPoint::kBlockPut, 2, 1, StopBy::kFinalize},
    // After the first chunk, before the next is read: one reader, or both
    // readers of two streams.
    {VdiTestPoint::kBetweenChunks, 1, 1, StopBy::kPipeline},
    {VdiTestPoint::kBetweenChunks, 1, 2, StopBy::kPipeline},
    {VdiTestPoint::kBetweenChunks, 1, 1, StopBy::kFinalize},
};

std::string CaseName(const ::testing::TestParamInfo<StopCase>& info) {
    std::string name = info.param.point == VdiTestPoint::kBlockPut ? "BlockPut" : "BetweenChunks";
    name += info.param.streams == 1 ? "OneStream" : "TwoStreams";
    return name + (info.param.by == StopBy::kPipeline ? "StopByPipeline" : "StopByFinalize");
}

INSTANTIATE_TEST_SUITE_P(HeldAt, VdiStopTest, ::testing::ValuesIn(kCases), CaseName);

}  // namespace
