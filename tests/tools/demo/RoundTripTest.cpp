// The round trip through the job programs as the job manager starts them:
// the demo's whole sequence on a small database, the demo program run twice,
// a broken chain, and a stop request during a backup.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "JxJobClient/JXJobCtrlClient.h"
#include "JxJobClient/JobJournal.h"
#include "JxJobClient/JobJournalReader.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/TestRoot.h"
#include "tools/demo/RoundTrip.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

using jobmanager::JobJournalReader;

constexpr uint64_t kMiB = 1024 * 1024;

RoundTripPrograms Programs() { return {JX_BACKUP_PROGRAM, JX_RESTORE_PROGRAM, JX_SERVE_LIBRARY, JX_SQL_LIBRARY}; }

// The demo's output, kept out of the test's log unless it fails.
class Output {
public:
    Output() : m_file(std::tmpfile()) {}
    ~Output() {
        if (m_file != nullptr) std::fclose(m_file);
    }
    FILE* get() { return m_file; }
    std::string Text() {
        std::string text;
        std::rewind(m_file);
        char buffer[4096];
        size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, m_file)) > 0) text.append(buffer, n);
        return text;
    }

private:
    FILE* m_file;
};

std::vector<MediaPiece> PiecesOfJob(uint64_t jobId) {
    DiskLibrary library;
    std::vector<MediaArchiveFile> files;
    EXPECT_TRUE(library.Open().IsSuccess());
    EXPECT_TRUE(library.ListArchiveFiles(files).IsSuccess());
    std::vector<MediaPiece> out;
    for (const MediaArchiveFile& f : files) {
        if (f.jobId != jobId) continue;
        std::vector<MediaPiece> pieces;
        EXPECT_TRUE(library.PiecesOf(f.id.archiveFileId, pieces).IsSuccess());
        out.insert(out.end(), pieces.begin(), pieces.end());
    }
    return out;
}

std::vector<MediaArchiveFile> ArchiveFilesOfJob(uint64_t jobId) {
    DiskLibrary library;
    std::vector<MediaArchiveFile> files;
    EXPECT_TRUE(library.Open().IsSuccess());
    EXPECT_TRUE(library.ListArchiveFiles(files).IsSuccess());
    std::vector<MediaArchiveFile> out;
    for (const MediaArchiveFile& f : files) {
        if (f.jobId == jobId) out.push_back(f);
    }
    return out;
}

class RoundTripTest : public jxtest::RootedTest {};

TEST_F(RoundTripTest, BackupsThenRestoresGiveTheSourceAndThePointInTime) {
    RoundTrip trip(Programs(), 2 * kMiB);
    Output out;
    ASSERT_EQ(trip.RunDemo(out.get()), 0) << out.Text();
    const std::string text = out.Text();
    EXPECT_NE(text.find("equal byte for byte"), std::string::npos) << text;
    EXPECT_NE(text.find("hold exactly the changes up to that time"), std::string::npos) << text;
    ASSERT_EQ(trip.Jobs().size(), 6u);
    for (const JobSummary& job : trip.Jobs()) {
        SCOPED_TRACE(job.jobId);
        EXPECT_EQ(job.status, 1);
        EXPECT_EQ(job.databases.size(), 1u);
        EXPECT_GT(job.bytes, 0u);
    }
    // The full backup holds the three data files; the log backups only what changed.
    EXPECT_GE(trip.Jobs()[0].bytes, 2 * kMiB);
    EXPECT_LT(trip.Jobs()[3].bytes, trip.Jobs()[0].bytes);
    EXPECT_EQ(trip.State("ShopCopy"), "ONLINE");
    EXPECT_EQ(trip.State("ShopStandby"), "STANDBY");
}

TEST_F(RoundTripTest, DemoProgramRunTwiceStartsFromAnEmptyRootEachTime) {
    const std::string root = this->root.path() + "/demo";
    ::setenv(wz::kPlatformRootEnv, root.c_str(), 1);
    for (int run = 1; run <= 2; ++run) {
        SCOPED_TRACE(run);
        const JobProgramRun done = JobLauncher::Run(JX_DEMO_PROGRAM, {});
        EXPECT_EQ(done.exitStatus, 0);
        // One run's jobs only: six journals, not twelve.
        size_t journals = 0;
        for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(root + "/jobmanager")) ++journals;
        EXPECT_EQ(journals, 6u);
    }
    ::setenv(wz::kPlatformRootEnv, this->root.path().c_str(), 1);
    // A root the demo did not make is left alone.
    const std::string other = this->root.path() + "/other";
    ASSERT_EQ(wz::MakeDirectoryTree(other), 0);
    this->root.WriteFile("other/keep", "data");
    ::setenv(wz::kPlatformRootEnv, other.c_str(), 1);
    EXPECT_EQ(JobLauncher::Run(JX_DEMO_PROGRAM, {}).exitStatus, 1);
    ::setenv(wz::kPlatformRootEnv, this->root.path().c_str(), 1);
    EXPECT_EQ(this->root.ReadFile("other/keep"), "data");
}

TEST_F(RoundTripTest, MissingLogArchiveFileFailsTheRestoreNamingTheBackup) {
    RoundTrip trip(Programs(), 1 * kMiB);
    ASSERT_TRUE(trip.SetUp().IsSuccess());
    ASSERT_EQ(trip.Backup(1, 'D').status, 1);
    ASSERT_TRUE(trip.Change(8, 1).IsSuccess());
    ASSERT_EQ(trip.Backup(2, 'L').status, 1);
    ASSERT_TRUE(trip.Change(8, 2).IsSuccess());
    ASSERT_EQ(trip.Backup(3, 'L').status, 1);
    const auto files = ArchiveFilesOfJob(2);
    ASSERT_EQ(files.size(), 1u);
    ASSERT_TRUE(std::filesystem::remove(files[0].path));

    const JobSummary restore = trip.Restore(4, 1, "ShopCopy", root.File("restored"), 0, false);
    EXPECT_EQ(restore.status, 2) << "the job manager sees the job failed";
    const auto complete = JobJournalReader::WithOp(JobJournalReader::Read(4).value(), "complete");
    ASSERT_EQ(complete.size(), 1u);
    EXPECT_EQ(complete[0].Get("status"), "2");
    std::string args;
    for (const std::string& a : restore.causeArgs) args += a + "|";
    EXPECT_FALSE(restore.cause.empty());
    EXPECT_NE(args.find("Archive file " + std::to_string(files[0].id.archiveFileId)), std::string::npos) << args;
    EXPECT_NE(args.find("type L of database [Shop] by job 2"), std::string::npos) << args;
    EXPECT_NE(trip.State("ShopCopy"), "ONLINE");
}

TEST_F(RoundTripTest, StopRequestDuringABackupEndsTheJobWithoutACommittedSet) {
    RoundTrip trip(Programs(), 256 * kMiB);
    ASSERT_TRUE(trip.SetUp().IsSuccess());
    JobLauncher job;
    ASSERT_TRUE(job.Start(JX_BACKUP_PROGRAM, trip.BackupArguments(1, 'D')));
    // The stop comes once the job reports the database it transfers; a job
    // that ends without getting there ends the wait too.
    bool transferring = false;
    bool ended = false;
    for (int tries = 0; tries < 600000 && !transferring && !ended; ++tries) {
        const auto entries = JobJournalReader::Read(1);
        transferring = entries && !JobJournalReader::WithOp(*entries, "setActiveFile").empty();
        ended = entries && (!JobJournalReader::WithOp(*entries, "setPendingCause").empty() ||
                            !JobJournalReader::WithOp(*entries, "complete").empty());
        if (!transferring && !ended) WZSLEEP_InTeRnAl(1);
    }
    ASSERT_TRUE(transferring);
    constexpr int kKillOperation = 1;
    ASSERT_TRUE(JXJobCtrlClient::requestStop(1, kKillOperation));
    const JobProgramRun run = job.Wait();
    EXPECT_EQ(run.exitStatus, 0);
    // How long the job took, for the record (no timed assertion).
    RecordProperty("jobSeconds", std::to_string(run.seconds));

    // The journal shows the request with its control operation, then the
    // job reporting itself terminated; nothing claims success.
    const auto entries = JobJournalReader::Read(1).value();
    const auto requests = JobJournalReader::WithOp(entries, "requestStop");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].Get("operation"), "1");
    const auto causes = JobJournalReader::WithOp(entries, "setPendingCause");
    ASSERT_FALSE(causes.empty());
    EXPECT_EQ(causes.back().Get("cause"), jobmanager::JournalId(kCauseJobTerminated));
    EXPECT_EQ(causes.back().List("args"), std::vector<std::string>{"Full"});
    EXPECT_NE(entries.back().op, "complete");
    for (const auto& c : JobJournalReader::WithOp(entries, "complete")) EXPECT_NE(c.Get("status"), "1");
    for (const MediaPiece& piece : PiecesOfJob(1)) EXPECT_FALSE(piece.committed) << piece.database;
    for (const JxServeBackupSet& set : JxServeStoredBackupSets()) EXPECT_NE(set.jobId, 1u) << set.databaseName;
}

}  // namespace
