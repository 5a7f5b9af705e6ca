// The backup-set record of a database: what reaches the central server, the
// refusals and the broken chain, the media metadata, and what the central
// server lets restores see.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLCommon/records/SqlBackupSetRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tools/jxserve/JxServeBackupSets.h"
#include "tools/jxserve/JxServeRestoreStore.h"

namespace {

using JobManager::SQLStatusTab;

// The metadata text of one backup as the VDI engine gives it.
std::string Metadata(const std::string& database, const std::string& type, const std::string& first,
                     const std::string& last, const std::string& checkpoint = "100",
                     const std::string& databaseBackup = "100") {
    SQLPmn::SQLDBBackupInfo info;
    info.setstring(SQLPmn::SQLDBBackupInfo::kDatabaseName, database);
    info.setstring(SQLPmn::SQLDBBackupInfo::kBackupType, type);
    info.setstring(SQLPmn::SQLDBBackupInfo::kFirstLsn, first);
    info.setstring(SQLPmn::SQLDBBackupInfo::kLastLsn, last);
    info.setstring(SQLPmn::SQLDBBackupInfo::kCheckpointLsn, checkpoint);
    info.setstring(SQLPmn::SQLDBBackupInfo::kDatabaseBackupLsn, databaseBackup);
    info.setint64(SQLPmn::SQLDBBackupInfo::kBackupStartDate, 1700000000);
    info.setint64(SQLPmn::SQLDBBackupInfo::kBackupFinishDate, 1700000100);
    SQLPmn::SQLFileBackupInfo file;
    file.setstring(SQLPmn::SQLFileBackupInfo::kPhysicalName, "/data/" + database + ".mdf");
    file.setstring(SQLPmn::SQLFileBackupInfo::kLogicalName, database);
    file.setstring(SQLPmn::SQLFileBackupInfo::kFilegroupName, "PRIMARY");
    file.setint64(SQLPmn::SQLFileBackupInfo::kFileSize, 65536);
    SQLPmn::SQLDBBackupMetadata metadata;
    metadata.setlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, std::vector<SQLPmn::SQLDBBackupInfo>{info});
    metadata.setlistobject(SQLPmn::SQLDBBackupMetadata::kFiles, std::vector<SQLPmn::SQLFileBackupInfo>{file});
    std::string xml;
    EXPECT_EQ(metadata.serialize(xml), kMsgOk);
    return xml;
}

// A job whose pipeline streams are replaced by fixed archive entries.
struct RecordingJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_promoteBrokenChain;
    bool setAfileInfoToRequestForVDI(SQLBackupSetInfoReq_VER5_t& request,
                                     SQLPmn::SQLBackupDatabaseMediaMetaInfo&) override {
        request.archives = new JXSQLBackupArchiveInfo_VER1_t[1];
        request.archiveCount = 1;
        request.archives[0].jxCellId = 2;
        request.archives[0].archiveFileId = 1000;
        request.archives[0].offset = 4096;
        return true;
    }
};

// A backup-set update of instance 7 with one archive entry, as a job's
// requester sends it to the central server.
struct SetUpdate {
    uint64_t jobId;
    std::string database, type, firstLsn, lastLsn, checkpointLsn, databaseBackupLsn;
    uint32_t archiveFileId;
    uint64_t offset;
};

// True when the central server stored (or took) it; `code` receives the
// requester's cause. A set of backup method `method`; a snapshot set (2)
// names its snapped `volume` in the archive entry.
bool SendSetUpdate(SetUpdate u, int* code, uint32_t method = 0, std::string volume = {}) {
    JXSQLBackupArchiveInfo_VER1_t archive;
    archive.jxCellId = 2;
    archive.archiveFileId = u.archiveFileId;
    archive.offset = u.offset;
    archive.sourcePath = volume.empty() ? nullptr : volume.data();
    SQLBackupSetInfoReq_VER5_t set;
    set.backupMethod = method;
    set.instanceId = 7;
    set.jobId = static_cast<uint32_t>(u.jobId);
    set.databaseName = u.database.data();
    set.backupType = u.type.data();
    set.firstLsn = u.firstLsn.data();
    set.lastLsn = u.lastLsn.data();
    set.checkpointLsn = u.checkpointLsn.data();
    set.databaseBackupLsn = u.databaseBackupLsn.data();
    set.archiveCount = 1;
    set.archives = &archive;
    CSQLClientDll client;
    client.getDataBuffer()->setExternalBuffer(&set, sizeof set);
    return client.updateBackupSetInfo(code);
}

class BackupSetTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
    }

    std::vector<jobmanager::JournalEntry> Causes(uint64_t jobId) { return Journal(jobId, "setPendingCause"); }

    RecordingJob job{71};
};

TEST_F(BackupSetTest, IncompleteMetadataSendsNothing) {
    // Any one LSN missing (first, last, checkpoint, database backup): nothing
    // is sent, so the server neither stores nor refuses anything.
    for (const std::string& xml : {Metadata("Sales", "D", "", "200"), Metadata("Sales", "D", "100", ""),
                                   Metadata("Sales", "D", "100", "200", ""),
                                   Metadata("Sales", "D", "100", "200", "100", "")}) {
        int code = -1;
        EXPECT_FALSE(job.sendBackupSetInfoToCS(xml, 0, "", &code, nullptr, true));
        EXPECT_EQ(code, 0);
    }
    EXPECT_TRUE(Causes(71).empty());
    int code = -1;
    EXPECT_FALSE(job.sendBackupSetInfoToCS("<not metadata", 0, "", &code, nullptr, true));
    EXPECT_FALSE(job.sendBackupSetInfoToCS(Metadata("Sales", "D", "100", "200"), 0, "", nullptr, nullptr, true));
    EXPECT_TRUE(JxServeStoredBackupSets().empty());
}

TEST_F(BackupSetTest, AcceptedRecordFillsTheStatusRowAndIsStoredWithFilesAndArchives) {
    SQLStatusTab tab;
    int code = -1;
    ASSERT_TRUE(job.sendBackupSetInfoToCS(Metadata("Sales", "D", "100", "200"), 0, "", &code, &tab, true));
    EXPECT_EQ(code, 0);
    EXPECT_EQ(tab.getstring(SQLStatusTab::kFirstLsn), "100");
    EXPECT_EQ(tab.getstring(SQLStatusTab::kLastLsn), "200");
    EXPECT_EQ(tab.getint64(SQLStatusTab::kBackupFinishDate), 1700000100);
    auto sets = JxServeStoredBackupSets();
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_EQ(sets[0].backupType, "D");
    EXPECT_EQ(sets[0].fileCount, 1u);
    EXPECT_EQ(sets[0].archiveCount, 1u);
    EXPECT_EQ(JxServeStoredArchives("Sales"),
              (std::vector<std::vector<std::pair<uint32_t, uint64_t>>>{{{1000u, 4096u}}}));
}

TEST_F(BackupSetTest, RefusedRecordStopsTheJobWithItsCause) {
    JxServeRefuseBackupSets("Sales", 9);
    int code = 0;
    EXPECT_FALSE(job.sendBackupSetInfoToCS(Metadata("Sales", "D", "100", "200"), 0, "", &code, nullptr, true));
    EXPECT_EQ(code, kCauseBackupSetRefused);
    EXPECT_TRUE(job.m_bJobFailed);
    auto causes = Causes(71);
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseBackupSetRefused));
    EXPECT_EQ(causes[0].List("args"), (std::vector<std::string>{"Sales"}));
}

TEST_F(BackupSetTest, LogOffTheChainIsConvertedToFullUnlessPromotionIsOff) {
    int code = 0;
    ASSERT_TRUE(job.sendBackupSetInfoToCS(Metadata("Sales", "D", "100", "200"), 0, "", &code, nullptr, true));
    ASSERT_TRUE(job.sendBackupSetInfoToCS(Metadata("Sales", "L", "200", "300"), 0, "", &code, nullptr, true));
    // A log backup made elsewhere took 300..400: this one starts at 400.
    SQLStatusTab tab;
    ASSERT_TRUE(job.sendBackupSetInfoToCS(Metadata("Sales", "L", "400", "500"), 0, "", &code, &tab, true));
    EXPECT_EQ(code, kCauseBrokenChain);
    EXPECT_FALSE(job.m_bJobFailed);
    EXPECT_EQ(tab.getint64(SQLStatusTab::kStatus), 4);
    EXPECT_EQ(tab.getint64(SQLStatusTab::kSkipReason), 13);
    EXPECT_EQ(tab.getint64(SQLStatusTab::kDatabasePhase), 1);
    EXPECT_EQ(tab.getstring(SQLStatusTab::kReason), "Broken chain detected for database [Sales].");
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "Sales\n");
    EXPECT_EQ(JxServeStoredBackupSets().size(), 2u);

    job.m_promoteBrokenChain = 0;
    EXPECT_FALSE(job.sendBackupSetInfoToCS(Metadata("Sales", "L", "400", "500"), 0, "", &code, nullptr, true));
    EXPECT_EQ(code, kCauseBrokenChain);
    auto causes = Causes(71);
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseBrokenChain));
}

TEST_F(BackupSetTest, ArchiveEntriesComeOnePerStreamWriterOrTheRecordIsNotSent) {
    jxtest::BackupJobUnderTest plain(72);
    int code = 0;
    // No backup ran: the pipeline has no writer for the job's streams.
    EXPECT_FALSE(plain.sendBackupSetInfoToCS(Metadata("Sales", "D", "100", "200"), 0, "", &code, nullptr, true));
    EXPECT_TRUE(JxServeStoredBackupSets().empty());
}

TEST_F(BackupSetTest, MediaMetadataIsQueuedAndSentOnFlush) {
    EXPECT_TRUE(job.updateMetaInfoToMedia(nullptr, true));  // nothing queued: nothing sent
    job.m_sendOptionalHeader = true;
    int code = 0;
    ASSERT_TRUE(job.sendBackupSetInfoToCS(Metadata("Sales", "D", "100", "200"), 0, "", &code, nullptr, false));
    ASSERT_EQ(job.m_mediaMetaInfo.size(), 1u);
    const SQLPmn::SQLBackupDatabaseMediaMetaInfo& media = job.m_mediaMetaInfo[0];
    EXPECT_EQ(media.getstring(SQLPmn::SQLBackupDatabaseMediaMetaInfo::kDatabaseName), "Sales");
    EXPECT_EQ(media.getint64(SQLPmn::SQLBackupDatabaseMediaMetaInfo::kApplicationType), 81);
    EXPECT_EQ(media.getlistobject(SQLPmn::SQLBackupDatabaseMediaMetaInfo::kFiles).size(), 1u);
    EXPECT_EQ(media.getlistobject(SQLPmn::SQLBackupDatabaseMediaMetaInfo::kArchives).size(), 0u);
    EXPECT_TRUE(job.updateMetaInfoToMedia(nullptr, true));
    EXPECT_TRUE(job.m_mediaMetaInfo.empty());
}

// Restores see the streamed sets whose data the media committed and every
// snapshot set; the clean-up of the job drops its other streamed sets.
TEST_F(BackupSetTest, RestoresSeeOnlySetsTheMediaCommittedAndTheCleanUpDropsTheOthers) {
    DiskLibrary media;
    ASSERT_TRUE(media.Open().IsSuccess());
    MediaArchiveFile afile;
    ASSERT_TRUE(media.CreateArchiveFile(2, 81, 1, afile).IsSuccess());
    MediaPiece committed;
    committed.archiveFileId = afile.id.archiveFileId;
    committed.offset = 0;
    committed.jobId = 81;
    committed.database = "HR";
    ASSERT_TRUE(media.AddPiece(committed).IsSuccess());
    ASSERT_TRUE(media.CommitPieces({committed.id}, 81, "0").IsSuccess());
    MediaPiece pending = committed;
    pending.offset = 4096;
    pending.database = "Sales";
    ASSERT_TRUE(media.AddPiece(pending).IsSuccess());

    auto send = [&](const char* database, uint64_t offset) {
        return SendSetUpdate({81, database, "D", "", "", "", "", afile.id.archiveFileId, offset}, nullptr);
    };
    ASSERT_TRUE(send("HR", 0));
    ASSERT_TRUE(send("Sales", 4096));

    JxServePublishCommittedSets();
    auto restoreStore = JxServeOpenRestoreStore();
    EXPECT_EQ(JxServeBackupsOf(*restoreStore, 7, "HR", 0).size(), 1u);
    EXPECT_TRUE(JxServeBackupsOf(*restoreStore, 7, "Sales", 0).empty());

    // A snapshot set: its data are in the snapshot, its archive file is
    // reserved and never written.
    MediaArchiveFile reserved;
    ASSERT_TRUE(media.CreateArchiveFile(2, 81, 2, reserved).IsSuccess());
    ASSERT_TRUE(SendSetUpdate({81, "Stock", "D", "", "", "", "", reserved.id.archiveFileId, 0}, nullptr, 2, "/vol"));
    CSQLClientDll client;
    std::vector<std::string> cleaned;
    ASSERT_TRUE(client.cleanUncommitedEntries(81, 'D', "Sales", cleaned));
    EXPECT_EQ(cleaned, (std::vector<std::string>{"Sales"}));
    EXPECT_EQ(JxServeStoredBackupSets().size(), 2u) << "the snapshot set stays";
    JxServePublishCommittedSets();
    const auto stock = JxServeBackupsOf(*restoreStore, 7, "Stock", 0);
    ASSERT_EQ(stock.size(), 1u);
    EXPECT_EQ(stock[0].word10, 2u);
    ASSERT_EQ(stock[0].archiveFiles.size(), 1u);
    EXPECT_EQ(stock[0].archiveFiles[0].archiveFileId, reserved.id.archiveFileId);
    EXPECT_EQ(stock[0].archiveFiles[0].path, "/vol");

    // Committed later, the set would have become visible; dropped, it never does.
    ASSERT_TRUE(media.CommitPieces({pending.id}, 81, "1").IsSuccess());
    JxServePublishCommittedSets();
    EXPECT_TRUE(JxServeBackupsOf(*restoreStore, 7, "Sales", 0).empty());
    EXPECT_EQ(JxServeBackupsOf(*restoreStore, 7, "HR", 0).size(), 1u);  // published once
}

// What the central server answers a set that builds on another: a streamed
// set of an earlier job whose data the media never committed can never be
// restored, so it is no base (6); one of the same job, whose commit may
// still come, a committed one, and a snapshot set (its data are in the
// snapshot, its archive file is reserved and never written) are.
TEST_F(BackupSetTest, ASetOfAnEarlierJobWhoseDataWereNeverCommittedIsNoBase) {
    DiskLibrary media;
    ASSERT_TRUE(media.Open().IsSuccess());
    MediaArchiveFile afile;
    ASSERT_TRUE(media.CreateArchiveFile(2, 80, 1, afile).IsSuccess());
    auto piece = [&](uint64_t offset, uint64_t jobId, bool commit) {
        MediaPiece p;
        p.archiveFileId = afile.id.archiveFileId;
        p.offset = offset;
        p.jobId = jobId;
        p.database = "Sales";
        ASSERT_TRUE(media.AddPiece(p).IsSuccess());
        if (commit) {
            ASSERT_TRUE(media.CommitPieces({p.id}, jobId, "0").IsSuccess());
        }
    };
    piece(0, 80, true);       // job 80's full backup
    piece(4096, 81, false);   // job 81's full backup and log, never committed
    piece(8192, 81, false);
    // The central server's answer (0 stored, 6 no base) to a set of job `jobId`.
    auto answer = [](const SetUpdate& update, uint32_t method = 0, const std::string& volume = {}) -> int {
        int code = 0;
        if (SendSetUpdate(update, &code, method, volume)) return 0;
        return code == kCauseBrokenChain ? 6 : -1;
    };
    auto send = [&](uint64_t jobId, const char* type, const char* first, const char* last, const char* checkpoint,
                    const char* base, uint64_t offset) -> int {
        return answer({jobId, "Sales", type, first, last, checkpoint, base, afile.id.archiveFileId, offset});
    };
    ASSERT_EQ(send(80, "D", "100", "200", "150", "0", 0), 0);
    ASSERT_EQ(send(81, "D", "300", "400", "350", "0", 4096), 0);
    EXPECT_EQ(send(81, "L", "400", "500", "350", "350", 8192), 0) << "its own job's full backup is a base";
    EXPECT_EQ(send(82, "L", "500", "600", "350", "350", 12288), 6) << "a log after job 81's log";
    EXPECT_EQ(send(82, "I", "500", "600", "550", "350", 12288), 6) << "a differential of job 81's full backup";
    EXPECT_EQ(send(82, "I", "500", "600", "550", "150", 12288), 0) << "a differential of job 80's full backup";
    EXPECT_EQ(send(82, "L", "200", "600", "150", "150", 12288), 0) << "a log after job 80's full backup";

    // Job 83 snapped Hr: its archive file is reserved, never written.
    MediaArchiveFile reserved;
    ASSERT_TRUE(media.CreateArchiveFile(2, 83, 1, reserved).IsSuccess());
    ASSERT_EQ(answer({83, "Hr", "D", "700", "800", "750", "0", reserved.id.archiveFileId, 0}, 2, "/volumes/data"), 0);
    EXPECT_EQ(answer({84, "Hr", "L", "800", "900", "750", "750", afile.id.archiveFileId, 16384}), 0)
        << "a log after job 83's snapshot full";
    EXPECT_EQ(answer({84, "Hr", "I", "800", "900", "850", "750", afile.id.archiveFileId, 20480}), 0)
        << "a differential of job 83's snapshot full";
    // Job 85 streamed Stock, but its archive entry names no piece.
    ASSERT_EQ(answer({85, "Stock", "D", "100", "200", "150", "0", afile.id.archiveFileId, 65536}), 0);
    EXPECT_EQ(answer({86, "Stock", "L", "200", "300", "150", "150", afile.id.archiveFileId, 24576}), 6)
        << "a log after job 85's full backup, whose data are nowhere";
}

TEST_F(BackupSetTest, FullJobLeavesOneCommittedSetPerDatabaseWithAnArchiveEntryPerStream) {
    MakeDatabases({"Sales", "HR"});
    JXPlatformInfo().setNumber("MSSQLAgent", "bCommitData", 1);
    ASSERT_TRUE(RunPhase(42, "-D"));
    auto sets = JxServeStoredBackupSets();
    ASSERT_EQ(sets.size(), 2u);
    for (const auto& set : sets) {
        EXPECT_EQ(set.backupType, "D");
        EXPECT_EQ(set.archiveCount, 2u);
        EXPECT_EQ(set.fileCount, 2u);
    }
    JxServePublishCommittedSets();
    auto restoreStore = JxServeOpenRestoreStore();
    for (const char* name : {"Sales", "HR"}) {
        auto backups = JxServeBackupsOf(*restoreStore, 7, name, 0);
        ASSERT_EQ(backups.size(), 1u) << name;
        EXPECT_EQ(backups[0].archiveFiles.size(), 2u);
        // What restores read beyond the chain: the time a restore to a point
        // is compared with, and the file groups a file-group restore learns.
        EXPECT_NE(backups[0].endTime, 0u);
        EXPECT_EQ(backups[0].referenceTime, backups[0].endTime);
        EXPECT_EQ(backups[0].fileGroups, std::vector<std::string>{"PRIMARY"}) << "the log file belongs to none";
        EXPECT_EQ(backups[0].dataFiles, std::vector<std::string>{name}) << "the data file's logical name";
    }
}

}  // namespace

namespace {

// The host answers sessions on threads of its own: readers that ask at the
// same time still see each committed set once.
TEST_F(BackupSetTest, ReadersAskingAtOnceSeeEachCommittedSetOnce) {
    const std::vector<std::string> names = {"Sales", "HR", "Stock", "Crm", "Web", "Ops"};
    MakeDatabases(names);
    ASSERT_TRUE(RunPhase(42, "-D"));
    std::atomic<int> waiting{static_cast<int>(names.size())};
    std::vector<std::thread> readers;
    for (const std::string& name : names) {
        readers.emplace_back([&waiting, name] {
            --waiting;
            while (waiting.load() > 0) std::this_thread::yield();
            (void)JxServeBackupsOf(*JxServeOpenRestoreStore(), 7, name, 0);  // its answer is checked below
        });
    }
    for (std::thread& t : readers) t.join();
    auto restoreStore = JxServeOpenRestoreStore();
    for (const std::string& name : names) EXPECT_EQ(JxServeBackupsOf(*restoreStore, 7, name, 0).size(), 1u) << name;
}

}  // namespace
