// Downloading a snapshot job's metadata files from the index (both indexing
// versions) into the restore job's job-results directory.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JobResults/IndexCacheClient.h"
#include "JobResults/JobInfoIndexStore.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxSQLCommon/records/SqlArchiveManagerRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/support/TestRoot.h"

namespace {

constexpr uint64_t kSourceClient = 5;
constexpr uint64_t kDestinationClient = 6;

struct MetadataJob : TestRestoreJob {
    using CSQLCommon::m_jobResultsDirectory;
};

std::vector<std::string> Names(const std::string& folder) {
    std::vector<std::string> names;
    if (wz::Fs().ReadDirectory(folder, names) != 0) return {};
    std::sort(names.begin(), names.end());
    return names;
}

class SnapMetadataDownloadTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        AppModel::Set("client/5", "hostName", "source.host");
        AppModel::Set("client/6", "hostName", "destination.host");
        AppModel::Set("client/9", "name", "ma1");
        AppModel::Set("client/9", "hostName", "ma1.host");
        JXPlatformInfo().setString("", "sPhysicalNodeName", "ma1");
        job.m_jobId = 77;
        job.m_restoreOptions.sourceClientId = kSourceClient;
        job.m_restoreOptions.destinationClientId = kDestinationClient;
        job.m_jobResultsDirectory = root.File("jobresults/77");
        ASSERT_EQ(0, wz::MakeDirectoryTree(job.m_jobResultsDirectory));
    }

    // A snapshot job's archive file and its two metadata files, uploaded the
    // way the snapshot backup uploads them under `version`.
    void BackUp(uint64_t snapJobId, int version) {
        DiskLibrary library;
        ASSERT_FALSE(library.Open().IsError());
        MediaArchiveFile afile;
        ASSERT_FALSE(library.CreateArchiveFile(2, snapJobId, 1, afile).IsError());
        const std::string id = std::to_string(snapJobId);
        std::vector<std::string> files;
        for (const char* kind : {"_WRT.xml", "_BCD.xml"}) {
            const std::string relative = "backup/" + id + "_1" + kind;
            root.WriteFile(relative, "<metadata job='" + id + "'/>");
            files.push_back(root.File(relative));
        }
        if (version == 1) {
            ASSERT_EQ(0, IndexCacheClient::sendDirChange(2, 3, 1, "ma1", "", files, false, snapJobId, '/', 1, 2));
        } else {
            JobInfoIndexStore store(snapJobId, 2, 3);
            for (const std::string& file : files) ASSERT_FALSE(store.addFileContentForKey("Snap", file).IsError());
            ASSERT_FALSE(store.backupData("ma1", "", afile.id.archiveFileId).IsError());
        }
    }

    void UseVersion(int version) {
        AppModel::Set("client/5", "useIndexingV2ForMSSQL", version == 2 ? "1" : "0");
        AppModel::Set("domain", "useIndexingV2", version == 2 ? "1" : "0");
    }

    MetadataJob job;
    GetArchFileInfoForSnapJob_Ret_t reply;
};

// A job's metadata comes alone, though jobs whose ids start with its id have
// files in the same index, under both versions and through both entries.
TEST_F(SnapMetadataDownloadTest, OnlyTheJobsOwnFilesUnderBothVersionsAndEntries) {
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        ASSERT_EQ(0, wz::RemoveTree(job.m_jobResultsDirectory));
        ASSERT_EQ(0, wz::MakeDirectoryTree(job.m_jobResultsDirectory));
        UseVersion(version);
        const uint64_t base = version * 1000;
        BackUp(base + 12, version);
        BackUp((base + 12) * 10, version);       // e.g. job 1012 and job 10120
        BackUp((base + 12) * 100 + 34, version); // and job 101234
        const std::string id = std::to_string(base + 12);
        const std::vector<std::string> expected{id + "_1_BCD.xml", id + "_1_WRT.xml"};

        SqlSnapJobDetails_t details;
        details.jobId = base + 12;
        details.jobEndTime = 1700000000;
        details.jxCellId = 2;
        details.appId = 3;
        ASSERT_TRUE(job.downloadMetadata(kSourceClient, details, reply));
        EXPECT_EQ(expected, Names(job.m_jobResultsDirectory));
        EXPECT_EQ(1u, reply.archiveFiles.size());
        EXPECT_EQ("ma1", reply.mediaAgentName);

        ASSERT_EQ(0, wz::RemoveTree(job.m_jobResultsDirectory));
        ASSERT_EQ(0, wz::MakeDirectoryTree(job.m_jobResultsDirectory));
        ASSERT_TRUE(job.downloadMetadata(base + 12, 3, 2, reply));
        EXPECT_EQ(expected, Names(job.m_jobResultsDirectory));
        EXPECT_EQ("<metadata job='" + id + "'/>", jxtest::ReadWholeFile(job.m_jobResultsDirectory + "/" + expected[0]));
    }
}

TEST_F(SnapMetadataDownloadTest, UnreadableVersionFailsAndUnknownDomainVersionFallsBackToTheCache) {
    BackUp(12, 1);
    SqlSnapJobDetails_t details;
    details.jobId = 12;
    // No indexing property on the client: nothing is tried.
    EXPECT_FALSE(job.downloadMetadata(kSourceClient, details, reply));
    EXPECT_TRUE(Names(job.m_jobResultsDirectory).empty());
    EXPECT_TRUE(reply.archiveFiles.empty());
    // No domain-wide answer: version 1.
    EXPECT_TRUE(job.downloadMetadata(12, 3, 2, reply));
    EXPECT_EQ(2u, Names(job.m_jobResultsDirectory).size());
}

TEST_F(SnapMetadataDownloadTest, MissingJobOrClientFailsWithoutFiles) {
    for (int version : {1, 2}) {
        SCOPED_TRACE(version);
        UseVersion(version);
        EXPECT_FALSE(job.downloadMetadata(404, 3, 2, reply)) << "a job without archive files";
        EXPECT_TRUE(Names(job.m_jobResultsDirectory).empty());
    }
    UseVersion(1);
    BackUp(12, 1);
    job.m_restoreOptions.destinationClientId = 404;
    EXPECT_FALSE(job.downloadMetadata(12, 3, 2, reply)) << "a destination client without a host name";
    EXPECT_TRUE(Names(job.m_jobResultsDirectory).empty());
}

// A file of the container that cannot be fetched fails the download and
// leaves none of the container's files behind.
TEST_F(SnapMetadataDownloadTest, FailedRetrieveRemovesTheFilesAlreadyFetched) {
    UseVersion(2);
    BackUp(12, 2);
    DiskLibrary library;
    ASSERT_FALSE(library.Open().IsError());
    std::vector<MediaArchiveFile> afiles;
    ASSERT_FALSE(library.ListArchiveFiles(afiles).IsError());
    ASSERT_EQ(1u, afiles.size());
    // Sorts after the two good files; a directory cannot be fetched as a file.
    ASSERT_EQ(0, wz::MakeDirectoryTree(JobInfoIndexStore::Directory(12) + "/" +
                                       std::to_string(afiles[0].id.archiveFileId) + "/Snap/12_9_WRT.xml"));
    EXPECT_FALSE(job.downloadMetadata(12, 3, 2, reply));
    EXPECT_TRUE(Names(job.m_jobResultsDirectory).empty());
}

}  // namespace
