// Test environments: with clones over iSCSI switched off, a clone job has
// the snapshot engine create a test clone environment per volume under the
// task's mount path and attaches the snapshot's databases from it; a
// recovery point builds the same from its own record.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "JXSnapHandler/SnapMountRegistry.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/SettingsFile.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
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

// A volume may lie above its files' folders: its environment holds the
// volume's whole tree, and each file is attached from the environment of the
// volume with the longest path that holds it. The volume "vol" does not hold
// "volume2", whose file is snapped as a volume of its own; the folder volume
// of the primary file takes only its own files, not the folders below it.
TEST_F(TestEnvironment, AFileBelowItsVolumesTopIsAttachedFromThatVolumesEnvironment) {
    const std::string primary = Files("node1/INST", "crm").front();
    const std::string data = primary.substr(0, primary.find_last_of('/'));
    for (const char* relative : {"vol/sub/crm_deep.ndf", "volume2/crm_side.ndf"}) {
        SqlSimFileSpec file;
        file.database = "crm";
        file.fileGroup = "PRIMARY";
        file.logicalName = BaseName(relative);
        file.physicalName = relative;
        ASSERT_TRUE(instance.AddFile(file).IsSuccess()) << relative;
    }
    root.WriteFile(data.substr(root.path().size() + 1) + "/vol/notes/readme.txt", "not a database file");
    Snap(600, {"crm"}, {data + "/vol"});
    std::map<std::string, std::string> bytes;   // file name -> bytes at the snapshot
    for (const std::string& file : Files("node1/INST", "crm")) {
        bytes[BaseName(file)] = jxtest::ReadWholeFile(file);
        Append(file, "changed after the snapshot");
    }
    ASSERT_EQ(bytes.size(), 4u);
    clone.databases = {Named("crm", "crm_clone")};
    clone.chains = {{"crm", SnapChain(600)}};

    ASSERT_TRUE(StartJob(clone, kJob));
    EXPECT_EQ(CompletedStatus(), "1");
    EXPECT_EQ(Folders(root.File("clones")).size(), 3u) << "the data folder, vol and volume2";
    const std::string clones = root.File("clones") + "/";
    const std::vector<std::string> files = Files("node2/INST", "crm_clone");
    ASSERT_EQ(files.size(), 4u);
    std::map<std::string, std::string> below;   // file name -> path below its environment's folder
    for (const std::string& file : files) {
        ASSERT_EQ(file.rfind(clones, 0), 0u) << file;
        const std::string rest = file.substr(clones.size());
        below[BaseName(file)] = rest.substr(rest.find('/') + 1);
        EXPECT_EQ(jxtest::ReadWholeFile(file), bytes[BaseName(file)]) << file;
    }
    EXPECT_EQ(below["crm_deep.ndf"], "sub/crm_deep.ndf");
    EXPECT_EQ(below["crm_side.ndf"], "crm_side.ndf");
    for (const std::string& file : files) {
        const std::string folder = file.substr(0, clones.size() + 37);
        if (BaseName(file) == "crm_deep.ndf") {
            EXPECT_EQ(jxtest::ReadWholeFile(folder + "notes/readme.txt"), "not a database file") << "the whole tree";
        } else if (BaseName(file) != "crm_side.ndf") {
            EXPECT_FALSE(Exists(folder + "vol")) << "a folder volume takes no sub-folder";
            EXPECT_FALSE(Exists(folder + "volume2"));
        }
    }
    EXPECT_EQ(DoNotBackup(), (std::list<std::string>{"crm_clone"}));
}

// The mapping itself: the longest volume path that holds a file wins, and a
// volume holds only what lies below its own folder.
TEST_F(TestEnvironment, AVolumeHoldsOnlyPathsBelowItsOwnFolder) {
    struct MappingJob : CloneRestoreJob {
        using CSQLRestoreBase::MapAttachRequestToMounts;
    } job;
    SMVolSnapInfo snaps;
    const std::vector<std::pair<std::string, std::string>> volumes = {{"/data", "/m/a/"}, {"/data/vol", "/m/b"}};
    for (size_t i = 0; i < volumes.size(); ++i) {
        SMVolumeInfo volume;
        volume.setSMVolumeId(static_cast<uint32_t>(i + 1));
        volume.setSourcePath(volumes[i].first);
        volume.setMountPath(volumes[i].second);
        snaps.addVolume(volume);
    }
    auto map = [&](const std::vector<std::string>& files, std::vector<std::string>& mapped) {
        SQLPmn::AttachDB entry;
        entry.setstring(SQLPmn::AttachDB::kAttachName, "crm");
        entry.setliststring(SQLPmn::AttachDB::kFilePaths, files);
        SQLPmn::AttachDBMsg message;
        message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
        std::map<std::string, SqlSMVolInfo> byPath;
        if (!job.MapAttachRequestToMounts(message, snaps, byPath, false)) return false;
        std::vector<SQLPmn::AttachDB> entries;
        EXPECT_TRUE(message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries));
        mapped = entries.at(0).getliststring(SQLPmn::AttachDB::kFilePaths);
        return true;
    };
    std::vector<std::string> mapped;
    ASSERT_TRUE(map({"/data/volume2/x.mdf", "/data/vol/sub/y.ndf", "/data/vol/z.ldf", "/data/a.mdf"}, mapped));
    EXPECT_EQ(mapped, (std::vector<std::string>{"/m/a/volume2/x.mdf", "/m/b/sub/y.ndf", "/m/b/z.ldf", "/m/a/a.mdf"}));
    EXPECT_FALSE(map({"/datax/a.mdf"}, mapped)) << "on no volume";
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
