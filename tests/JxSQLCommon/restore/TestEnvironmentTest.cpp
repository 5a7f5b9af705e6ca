// Test environments: with clones over iSCSI switched off, a clone job has
// the snapshot engine create a test clone environment per volume under the
// task's mount path and attaches the snapshot's databases from it; a
// recovery point builds the same from its own record.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "JXSnapHandler/SnapMountRegistry.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/SettingsFile.h"
#include "JxSQLCommon/restore/SqlCloneRecords.h"
#include "tests/JxSQLCommon/restore/CloneFixture.h"

namespace {

class TestEnvironment : public CloneTest {
protected:
    void SetUp() override {
        CloneTest::SetUp();
        JXGlobalParam::setProperty("bEnableClonesViaISCSI", "0");
    }
    // The source databases keep their files and their live bytes.
    void ExpectNoChange() {
        for (const auto& [name, files] : snapped) EXPECT_EQ(Files("node1/INST", name), files) << name;
    }
    std::vector<std::string> Folders(const std::string& path) {
        std::vector<std::string> names;
        (void)wz::Fs().ReadDirectory(path, names);
        return names;
    }
};

TEST_F(TestEnvironment, OneFolderPerVolumeUnderTheMountPathAttachedAndReservedForAnHour) {
    ASSERT_TRUE(EvTask::setOption(kJob, 136708744, "0"));
    SetMountPath(root.File("clones") + "/");
    ASSERT_TRUE(StartJob(clone, kJob));
    EXPECT_EQ(CompletedStatus(), "1");
    const std::vector<std::string> folders = Folders(root.File("clones"));
    ASSERT_EQ(folders.size(), 1u) << "one volume, one folder";
    EXPECT_EQ(folders[0].size(), 36u) << "a GUID";
    for (const char* name : {"sales_clone", "hr_clone"}) {
        const std::vector<std::string> files = Files("node2/INST", name);
        ASSERT_FALSE(files.empty()) << name;
        for (const std::string& file : files) {
            EXPECT_EQ(file.rfind(root.File("clones") + "/" + folders[0] + "/", 0), 0u) << file;
            EXPECT_EQ(jxtest::ReadWholeFile(file), snappedBytes[BaseName(file)]);
        }
    }
    EXPECT_EQ(DoNotBackup(), (std::list<std::string>{"sales_clone", "hr_clone"}));
    ExpectNoChange();
    SnapMountRecord record;
    ASSERT_EQ(SnapMountRegistry::Load(kSnapJob, kJob, record), 1);
    EXPECT_EQ(record.mountStatus, 59);
    const int64_t left = record.reserveUntil - SnapMountRegistry::NowSeconds();
    EXPECT_GT(left, 1200) << "more than the engine's default";
    EXPECT_LE(left, 3600);
    ASSERT_EQ(record.metadata.size(), 1u);
    EXPECT_EQ(record.metadata[0].getMetaDataType(), 38);
    EXPECT_EQ(record.metadata[0].getRefType(), 10);
    EXPECT_NE(record.metadata[0].getMetaData().find("hr_clone"), std::string::npos);
}

TEST_F(TestEnvironment, EachVolumeGetsItsOwnFolderAndTheReleaseUndoesTheEnvironment) {
    SqlSimFileSpec second;
    second.database = "crm";
    second.logicalName = "crm_log2";
    second.physicalName = "second/crm_log2.ldf";
    ASSERT_TRUE(instance.AddFile(second).IsSuccess());
    Snap(600, {"crm"});
    clone.databases = {Named("crm", "crm_clone")};
    clone.chains = {{"crm", SnapChain(600)}};
    ASSERT_TRUE(StartJob(clone, kJob));
    const std::vector<std::string> folders = Folders(root.File("clones"));
    ASSERT_EQ(folders.size(), 2u) << "two volumes, two folders";
    std::set<std::string> used;
    for (const std::string& file : Files("node2/INST", "crm_clone")) {
        used.insert(file.substr(0, file.find_last_of('/')));
        EXPECT_TRUE(Exists(file)) << file;
    }
    EXPECT_EQ(used.size(), 2u) << "the files come from both folders";
    EXPECT_EQ(DoNotBackup(), (std::list<std::string>{"crm_clone"}));

    // Once the reservation has passed, the release detaches the clone and
    // removes its folders; the source stays.
    std::vector<std::string> report;
    EXPECT_EQ(JXSnapClientAPI::releaseExpiredMounts(SnapMountRegistry::NowSeconds() + 7200, report), 1);
    EXPECT_TRUE(Files("node2/INST", "crm_clone").empty());
    EXPECT_TRUE(Folders(root.File("clones")).empty());
    EXPECT_FALSE(Files("node1/INST", "crm").empty());
}

TEST_F(TestEnvironment, TheLastRestoreOptionWithAMountPathNamesIt) {
    TMMsg::SqlServerRstOption first, none;
    first.setliststring(TMMsg::SqlServerRstOption::kCommonMountPaths, {root.File("first")});
    std::string firstText, noneText;
    ASSERT_EQ(kMsgOk, first.serialize(firstText));
    ASSERT_EQ(kMsgOk, none.serialize(noneText));
    // An option list: the first names a path, the second names none.
    SettingsFile task(EvTask::FilePath(kJob));
    ASSERT_TRUE(task.Remove("options", "439957546"));
    ASSERT_TRUE(task.Set("options", "439957546.0", firstText));
    ASSERT_TRUE(task.Set("options", "439957546.1", noneText));

    ASSERT_TRUE(StartJob(clone, kJob));
    EXPECT_EQ(Folders(root.File("first")).size(), 1u);
}

TEST_F(TestEnvironment, NoMountPathOrNoDatabaseOfTheSnapshotFailsWithNothingMounted) {
    SetMountPath("");
    EXPECT_FALSE(StartJob(clone, kJob));
    EXPECT_TRUE(SnapMountRegistry::List().empty());

    // A job whose databases the snapshot does not hold would mount the
    // volumes and attach nothing: it fails before the mount.
    SetMountPath(root.File("clones"));
    CloneRestoreJob other;
    other.optionFlags = 0;
    other.databases = {Named("crm", "crm_clone")};
    other.chains["crm"] = SnapChain(kSnapJob);
    EXPECT_FALSE(StartJob(other, 43));
    EXPECT_TRUE(SnapMountRegistry::List().empty());
    EXPECT_TRUE(Folders(root.File("clones")).empty());
}

TEST_F(TestEnvironment, RecoveryPointKeepsItsIdsWholeAndNeedsATestCloneEngine) {
    ASSERT_TRUE(InitializeClone());
    SqlRecoveryPointInfo_t point;
    point.idA = 0x100000005LL;
    point.idB = 0x200000006LL;
    point.idC = 0x300000007LL;
    point.clientId = 0x400000008LL;
    point.mountPath = root.File("rp");
    std::list<SqlRestoreDbInfo_t> dbs(clone.databases.begin(), clone.databases.end());
    for (SqlRestoreDbInfo_t& db : dbs) db.restoreChain = SnapChain(kSnapJob);

    ASSERT_TRUE(JXSnapClientAPI::SetEngineCapabilities(1, 0));
    EXPECT_FALSE(clone.createTestEnvironment(dbs, &point));
    EXPECT_FALSE(Exists(clone.m_jobResultsDirectory + "/500_Full_BCD.xml")) << "refused before any download";
    EXPECT_TRUE(SnapMountRegistry::List().empty());

    ASSERT_TRUE(JXSnapClientAPI::SetEngineCapabilities(1, 0x1000000));
    ASSERT_TRUE(clone.createTestEnvironment(dbs, &point));
    EXPECT_FALSE(Files("node2/INST", "sales_clone").empty());
    SnapMountRecord record;
    ASSERT_EQ(SnapMountRegistry::Load(kSnapJob, kJob, record), 1);
    ASSERT_FALSE(record.metadata.empty());
    const std::string request = record.metadata[0].getMetaData();
    for (int64_t id : {point.idA, point.idB, point.idC, point.clientId}) {
        EXPECT_NE(request.find(std::to_string(id)), std::string::npos) << id;
    }
    EXPECT_TRUE(Statuses().empty() || Statuses() == std::vector<std::string>{""}) << "no per-object status";
}

}  // namespace
