// Mounting a database's full snapshot for a live browse: the mount, the
// attach of the browsed database from the mounted copy, path translation,
// a second mount that only extends the reservation, and the release once
// the reservation has passed.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <list>
#include <map>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/ApplProperties.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JXSnapHandler/SnapMountRegistry.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFileSystem.h"
#include "WzUtils/WzPauseFile.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kSnapJob = 4711;
constexpr const char* kInstance = "node1/INST";

// A browse job whose chain and metadata come from the test: the chain names
// the snapshot job, and the "download" copies the files the snapshot wrote.
struct MountJob : TestRestoreJob {
    using CSQLRestoreBase::m_mountedSnapInfo;
    using CSQLRestoreBase::m_mountedVolumeMap;
    using CSQLRestoreBase::m_restoredDbCount;
    using CSQLRestoreBase::m_vsaBackupMount;
    using CSQLCommon::m_jobResultsDirectory;

    bool getAFilesForMountDatabase(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain, uint64_t instanceId,
                                   unsigned int toTime) override {
        askedDatabase = db.sDbName;
        askedInstance = instanceId;
        askedTime = toTime;
        for (const SqlAFilesPerBackup_t& b : backups) chain.push_back(b);
        return !chain.empty();
    }
    bool downloadMetadata(uint64_t, SqlSnapJobDetails_t& details, GetArchFileInfoForSnapJob_Ret_t&) override {
        for (const char* kind : {"_BCD.xml", "_WRT.xml"}) {
            const std::string name = std::to_string(details.jobId) + "_Full" + kind;
            const std::string text = jxtest::ReadWholeFile(metadataFolder + "/" + name);
            if (text.empty() || !wz::WriteFileAtomically(m_jobResultsDirectory + "/" + name, text)) return false;
        }
        return true;
    }

    std::list<SqlAFilesPerBackup_t> backups;
    std::string metadataFolder;
    std::string askedDatabase;
    uint64_t askedInstance = 0;
    unsigned int askedTime = 0;
};

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

class MountDbSnapTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        setenv(wz::kPauseRootEnv, root.path().c_str(), 1);  // no pause file of the machine applies
        JXPlatformInfo settings;
        settings.setString("", "sPhysicalNodeName", "node1");
        settings.setString("Machines/node1", "dJOBRESULTSDIR", root.File("jr"));
        ASSERT_EQ(0, wz::MakeDirectoryTree(root.File("jr")));
        SqlSimServerSpec server;
        server.name = kInstance;
        ASSERT_FALSE(instance.Create(server).IsError());
        SqlSimDatabaseSpec db;
        db.name = "Sales";
        ASSERT_FALSE(instance.AddDatabase(db).IsError());
        JXSnapClientAPI::SnapRequest snap;
        snap.jobId = kSnapJob;
        snap.instance = kInstance;
        snap.databases = {"Sales"};
        snap.metadataDirectory = root.File("snapmeta");
        ASSERT_EQ(0, wz::MakeDirectoryTree(snap.metadataDirectory));
        snap.levelName = "Full";
        ASSERT_TRUE(JXSnapClientAPI::snapDatabases(snap, volumes, error)) << error;
        ASSERT_EQ(volumes.size(), 1u);
        CsqlDMO reader;
        ASSERT_TRUE(reader.getDatabaseFilePaths(kInstance, "Sales", salesFiles, error)) << error;
        // The default backup set of the instance with its "Do Not Backup" subclient.
        AppModel::Set("backupset/50", "clientId", "2");
        AppModel::Set("backupset/50", "instanceId", "7");
        AppModel::Set("backupset/50", "isDefault", "1");
        AppModel::Set("subclient/9", "name", "Do Not Backup");
        AppModel::Set("subclient/9", "backupSetId", "50");
    }

    void TearDown() override { unsetenv(wz::kPauseRootEnv); }

    void Prepare(MountJob& job) {
        SqlAFilesPerBackup_t full;
        full.jobId = kSnapJob;
        full.backupType = 'D';
        full.backupMethod = 2;
        full.endTime = 1700000000;
        job.backups = {full};
        job.metadataFolder = root.File("snapmeta");
    }

    // A browse request for Sales, restored as `restoreName`, at `toTime`.
    static databrowse::BrowseRequest Request(const std::string& restoreName, int64_t toTime = 0) {
        using BR = databrowse::BrowseRequest;
        JxEntities::GenericEntity entity;
        entity.setint64(JxEntities::GenericEntity::kInstanceId, 7);
        entity.setint64(JxEntities::GenericEntity::kClientId, 2);
        CNMessageBase range(100, 64);
        range.setint64(BR::TimeRange::kToTime, toTime);
        JxEntities::GenericEntity destination;
        destination.setstring(JxEntities::GenericEntity::kInstanceName, kInstance);
        CNMessageBase database(100, 55);
        database.setstring(BR::Database::kName, "Sales");
        database.setstring(BR::Database::kRestoreName, restoreName);
        database.setObjectAccessor(BR::Database::kDestination, destination);
        database.setliststring(BR::Database::kLogicalNames, {"x", "Sales"});
        database.setliststring(BR::Database::kPhysicalPaths, {"x", "/data/Sales.mdf"});
        CNMessageBase selection(100, 60);
        selection.setObjectAccessor(BR::Selection::kDatabase, database);
        CNMessageBase options(100, 61);
        options.setObjectAccessor(BR::BrowseOptions::kSelection, selection);
        CNMessageBase advanced(100, 63);
        advanced.setObjectAccessor(BR::Advanced::kBrowseOptions, options);
        BR request;
        request.setObjectAccessor(BR::kEntity, entity);
        request.setObjectAccessor(BR::kTimeRange, range);
        request.setObjectAccessor(BR::kAdvanced, advanced);
        return request;
    }

    bool DatabaseExists(const std::string& name) {
        CsqlDMO dmo;
        return dmo.initialize(kInstance) && dmo.isDatabaseExists(name);
    }

    SqlSimInstance instance;
    std::vector<std::string> volumes;
    std::vector<std::string> salesFiles;
    std::string error;
};

TEST_F(MountDbSnapTest, MountsAttachesTranslatesAndIsReleasedWhenTheReservationPasses) {
    MountJob job;
    Prepare(job);
    databrowse::BrowseRequest request = Request("Sales_browse");
    uint64_t mountId = 0;
    ASSERT_TRUE(job.MountDbSnap(&request, mountId));
    EXPECT_EQ(mountId, kSnapJob);
    EXPECT_EQ(job.askedDatabase, "Sales");
    EXPECT_EQ(job.askedInstance, 7u);
    EXPECT_GT(job.askedTime, 1600000000u) << "browse time 0 means now";
    EXPECT_EQ(job.m_restoredDbCount, 1u);
    EXPECT_TRUE(DatabaseExists("Sales_browse"));
    EXPECT_TRUE(DatabaseExists("Sales")) << "the live database is untouched";

    // The attached copy runs from the mount under the job-results directory.
    std::vector<std::string> files;
    CsqlDMO dmo;
    ASSERT_TRUE(dmo.getDatabaseFilePaths(kInstance, "Sales_browse", files, error)) << error;
    const std::string mount = job.m_mountedSnapInfo.volumeListBegin()->getMountPath();
    ASSERT_EQ(mount.rfind(root.File("jr") + "/", 0), 0u) << mount;
    for (const std::string& file : files) EXPECT_EQ(file.rfind(mount, 0), 0u) << file;

    std::string translated;
    ASSERT_TRUE(job.TranslatePath(salesFiles[0].c_str(), translated, 0, "Sales"));
    EXPECT_EQ(translated, mount + salesFiles[0].substr(volumes[0].size() + 1));
    EXPECT_EQ(jxtest::ReadWholeFile(translated), jxtest::ReadWholeFile(salesFiles[0]));
    EXPECT_FALSE(job.TranslatePath((volumes[0] + "x/Sales.mdf").c_str(), translated, 0, "Sales"));
    std::string upper = volumes[0];
    upper.back() = static_cast<char>(std::toupper(static_cast<unsigned char>(upper.back())));
    ASSERT_NE(upper, volumes[0]);
    EXPECT_FALSE(job.TranslatePath((upper + "/Sales.mdf").c_str(), translated, 0, "Sales")) << "names are exact";

    // The attached database is kept out of automatic discovery.
    PropertiesList content;
    ASSERT_EQ(ApplProperties(9).getProperties(content, nullptr), 0);
    ASSERT_EQ(content.getList().size(), 1u);
    EXPECT_EQ(content.getList().front()->getValue(), "Sales_browse");

    // A second browse finds the set mounted: it only extends the reservation
    // and translates into the copy that is mounted.
    MountJob again;
    Prepare(again);
    uint64_t secondId = 0;
    ASSERT_TRUE(again.MountDbSnap(&request, secondId));
    EXPECT_EQ(secondId, kSnapJob);
    std::string secondPath;
    ASSERT_TRUE(again.TranslatePath(salesFiles[0].c_str(), secondPath, 0, "Sales"));
    EXPECT_EQ(secondPath, translated);
    EXPECT_TRUE(Exists(secondPath));

    // Released once the 20 minutes have passed, not before.
    std::vector<std::string> report;
    EXPECT_EQ(JXSnapClientAPI::releaseExpiredMounts(SnapMountRegistry::NowSeconds() + 60, report), 0);
    EXPECT_TRUE(DatabaseExists("Sales_browse"));
    EXPECT_EQ(JXSnapClientAPI::releaseExpiredMounts(SnapMountRegistry::NowSeconds() + 21 * 60, report), 1);
    EXPECT_FALSE(DatabaseExists("Sales_browse"));
    EXPECT_TRUE(DatabaseExists("Sales"));
    EXPECT_FALSE(Exists(mount));
}

TEST_F(MountDbSnapTest, SessionTimeoutSettingSetsTheReservation) {
    JXPlatformInfo().setNumber("Pelmanode", "nAppMiningSessionTimeoutInMinutes", 90);
    MountJob job;
    Prepare(job);
    databrowse::BrowseRequest request = Request("Sales_browse");
    uint64_t mountId = 0;
    ASSERT_TRUE(job.MountDbSnap(&request, mountId));
    SnapMountRecord record;
    ASSERT_EQ(SnapMountRegistry::Load(kSnapJob, 0xFFFE1DC0u, record), 1);
    EXPECT_GE(record.reserveUntil, SnapMountRegistry::NowSeconds() + 89 * 60);
    EXPECT_EQ(record.mountStatus, kSMMountStatusAttached);
    ASSERT_EQ(record.metadata.size(), 1u);
    EXPECT_EQ(record.metadata[0].getMetaDataType(), kSMMetaDataAttachRequest);
}

TEST_F(MountDbSnapTest, FailuresBeforeTheAttachLeaveNothingAttached) {
    databrowse::BrowseRequest request = Request("Sales_browse");
    uint64_t mountId = 99;
    {
        MountJob job;  // the chain holds no full snapshot backup
        Prepare(job);
        job.backups.front().backupMethod = 0;
        EXPECT_FALSE(job.MountDbSnap(&request, mountId));
        EXPECT_EQ(mountId, 0u);
    }
    {
        MountJob job;  // a mount error other than "already mounted"
        Prepare(job);
        ASSERT_TRUE(JXSnapClientAPI::ScriptFailure("mountVolumes", 5, "no space"));
        EXPECT_FALSE(job.MountDbSnap(&request, mountId));
        EXPECT_EQ(mountId, kSnapJob);
    }
    {
        MountJob job;  // the engine says the set is mounted for this job already
        Prepare(job);
        ASSERT_TRUE(JXSnapClientAPI::ScriptFailure("mountVolumes", 60214, "mounted"));
        EXPECT_TRUE(job.MountDbSnap(&request, mountId));
        EXPECT_EQ(mountId, kSnapJob);
    }
    {
        MountJob job;  // the live name: the attach fails and the set records it
        Prepare(job);
        databrowse::BrowseRequest live = Request("");
        EXPECT_FALSE(job.MountDbSnap(&live, mountId));
        SnapMountRecord record;
        ASSERT_EQ(SnapMountRegistry::Load(kSnapJob, 0xFFFE1DC0u, record), 1);
        EXPECT_EQ(record.mountStatus, kSMMountStatusAttachFailed);
    }
    EXPECT_FALSE(DatabaseExists("Sales_browse"));
    EXPECT_TRUE(DatabaseExists("Sales"));
    MountJob job;
    EXPECT_FALSE(job.MountDbSnap(nullptr, mountId));
    databrowse::BrowseRequest empty;
    EXPECT_FALSE(job.MountDbSnap(&empty, mountId));
}

TEST_F(MountDbSnapTest, VirtualMachineBackupsTranslateThroughTheVolumeMap) {
    ASSERT_TRUE(JXSnapClientAPI::SetVolumeFlags(kSnapJob, 1, kSMVolumeFlagVsa));
    MountJob job;
    Prepare(job);
    databrowse::BrowseRequest request = Request("Sales_browse");
    uint64_t mountId = 0;
    ASSERT_TRUE(job.MountDbSnap(&request, mountId));
    EXPECT_TRUE(job.m_vsaBackupMount);
    EXPECT_TRUE(DatabaseExists("Sales_browse"));
    std::string translated;
    ASSERT_TRUE(job.TranslatePath(salesFiles[0].c_str(), translated, 0, "Other"));
    EXPECT_TRUE(Exists(translated)) << translated;
    const std::vector<std::string>& names = job.m_mountedVolumeMap.at("1").databases;
    EXPECT_NE(std::find(names.begin(), names.end(), "Other"), names.end());
    // Without the volume's entry there is no mounted copy to point at.
    job.m_mountedVolumeMap.clear();
    EXPECT_FALSE(job.TranslatePath(salesFiles[0].c_str(), translated, 0, "Sales"));
}

TEST(MountDriveTest, SourceVolumeMustMatchExactly) {
    SMVolSnapInfo snaps;
    for (uint32_t id : {1u, 2u}) {
        SMVolumeInfo volume;
        volume.setSMVolumeId(id);
        snaps.addVolume(volume);
        SMSnapInfo snap;
        snap.setVolumeId(id);
        snap.setSnapSourceDevice(id == 1 ? "/data" : "/Data");
        snap.setSnapDevice("/snap/" + std::to_string(id));
        snaps.addSnapInfo(snap);
    }
    TestRestoreJob job;
    std::string drive;
    ASSERT_TRUE(job.GetMountDrive(&snaps, "/Data", drive));
    EXPECT_EQ(drive, "/snap/2");
    EXPECT_FALSE(job.GetMountDrive(&snaps, "/DATA", drive));
    EXPECT_FALSE(job.GetMountDrive(nullptr, "/data", drive));
}

}  // namespace
