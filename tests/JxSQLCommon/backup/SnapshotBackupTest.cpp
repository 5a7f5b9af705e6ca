// Snapshot backups: the snapped copies, the records per database, the
// metadata files in the index, and the engines that record nothing.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JobResults/IndexCacheClient.h"
#include "JobResults/JobInfoIndexStore.h"
#include "JxLib/JXPlatformInfo.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tools/jobs/SnapshotBackupJob.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

// The snapshot job with its volume list and flags open to the test.
struct OpenSnapshotJob : SnapshotBackupJob {
    using CSQLBase::m_isDDRSnapshot;
    using CSQLBase::m_snapEngineType;
    using CSQLBase::m_snapVolInfo;
    using CSQLBackup::m_bIntegrityCheck;
};

class SnapshotBackupTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        AppModel::Set("subclient/1234", "snapBackup", "1");
        AppModel::Set("subclient/1234", "snapEngine", "2");
        AppModel::Set("client/2", "name", "node1");
        AppModel::Set("client/2", "hostName", "node1");
        AppModel::Set("client/2", "useIndexingV2ForMSSQL", "1");
        ASSERT_NE(JXPlatformInfo().setString("", "sPhysicalNodeName", "node1"), 0);
        ASSERT_NE(JXPlatformInfo().setString("Machines/node1", "dJOBRESULTSDIR", root.path()), 0);
    }

    std::string ResultsFile(uint64_t jobId, const std::string& name) {
        return root.File("JX_JobResults/Pelmanode/MSSQLAgent/2/1234/" + std::to_string(jobId) + "_Full_" + name);
    }
};

TEST_F(SnapshotBackupTest, FullJobCopiesTheVolumesAndRecordsEachDatabaseWithItsArchiveFile) {
    MakeDatabases({"Sales", "Hr"});
    OpenSnapshotJob job;
    ASSERT_TRUE(RunPhaseOf(job, 81, "-D", 1, {}));

    auto sets = JxServeStoredBackupSets();
    ASSERT_EQ(sets.size(), 2u);
    for (const auto& set : sets) {
        EXPECT_EQ(set.backupType, "D");
        EXPECT_EQ(set.fileCount, 3u) << "data, log and the snapshot placeholder";
        EXPECT_EQ(set.archiveCount, static_cast<uint64_t>(job.m_snapVolInfo.numOfVolume()));
    }
    ASSERT_GE(job.m_snapVolInfo.numOfVolume(), 1);
    const uint32_t archiveFile = job.m_snapVolInfo.volumeListBegin()->getArchFileId();
    EXPECT_NE(archiveFile, 0u);
    for (const auto& archives : JxServeStoredArchives("Sales")) {
        for (const auto& [id, offset] : archives) EXPECT_EQ(offset, 0u);
    }
    auto restores = JxServeOpenRestoreStore();
    const auto published = JxServeBackupsOf(*restores, 7, "Sales", 0);
    ASSERT_EQ(published.size(), 1u);
    EXPECT_FALSE(published[0].recoveryPath.empty()) << "the set carries its database's recovery path";

    // The copies hold the real bytes.
    SMVolSnapInfo snaps;
    snaps.setSnapJobId(81);
    ASSERT_TRUE(JXSnapClientAPI::getVolumeSnaps(snaps));
    ASSERT_EQ(snaps.numOfSnap(), job.m_snapVolInfo.numOfVolume());
    const SMVolumeInfo& volume = *snaps.volumeListBegin();
    std::vector<std::string> names;
    ASSERT_EQ(wz::Fs().ReadDirectory(volume.getSnapPath(), names), 0);
    EXPECT_FALSE(names.empty());
    for (const std::string& name : names) {
        EXPECT_EQ(jxtest::ReadWholeFile(volume.getSnapPath() + "/" + name),
                  jxtest::ReadWholeFile(volume.getSourcePath() + "/" + name));
    }

    // The metadata went to the index under "Snap" and left the results.
    const std::string indexed = JobInfoIndexStore::Directory(81) + "/" + std::to_string(archiveFile) + "/Snap/";
    EXPECT_TRUE(Exists(indexed + "81_Full_WRT.xml"));
    EXPECT_TRUE(Exists(indexed + "81_Full_BCD.xml"));
    EXPECT_FALSE(Exists(ResultsFile(81, "WRT.xml")));
    EXPECT_FALSE(Exists(ResultsFile(81, "BCD.xml")));
}

// A central server's store written before the backup method was kept
// opens, knows its snapshot sets by the volumes their archive entries name,
// and a log after such a full continues the chain.
TEST_F(SnapshotBackupTest, AStoreWrittenWithoutTheMethodStillTakesALogAfterItsSnapshotFull) {
    MakeDatabases({"Sales"});
    OpenSnapshotJob full;
    ASSERT_TRUE(RunPhaseOf(full, 81, "-D", 1, {}));
    ASSERT_NO_FATAL_FAILURE(jxtest::DropColumnFromStore("backup_sets", "backup_method"));

    SnapshotBackupJob log;
    ASSERT_TRUE(RunPhaseOf(log, 82, "-L", 1, {"-type", "2"}));
    auto sets = JxServeStoredBackupSets();
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[1].backupType, "L");
    EXPECT_EQ(sets[1].jobId, 82u);
    EXPECT_TRUE(Journal(82, "convertToFull").empty());
    auto restores = JxServeOpenRestoreStore();
    auto chain = JxServeBackupsOf(*restores, 7, "Sales", 0);
    ASSERT_FALSE(chain.empty());
    EXPECT_EQ(chain[0].backupType, 'D');
    EXPECT_EQ(chain[0].word10, 2u) << "the snapshot method";
    EXPECT_FALSE(chain[0].archiveFiles.empty());
    for (const auto& f : chain[0].archiveFiles) EXPECT_FALSE(f.path.empty()) << "the snapped volume";
}

TEST_F(SnapshotBackupTest, IndexingVersionOneUsesTheIndexCacheAndAnUnreadableVersionKeepsTheFiles) {
    MakeDatabases({"Sales"});
    AppModel::Set("client/2", "useIndexingV2ForMSSQL", "0");
    {
        OpenSnapshotJob job;
        ASSERT_TRUE(RunPhaseOf(job, 82, "-D", 1, {}));
        EXPECT_EQ(JxServeStoredBackupSets().size(), 1u);
    }
    EXPECT_TRUE(Exists(IndexCacheClient::Directory(82) + "/82_Full_BCD.xml"));
    EXPECT_TRUE(Exists(IndexCacheClient::Directory(82) + "/closed"));

    AppModel::Set("client/2", "useIndexingV2ForMSSQL", "");
    OpenSnapshotJob job;
    ASSERT_TRUE(RunPhaseOf(job, 83, "-D", 1, {}));
    EXPECT_EQ(JxServeStoredBackupSets().size(), 1u) << "no record without the index upload";
    EXPECT_TRUE(Exists(ResultsFile(83, "BCD.xml")));
}

TEST_F(SnapshotBackupTest, ReplicatingEnginesRecordNothing) {
    MakeDatabases({"Sales"});
    for (uint64_t engine : {15u, 48u}) {
        OpenSnapshotJob job;
        job.m_snapEngineType = engine;
        std::vector<std::string> databases = {"Sales"};
        EXPECT_FALSE(job.CSQLBackup::doVSSSnapBackup(databases));
        EXPECT_TRUE(job.m_isDDRSnapshot);
    }
    EXPECT_TRUE(JxServeStoredBackupSets().empty());
}

struct VolumeJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBase::m_snapVolInfo;
    void AddVolume(const std::string& path, uint32_t archiveFile) {
        SMVolumeInfo v;
        v.setSourcePath(path);
        v.setArchFileId(archiveFile);
        m_snapVolInfo.addVolume(v);
    }
};

TEST_F(SnapshotBackupTest, MetadataGoesOnceIntoEachArchiveFileOfTheVolumes) {
    const std::string file = root.File("meta/90_Full_BCD.xml");
    root.WriteFile("meta/90_Full_BCD.xml", "<x/>");
    VolumeJob job(90);
    std::vector<std::string> files = {file};
    EXPECT_FALSE(job.uploadMetadataToIndex(files)) << "no volume, no archive file to index under";

    job.AddVolume("/v1", 15);
    job.AddVolume("/v2", 12);
    job.AddVolume("/v3", 12);
    ASSERT_TRUE(job.uploadMetadataToIndex(files));
    const std::string store = JobInfoIndexStore::Directory(90);
    EXPECT_TRUE(Exists(store + "/12/Snap/90_Full_BCD.xml"));
    EXPECT_TRUE(Exists(store + "/15/Snap15/90_Full_BCD.xml"));
    EXPECT_FALSE(Exists(store + "/12/Snap12"));

    std::vector<std::string> missing = {root.File("meta/none.xml")};
    EXPECT_FALSE(job.uploadMetadataToIndex(missing));
}

TEST_F(SnapshotBackupTest, ArchiveFilesAreReservedPerVolumeAndDeletedSnapshotsAreGone) {
    MakeDatabases({"Sales"});
    VolumeJob job(91);
    std::vector<std::string> none;
    EXPECT_TRUE(job.reserveArchFileForVolume(none));
    EXPECT_EQ(job.m_snapVolInfo.numOfVolume(), 0);
    std::vector<std::string> two = {"/a", "/b"};
    ASSERT_TRUE(job.reserveArchFileForVolume(two));
    ASSERT_EQ(job.m_snapVolInfo.numOfVolume(), 2);
    EXPECT_NE(job.m_snapVolInfo.volumeListBegin()->getArchFileId(),
              std::next(job.m_snapVolInfo.volumeListBegin())->getArchFileId());

    EXPECT_FALSE(job.updateSnapshotInfo()) << "no snapshot of the job yet";
    JXSnapClientAPI::SnapRequest request;
    request.jobId = 91;
    request.instance = "HOST/INST";
    request.databases = {"Sales"};
    request.metadataDirectory = root.path();
    request.levelName = "Full";
    std::vector<std::string> volumes;
    std::string error;
    ASSERT_TRUE(JXSnapClientAPI::snapDatabases(request, volumes, error)) << error;
    ASSERT_TRUE(job.updateSnapshotInfo());
    EXPECT_EQ(job.m_snapVolInfo.numOfSnap(), 1);
    EXPECT_TRUE(job.DeleteVolumeSnapshots());
    EXPECT_FALSE(Exists(JXSnapClientAPI::StoreDirectory(91)));

    request.databases = {"Nope"};
    EXPECT_FALSE(JXSnapClientAPI::snapDatabases(request, volumes, error));
    EXPECT_FALSE(Exists(JXSnapClientAPI::StoreDirectory(91)));
}

}  // namespace
