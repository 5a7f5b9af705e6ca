// Clone jobs: the databases of one snapshot job are attached under new names
// on the destination from mounted copies of the snapshot's volumes; what is
// skipped, what fails before anything is mounted, and what an overwrite may
// take and must give back.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvRstTask.h"
#include "JXSnapHandler/SnapMountRegistry.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/EvDebug.h"
#include "JxLib/JXGlobalParam.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CloneForAppAware.h"
#include "JxSQLCommon/restore/CloneResultCodes.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/JxSQLCommon/restore/CloneFixture.h"

namespace {

bool Contains(const std::vector<std::string>& list, const std::string& item) {
    return std::find(list.begin(), list.end(), item) != list.end();
}

class CloneEnvironment : public CloneTest {
protected:
    // Every file of a clone lies in a folder of its own under the mount path
    // and holds the bytes the snapshot took.
    void ExpectClonedFromSnapshot(const std::string& instanceName, const std::string& cloneName) {
        const std::vector<std::string> files = Files(instanceName, cloneName);
        ASSERT_FALSE(files.empty()) << cloneName << " is not attached";
        for (const std::string& file : files) {
            EXPECT_EQ(file.rfind(root.File("clones") + "/", 0), 0u) << file;
            EXPECT_EQ(jxtest::ReadWholeFile(file), snappedBytes[BaseName(file)]) << file;
        }
    }
    void ExpectSourcesUntouched() {
        for (const auto& [name, files] : snapped) {
            EXPECT_EQ(Files("node1/INST", name), files) << name;
            for (const std::string& file : files) {
                EXPECT_EQ(jxtest::ReadWholeFile(file), snappedBytes[BaseName(file)] + "changed after the snapshot");
            }
        }
    }
    bool NothingMounted() {
        std::vector<std::string> names;
        const bool none = wz::Fs().ReadDirectory(root.File("clones"), names) != 0 || names.empty();
        return none && SnapMountRegistry::List().empty();
    }
};

TEST_F(CloneEnvironment, TwoDatabasesOfOneSnapshotAreAttachedUnderNewNamesFromTheSnapshotsBytes) {
    ASSERT_TRUE(StartJob(clone, kJob));
    EXPECT_EQ(CompletedStatus(), "1");
    ExpectClonedFromSnapshot("node2/INST", "sales_clone");
    ExpectClonedFromSnapshot("node2/INST", "hr_clone");
    EXPECT_TRUE(Files("node2/INST", "sales").empty()) << "nothing under the source names";
    ExpectSourcesUntouched();
    const std::vector<std::string> statuses = Statuses();
    EXPECT_TRUE(Contains(statuses, "5 sales_clone"));
    EXPECT_TRUE(Contains(statuses, "5 hr_clone"));
    EXPECT_EQ(DoNotBackup(), (std::list<std::string>{"sales_clone", "hr_clone"}));

    // The mount is recorded attached, with the attach request that its
    // release detaches, and was made through the default proxy (the source).
    SnapMountRecord record;
    ASSERT_EQ(SnapMountRegistry::Load(kSnapJob, kJob, record), 1);
    EXPECT_EQ(record.mountStatus, 59);
    ASSERT_FALSE(record.metadata.empty());
    EXPECT_EQ(record.metadata.front().getMetaDataType(), 38);
    EXPECT_NE(record.metadata.front().getMetaData().find("sales_clone"), std::string::npos);
    EXPECT_EQ(clone.m_snapCopyRestoreHandler.getCloneProxyClientId(), 5u);
}

TEST_F(CloneEnvironment, OnTheSourceInstanceADatabaseKeepingItsNameIsSkipped) {
    clone.destinationInstance = 11;
    clone.destinationName = "node1/INST";
    clone.databases = {Database("sales"), Named("hr", "HR"), Named("hr", "hr_copy")};
    ASSERT_TRUE(StartJob(clone, kJob));
    const std::vector<std::string> statuses = Statuses();
    EXPECT_TRUE(Contains(statuses, "4 sales")) << "same name on the source instance";
    EXPECT_TRUE(Contains(statuses, "4 HR")) << "a new name that differs only in case";
    EXPECT_TRUE(Contains(statuses, "5 hr_copy"));
    ExpectClonedFromSnapshot("node1/INST", "hr_copy");
    ExpectSourcesUntouched();
}

TEST_F(CloneEnvironment, DatabasesOfTwoSnapshotJobsFailAndNothingIsMounted) {
    Snap(600, {"crm"});
    clone.databases.push_back(Named("crm", "crm_clone"));
    clone.chains["crm"] = SnapChain(600);
    EXPECT_FALSE(StartJob(clone, kJob));
    EXPECT_TRUE(Contains(Causes(), jobmanager::JournalId(kCauseSeveralSnapJobs)));
    EXPECT_TRUE(NothingMounted());
    EXPECT_TRUE(Files("node2/INST", "sales_clone").empty());
}

TEST_F(CloneEnvironment, WithoutAMountPathTheJobFailsBeforeMounting) {
    SetMountPath("");
    EXPECT_FALSE(StartJob(clone, kJob));
    EXPECT_TRUE(NothingMounted());
    ASSERT_TRUE(InitializeClone());
    EvRstTask task(kJob);
    std::string path;
    int seconds = 0;
    uint64_t proxy = 0;
    CWzError e = clone.GetCloneTaskOptions(task, path, seconds, proxy);
    EXPECT_EQ(FXErrorUtil::GetJXResult(e), kCloneNotQualified);
    SetMountPath("relative/clones");
    e = clone.GetCloneTaskOptions(task, path, seconds, proxy);
    EXPECT_EQ(FXErrorUtil::GetJXResult(e), kCloneNotQualified) << "a mount path from the task must be absolute";
    SetMountPath(root.File("clones"));
    ASSERT_TRUE(EvTask::setOption(kJob, 136708744, "0"));
    ASSERT_TRUE(EvTask::setOption(kJob, 162972553, "7"));
    ASSERT_FALSE(clone.GetCloneTaskOptions(task, path, seconds, proxy).IsError());
    EXPECT_EQ(path, root.File("clones"));
    EXPECT_EQ(seconds, 3600) << "no reservation is one hour";
    EXPECT_EQ(proxy, 7u);
}

// A database without a full snapshot backup is skipped with its reason and
// counted, not dropped unseen; the others are cloned.
TEST_F(CloneEnvironment, ADatabaseWithoutASnapshotJobIsSkippedAndCounted) {
    clone.databases.push_back(Named("crm", "crm_clone"));
    clone.chains["crm"] = {Backup('D', 700)};   // a streamed full backup
    ASSERT_TRUE(StartJob(clone, kJob));
    EXPECT_EQ(CompletedStatus(), "3");
    const std::vector<std::string> statuses = Statuses();
    EXPECT_TRUE(Contains(statuses, "4 crm_clone"));
    EXPECT_TRUE(Contains(statuses, "5 sales_clone"));
    EXPECT_FALSE(Journal("setNumSkipped2Add").empty());
    EXPECT_TRUE(Files("node2/INST", "crm_clone").empty());
}

// The overwrite pass takes only an earlier clone under the mount path, and
// gives it back when the new clone fails; a live database of that name
// elsewhere fails the clone before anything is detached or mounted.
TEST_F(CloneEnvironment, OverwriteTakesOnlyEarlierClonesAndGivesThemBackOnFailure) {
    ASSERT_TRUE(StartJob(clone, kJob));
    const std::vector<std::string> earlier = Files("node2/INST", "sales_clone");
    ASSERT_FALSE(earlier.empty());

    MakeCloneJob(43);
    CloneRestoreJob again;
    again.optionFlags = kRstOverwrite;
    again.databases = clone.databases;
    again.chains = clone.chains;
    ASSERT_TRUE(JXSnapClientAPI::ScriptFailure("mountVolumes", 60000, "no volume today"));
    EXPECT_FALSE(StartJob(again, 43));
    const std::string log = jxtest::ReadWholeFile(EvDebug::LogFilePath());
    EXPECT_NE(log.find("Failed to mount the SNAP volumes of backup job"), std::string::npos) << "the mount failed";
    EXPECT_NE(log.find("Attached database [sales_clone] back"), std::string::npos);
    EXPECT_EQ(Files("node2/INST", "sales_clone"), earlier) << "attached back with its files";

    SqlSimDatabaseSpec live;
    live.name = "live_clone";
    ASSERT_TRUE(destination.AddDatabase(live).IsSuccess());
    const std::vector<std::string> liveFiles = Files("node2/INST", "live_clone");
    MakeCloneJob(44);
    CloneRestoreJob third;
    third.optionFlags = kRstOverwrite;
    third.databases = {Named("sales", "live_clone")};
    third.chains = clone.chains;
    EXPECT_FALSE(StartJob(third, 44));
    EXPECT_EQ(Files("node2/INST", "live_clone"), liveFiles);
    SnapMountRecord record;
    EXPECT_EQ(SnapMountRegistry::Load(kSnapJob, 44, record), 0) << "nothing mounted for it";
}

TEST_F(CloneEnvironment, AFailedAttachRecordsTheMountAsFailedAndRaisesItsCause) {
    SqlSimDatabaseSpec taken;
    taken.name = "hr_clone";
    ASSERT_TRUE(destination.AddDatabase(taken).IsSuccess());
    EXPECT_FALSE(StartJob(clone, kJob));
    EXPECT_TRUE(Contains(Causes(), jobmanager::JournalId(kCauseCloneAttach)));
    SnapMountRecord record;
    ASSERT_EQ(SnapMountRegistry::Load(kSnapJob, kJob, record), 1);
    EXPECT_EQ(record.mountStatus, 58);
    EXPECT_TRUE(Files("node2/INST", "sales_clone").empty()) << "all or nothing";
}

// The databases are attached even when their mount status cannot be
// stored: the job fails, but they are counted and kept out of backups.
TEST_F(CloneEnvironment, AFailedStoreOfTheMountStatusStillRegistersTheClones) {
    ASSERT_TRUE(JXSnapClientAPI::ScriptFailure("updateVolumeSnaps", 60000, "store unavailable"));
    EXPECT_FALSE(StartJob(clone, kJob));
    EXPECT_FALSE(Files("node2/INST", "sales_clone").empty());
    EXPECT_EQ(DoNotBackup(), (std::list<std::string>{"sales_clone", "hr_clone"}));
    EXPECT_TRUE(Contains(Statuses(), "5 hr_clone"));
}

TEST_F(CloneEnvironment, AttachRequestFailsForADatabaseTheSnapshotDoesNotHold) {
    ASSERT_TRUE(InitializeClone());
    std::list<SqlRestoreDbInfo_t> dbs = {Named("crm", "crm_clone")};
    SqlRestoreTaskOptions_t options;
    options.destinationInstanceId = 12;
    ASSERT_TRUE(clone.m_snapCopyRestoreHandler.Initialize(2, kSnapJob, kJob, options, nullptr, "", "", false, {"crm"}));
    std::string folder = clone.m_jobResultsDirectory;
    ASSERT_TRUE(clone.m_snapCopyRestoreHandler.CreateFolderInDirectory(folder, "metadata_500"));
    ASSERT_TRUE(clone.m_snapCopyRestoreHandler.getRestoreMetadata(folder));
    ASSERT_TRUE(clone.m_snapCopyRestoreHandler.GetVolumeInformationForClone());
    ASSERT_TRUE(clone.m_snapCopyRestoreHandler.SetVolumeMountLocationAndReservation(root.File("clones"), 0));
    SQLPmn::AttachDBMsg message;
    std::string xml;
    EXPECT_EQ(FXErrorUtil::GetJXResult(clone.GetAttachXmlMessage(dbs, message, xml)), kCloneNoAttachRequest);
    std::string name = "../up";
    EXPECT_FALSE(clone.m_snapCopyRestoreHandler.CreateFolderInDirectory(folder, name));
}

TEST_F(CloneEnvironment, BrowseCloneRefusesADatabaseNameThatLeavesTheMountDirectory) {
    ASSERT_TRUE(InitializeClone());
    databrowse::BrowseRequest request;
    bool appAware = true;
    EXPECT_FALSE(clone.InitializeCloneOperation(nullptr, Database("sales"), appAware));
    for (const char* bad : {"../sales", "a/b", ".."}) {
        SqlRestoreDbInfo_t db = Named("sales", "x");
        db.sDbName = bad;
        clone.chains[bad] = SnapChain(kSnapJob);
        EXPECT_FALSE(clone.InitializeCloneOperation(&request, db, appAware)) << bad;
    }
    EXPECT_TRUE(root.Escapes().empty());
}

// A reservation that is negative or longer than the largest int of seconds
// is refused before any folder is made; the longest one that fits is taken.
TEST_F(CloneEnvironment, BrowseCloneRefusesANegativeOrOverlongReservation) {
    ASSERT_TRUE(InitializeClone());
    const std::string jobResults = clone.m_jobResultsDirectory;
    const std::string mounts = root.File("ProductionDataMounts");
    auto request = [](int64_t days, int64_t hours) {
        using Request = databrowse::BrowseRequest;
        CNMessageBase settings(100, 55);
        settings.setint64(Request::Database::kReservationDays, days);
        settings.setint64(Request::Database::kReservationHours, hours);
        CNMessageBase selection(100, 60);
        selection.setObjectAccessor(Request::Selection::kDatabase, settings);
        CNMessageBase options(100, 61);
        options.setObjectAccessor(Request::BrowseOptions::kSelection, selection);
        CNMessageBase advanced(100, 63);
        advanced.setObjectAccessor(Request::Advanced::kBrowseOptions, options);
        Request r;
        r.setObjectAccessor(Request::kAdvanced, advanced);
        return r;
    };
    const int64_t maxDays = 24855;  // 24855 days and 3 hours fit in an int of seconds; one more hour does not
    for (auto [days, hours] : std::vector<std::pair<int64_t, int64_t>>{
             {-1, 0}, {0, -1}, {maxDays, 4}, {maxDays + 1, 0}, {0, 596524}, {INT64_MAX / 2, 0}, {0, INT64_MAX / 2}}) {
        databrowse::BrowseRequest r = request(days, hours);
        bool appAware = false;
        EXPECT_FALSE(clone.InitializeCloneOperation(&r, Named("sales", "sales_clone"), appAware)) << days << " " << hours;
        EXPECT_EQ(clone.m_jobResultsDirectory, jobResults);
        EXPECT_FALSE(std::filesystem::exists(mounts)) << "nothing made";
    }
    const std::string log = jxtest::ReadWholeFile(EvDebug::LogFilePath());
    EXPECT_NE(log.find("[-1] days and [0] hours"), std::string::npos);

    databrowse::BrowseRequest longest = request(maxDays, 3);
    bool appAware = true;
    ASSERT_TRUE(clone.InitializeCloneOperation(&longest, Named("sales", "sales_clone"), appAware));
    EXPECT_FALSE(clone.m_snapCopyRestoreHandler.getCloneSnapInfo().volumeListBegin()->getMountPath().empty());
}

// An application-aware snapshot is prepared but given no mount location
// unless clones of such backups are allowed.
TEST_F(CloneEnvironment, BrowseCloneOfAnApplicationAwareSnapshotMountsOnlyWhenAllowed) {
    ASSERT_TRUE(InitializeClone());
    ASSERT_TRUE(JXSnapClientAPI::SetVolumeFlags(kSnapJob, 1, 0x20000));
    databrowse::BrowseRequest request;
    bool appAware = false;
    ASSERT_TRUE(clone.InitializeCloneOperation(&request, Named("sales", "sales_clone"), appAware));
    EXPECT_TRUE(appAware);
    EXPECT_TRUE(clone.m_snapCopyRestoreHandler.getCloneSnapInfo().volumeListBegin()->getMountPath().empty());

    JXGlobalParam::setProperty("nAllowCloneForAppAware", " 1 ");
    ASSERT_TRUE(clone.InitializeCloneOperation(&request, Named("sales", "sales_clone"), appAware));
    EXPECT_FALSE(appAware);
    const std::string mountPath = clone.m_snapCopyRestoreHandler.getCloneSnapInfo().volumeListBegin()->getMountPath();
    EXPECT_EQ(mountPath.rfind(root.path() + "/ProductionDataMounts/SnapVolumeMounts/sales_", 0), 0u) << mountPath;
}

TEST(CloneForAppAware, FollowsTheGlobalParameter) {
    jxtest::TestRoot root;
    EXPECT_FALSE(IsCloneEnabledForAppAware());
    JXGlobalParam::setProperty("nAllowCloneForAppAware", " 1 ");
    EXPECT_TRUE(IsCloneEnabledForAppAware());
    JXGlobalParam::setProperty("nAllowCloneForAppAware", "0");
    EXPECT_FALSE(IsCloneEnabledForAppAware());
}

}  // namespace
