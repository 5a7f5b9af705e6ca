// Recovery points: a clone request becomes restore options and a job
// context of its own, then the snapshot job's volumes get mount folders and
// test clone environments with the attach request stored on them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JXSnapHandler/SnapMountRegistry.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/restore/SqlCloneRecords.h"
#include "tests/JxSQLCommon/restore/CloneFixture.h"

namespace {

struct RecoveryPointJob : CSQLRestoreBase {
    using CSQLRestoreBase::m_jobResultsDirectory;
    using CSQLRestoreBase::m_restoreOptions;
    using CSQLCommon::m_jobId;
    using CSQLCommon::m_pRstJobClnt;
    using CSQLCommon::m_sServername;
};

// A clone request: source client 5 / instance 11, destination client 6 /
// instance 12 "node2/INST".
databrowse::BrowseRequest CloneRequest(int64_t sourceInstance, int64_t toTime) {
    using R = databrowse::BrowseRequest;
    CNMessageBase destination(18, 8);
    destination.setint64(19, 19, 6);
    destination.setint64(0, 0, 12);
    destination.setstring(1, 1, "node2/INST");
    CNMessageBase settings(100, 55);
    settings.setObjectAccessor(R::Database::kDestination, destination);
    CNMessageBase selection(100, 60);
    selection.setObjectAccessor(R::Selection::kDatabase, settings);
    CNMessageBase options(100, 61);
    options.setObjectAccessor(R::BrowseOptions::kSelection, selection);
    CNMessageBase advanced(100, 63);
    advanced.setint64(R::Advanced::kCopyPrecedence, 1);
    advanced.setObjectAccessor(R::Advanced::kBrowseOptions, options);
    JxEntities::GenericEntity source;
    source.setint64(JxEntities::GenericEntity::kClientId, 5);
    source.setint64(JxEntities::GenericEntity::kInstanceId, sourceInstance);
    CNMessageBase times(100, 64);
    times.setint64(R::TimeRange::kToTime, toTime);
    R request;
    request.setObjectAccessor(R::kAdvanced, advanced);
    request.setObjectAccessor(R::kEntity, source);
    request.setObjectAccessor(R::kTimeRange, times);
    return request;
}

class RecoveryPoint : public CloneTest {
protected:
    void SetUp() override {
        CloneTest::SetUp();
        JXPlatformInfo().setString("MSSQLAgent", "dHOME", root.File("home"));
        point.m_jobId = 91;
    }
    RecoveryPointJob point;
};

TEST_F(RecoveryPoint, PrepareVolumesMountPathAndCloneWithTheAttachRequestStored) {
    databrowse::BrowseRequest request = CloneRequest(11, 1700000000);
    ASSERT_TRUE(point.PrepareRestoreOptionsForRP(&request));
    EXPECT_EQ(point.m_restoreOptions.destinationInstanceId, 12u);
    EXPECT_EQ(point.m_restoreOptions.sourceClientId, 5u);
    EXPECT_EQ(point.m_restoreOptions.pointInTime, 1700000000u);
    EXPECT_EQ(point.m_sServername, "node2/INST");
    EXPECT_EQ(point.m_jobResultsDirectory, root.File("home") + "/RPJob_91");
    EXPECT_TRUE(Exists(point.m_jobResultsDirectory)) << "the job's folder is made";
    EXPECT_TRUE(point.m_pRstJobClnt);

    EntitiesForCloneOperation entities;
    ASSERT_TRUE(point.GetSnapVolumeInformation(kSnapJob, entities));
    ASSERT_EQ(entities.snapInfo.numOfVolume(), 1);
    EXPECT_TRUE(point.UpdateMountPathAndReserveTime(entities, root.File("rp"), 0, false));
    EXPECT_TRUE(entities.volumeMap.empty()) << "not applied";
    ASSERT_TRUE(point.UpdateMountPathAndReserveTime(entities, root.File("rp"), 0, true));
    ASSERT_EQ(entities.volumeMap.size(), 1u);
    const std::string mountPath = entities.volumeMap.begin()->second.mountPath;
    EXPECT_EQ(mountPath.rfind(root.File("rp") + "/", 0), 0u);
    EXPECT_EQ(entities.snapInfo.volumeListBegin()->getTestEnvReservationTime(), 3600);

    const std::string xml = "<attach request/>";
    ASSERT_TRUE(point.CreateCloneForRecoveryPoint(entities, xml, true));
    SnapMountRecord record;
    ASSERT_EQ(SnapMountRegistry::Load(kSnapJob, 91, record), 1);
    EXPECT_EQ(record.mountStatus, 59);
    ASSERT_EQ(record.metadata.size(), 1u);
    EXPECT_EQ(record.metadata[0].getMetaData(), xml);
    for (const std::string& file : snapped["sales"]) {
        EXPECT_EQ(jxtest::ReadWholeFile(mountPath + BaseName(file)), snappedBytes[BaseName(file)]);
    }
}

TEST_F(RecoveryPoint, IncompleteRequestsAreRefusedAndANullToTimeIsNow) {
    EXPECT_FALSE(point.PrepareRestoreOptionsForRP(nullptr));
    databrowse::BrowseRequest empty;
    EXPECT_FALSE(point.PrepareRestoreOptionsForRP(&empty));
    databrowse::BrowseRequest noSource = CloneRequest(0, 0);
    EXPECT_FALSE(point.PrepareRestoreOptionsForRP(&noSource));
    EXPECT_FALSE(Exists(root.File("home") + "/RPJob_91"));

    databrowse::BrowseRequest now = CloneRequest(11, 0);
    const uint64_t before = static_cast<uint64_t>(::time(nullptr));
    ASSERT_TRUE(point.PrepareRestoreOptionsForRP(&now));
    EXPECT_GE(point.m_restoreOptions.pointInTime, before);

    EntitiesForCloneOperation entities;
    EXPECT_TRUE(point.CreateCloneForRecoveryPoint(entities, "<x/>", false));
    EXPECT_TRUE(SnapMountRegistry::List().empty());
    ASSERT_TRUE(JXSnapClientAPI::ScriptFailure("createTestCloneEnvs", 60000, "no clone today"));
    ASSERT_TRUE(point.GetSnapVolumeInformation(kSnapJob, entities));
    ASSERT_TRUE(point.UpdateMountPathAndReserveTime(entities, root.File("rp"), 10, true));
    EXPECT_FALSE(point.CreateCloneForRecoveryPoint(entities, "<x/>", true));
    EXPECT_TRUE(SnapMountRegistry::List().empty());
}

}  // namespace
