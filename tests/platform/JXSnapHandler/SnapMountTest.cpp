// Mounted sets as the engine keeps them: a second mount for the same job is
// answered with the first one's paths, status and metadata survive in the
// record, and the release of a passed reservation detaches what was
// attached from the mount and removes it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JXSnapHandler/SnapMountRegistry.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "tests/platform/JXSnapHandler/SalesSnapshot.h"
#include "tests/platform/JxsqlDMO/AttachRequestXml.h"
#include "tests/support/TestRoot.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class SnapMountTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        std::vector<std::string> volumes;
        ASSERT_TRUE(snaptest::SnapSales(instance, 7, root.path(), volumes));
    }
    // The set of snap job 7 as a mount for job `job`, each volume at `base`/<n>/.
    SMVolSnapInfo Set(uint64_t job, const std::string& base) {
        SMVolSnapInfo snaps;
        snaps.setSnapJobId(7);
        snaps.setJobId(job);
        EXPECT_TRUE(JXSnapClientAPI::getVolumeSnaps(snaps));
        for (auto v = snaps.volumeListBegin(); v != snaps.volumeListEnd(); ++v) {
            v->setMountPath(root.File(base) + "/" + std::to_string(v->getSMVolumeId()) + "/");
        }
        return snaps;
    }
    static std::string AttachRequest(const std::string& name, const std::string& file) {
        return dmotest::AttachRequestXml("HOST/INST", {{name, file}});
    }

    SqlSimInstance instance;
};

TEST_F(SnapMountTest, VolumesComeWithIdsSnapshotsAndTheirEngine) {
    ASSERT_TRUE(JXSnapClientAPI::SetVolumeFlags(7, 1, 0x20000));
    SMVolSnapInfo snaps = Set(1, "m");
    ASSERT_EQ(snaps.numOfVolume(), 1);
    const SMVolumeInfo& v = *snaps.volumeListBegin();
    EXPECT_EQ(v.getSMVolumeId(), 1u);
    EXPECT_EQ(v.getVolumeFlags(), 0x20000u);
    const SMSnapInfo* snap = snaps.GetSnapInfoByVolumeId(1);
    ASSERT_NE(snap, nullptr);
    EXPECT_EQ(snap->getSnapSourceDevice(), v.getSourcePath());
    EXPECT_EQ(snap->getSnapDevice(), v.getSnapPath());
    EXPECT_EQ(snaps.GetSnapInfoByVolumeId(2), nullptr);
    ASSERT_EQ(snaps.snapEngineList().size(), 1u);
    EXPECT_TRUE(snaps.snapEngineList().front().hasCapability(kSnapEngineCanTestClone));

    ASSERT_TRUE(JXSnapClientAPI::SetSnapEngineForJob(7, 12));
    ASSERT_TRUE(JXSnapClientAPI::SetEngineCapabilities(12, 0x4));
    SMVolSnapInfo other = Set(1, "m");
    EXPECT_EQ(other.getSnapEngineIdForVolume(1), 12u);
    EXPECT_FALSE(other.snapEngineList().front().hasCapability(kSnapEngineCanTestClone));
}

TEST_F(SnapMountTest, ScriptedFailuresComeOnceWithTheirCodeAndText) {
    ASSERT_TRUE(JXSnapClientAPI::ScriptFailure("getVolumeSnaps", 60214, "busy"));
    SMVolSnapInfo snaps;
    snaps.setSnapJobId(7);
    EXPECT_FALSE(JXSnapClientAPI::getVolumeSnaps(snaps));
    EXPECT_EQ(snaps.getErrorCode(), 60214);
    EXPECT_EQ(snaps.getErrorString(), "busy");
    std::string text;
    EXPECT_EQ(JXSnapClientAPI::getErrCodeAndStr(text), 60214);
    EXPECT_TRUE(JXSnapClientAPI::getVolumeSnaps(snaps)) << "a scripted failure is used up";
    EXPECT_EQ(JXSnapClientAPI::getErrCodeAndStr(text), 0);
}

TEST_F(SnapMountTest, SecondMountForTheJobAnswersTheMountedPaths) {
    SMVolSnapInfo first = Set(1, "first");
    ASSERT_TRUE(JXSnapClientAPI::mountVolumes(first));
    const std::string mounted = first.volumeListBegin()->getMountPath();
    EXPECT_TRUE(Exists(mounted + "Sales.mdf"));

    SMVolSnapInfo again = Set(1, "second");
    EXPECT_FALSE(JXSnapClientAPI::mountVolumes(again));
    std::string text;
    EXPECT_EQ(JXSnapClientAPI::getErrCodeAndStr(text), JXSnapClientAPI::kErrAlreadyMounted);
    EXPECT_EQ(again.volumeListBegin()->getMountPath(), mounted);
    EXPECT_FALSE(Exists(root.File("second")));

    SMVolSnapInfo otherJob = Set(2, "third");
    ASSERT_TRUE(JXSnapClientAPI::mountVolumes(otherJob)) << "another job mounts its own copy";
    ASSERT_TRUE(JXSnapClientAPI::unmountVolumes(first));
    EXPECT_FALSE(Exists(mounted));
    SMVolSnapInfo afterUnmount = Set(1, "fourth");
    EXPECT_TRUE(JXSnapClientAPI::mountVolumes(afterUnmount));
}

TEST_F(SnapMountTest, StatusAndMetadataAreKeptAndExtendingNeedsAMount) {
    SMVolSnapInfo snaps = Set(1, "m");
    EXPECT_FALSE(JXSnapClientAPI::extendSnapVolumeMount(snaps, 0, 20));
    ASSERT_TRUE(JXSnapClientAPI::mountVolumes(snaps));
    snaps.setMountStatus(kSMMountStatusAttached);
    SMMetaDataInfo item;
    item.setMetaDataType(kSMMetaDataAttachRequest);
    item.setRefType(1);
    item.setRefId(1);
    item.setMetaData("first\nline\twith tab \\ slash");
    snaps.addMetaData(item, true);
    item.setMetaData("second");
    snaps.addMetaData(item, true);
    ASSERT_EQ(snaps.metaDataList().size(), 1u) << "same type and reference replaces";
    item.setMetaData("first\nline\twith tab \\ slash");
    snaps.addMetaData(item, true);
    ASSERT_TRUE(JXSnapClientAPI::updateVolumeSnaps(snaps));
    ASSERT_TRUE(JXSnapClientAPI::extendSnapVolumeMount(snaps, 0, 30));

    SnapMountRecord record;
    ASSERT_EQ(SnapMountRegistry::Load(7, 1, record), 1);
    EXPECT_EQ(record.mountStatus, kSMMountStatusAttached);
    ASSERT_EQ(record.metadata.size(), 1u);
    EXPECT_EQ(record.metadata[0].getMetaData(), "first\nline\twith tab \\ slash");
    EXPECT_GE(record.reserveUntil, SnapMountRegistry::NowSeconds() + 29 * 60);
    ASSERT_EQ(record.volumes.size(), 1u);
    EXPECT_EQ(record.volumes[0].mountPath, snaps.volumeListBegin()->getMountPath());
    EXPECT_FALSE(JXSnapClientAPI::extendSnapVolumeMount(snaps, -1, 0));
}

TEST_F(SnapMountTest, DamagedRecordsAreRefusedNotGuessed) {
    SnapMountRecord record;
    for (const char* text : {"", "snapJob\t7\n", "snapJob\t7\njob\t1\nvolume\tx\ta\tb\n",
                             "snapJob\t7\njob\t1\nmeta\t38\t1\t1\tbad\\q\n", "snapJob\t7\njob\t1\nextra\t1\n",
                             "snapJob\t-7\njob\t1\n"}) {
        EXPECT_FALSE(SnapMountRegistry::Decode(text, record)) << text;
    }
    root.WriteFile("snapshots/mounts/7_1", "garbage");
    SMVolSnapInfo snaps = Set(1, "m");
    EXPECT_FALSE(JXSnapClientAPI::mountVolumes(snaps));
    std::vector<std::string> report;
    EXPECT_EQ(JXSnapClientAPI::releaseExpiredMounts(SnapMountRegistry::NowSeconds(), report), 0);
    ASSERT_EQ(report.size(), 1u);
    EXPECT_NE(report[0].find("damaged"), std::string::npos);
}

TEST_F(SnapMountTest, ReleaseDetachesWhatWasAttachedFromThePassedMountOnly) {
    SMVolSnapInfo snaps = Set(1, "m");
    ASSERT_TRUE(JXSnapClientAPI::mountVolumes(snaps));
    const std::string mount = snaps.volumeListBegin()->getMountPath();
    std::string error;
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.initialize("HOST/INST"));
    std::string files = mount + "Sales.mdf";
    ASSERT_TRUE(dmo.AttachDatabases(AttachRequest("Sales_browse", files), error)) << error;
    SMMetaDataInfo item;
    item.setMetaDataType(kSMMetaDataAttachRequest);
    item.setRefType(1);
    item.setRefId(1);
    // The request also names the live database, whose files lie elsewhere.
    item.setMetaData(AttachRequest("Sales_browse", files));
    snaps.addMetaData(item, true);
    item.setRefId(2);
    item.setMetaData(AttachRequest("Sales", files));
    snaps.addMetaData(item, true);
    ASSERT_TRUE(JXSnapClientAPI::updateVolumeSnaps(snaps));
    ASSERT_TRUE(JXSnapClientAPI::extendSnapVolumeMount(snaps, 0, 20));

    std::vector<std::string> report;
    EXPECT_EQ(JXSnapClientAPI::releaseExpiredMounts(SnapMountRegistry::NowSeconds(), report), 0);
    EXPECT_TRUE(dmo.isDatabaseExists("Sales_browse")) << "the reservation has not passed";

    ASSERT_TRUE(JXSnapClientAPI::extendSnapVolumeMount(snaps, 0, 0));
    EXPECT_EQ(JXSnapClientAPI::releaseExpiredMounts(SnapMountRegistry::NowSeconds(), report), 1);
    CsqlDMO after;
    ASSERT_TRUE(after.initialize("HOST/INST"));
    EXPECT_FALSE(after.isDatabaseExists("Sales_browse"));
    EXPECT_TRUE(after.isDatabaseExists("Sales")) << "the live database is not the mount's";
    EXPECT_FALSE(Exists(mount));
    SnapMountRecord record;
    EXPECT_EQ(SnapMountRegistry::Load(7, 1, record), 0);
    EXPECT_TRUE(Exists(snaps.volumeListBegin()->getSnapPath() + "/Sales.mdf")) << "the snapshot itself stays";
}

}  // namespace
