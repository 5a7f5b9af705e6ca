// Restore map files: one CSV file per job, each relocated database file a
// line of two quoted fields; the snapshot form with its special map.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

struct MapFileJob : CSQLRestoreBase {
    using CSQLCommon::m_jobId;
    using CSQLCommon::m_jobResultsDirectory;
    using CSQLRestoreBase::m_snapFileMap;
};

SqlRestoreDbInfo_t Relocated(const std::string& name, std::list<std::string> oldFiles,
                             std::list<std::string> newFiles) {
    SqlRestoreDbInfo_t db;
    db.sDbName = name;
    db.oldFiles = std::move(oldFiles);
    db.newFiles = std::move(newFiles);
    return db;
}

// A minimal CSV reader: quoted fields, "" for a quote inside one.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields(1);
        bool quoted = false;
        for (size_t i = 0; i < line.size(); ++i) {
            const char c = line[i];
            if (quoted && c == '"' && i + 1 < line.size() && line[i + 1] == '"') {
                fields.back() += '"';
                ++i;
            } else if (c == '"') {
                quoted = !quoted;
            } else if (c == ',' && !quoted) {
                fields.emplace_back();
            } else {
                fields.back() += c;
            }
        }
        rows.push_back(fields);
    }
    return rows;
}

class RestoreMapFile : public jxtest::RootedTest {
protected:
    void SetUp() override {
        job.m_jobId = 42;
        job.m_jobResultsDirectory = root.File("jobresults/42/.keep");
        job.m_jobResultsDirectory.resize(job.m_jobResultsDirectory.size() - 6);
    }
    std::string MapFile() { return jxtest::ReadWholeFile(root.path() + "/jobresults/42/42_restore.txt"); }
    std::string SpecialFile() {
        return jxtest::ReadWholeFile(root.path() + "/jobresults/42/42_snap_restore.rmap");
    }

    MapFileJob job;
};

TEST_F(RestoreMapFile, DatabasesOfOneJobShareOneFileReadableAsCsv) {
    SqlRestoreDbInfo_t first = Relocated("a", {"/d/a,1.mdf", "/d/a \"log\".ldf"}, {"/n/a,1.mdf", "/n/a\"x\".ldf"});
    SqlRestoreDbInfo_t second = Relocated("b", {"/d/b.mdf"}, {"/n/b.mdf"});
    ASSERT_TRUE(job.generateRestoreMapFile(first, false));
    ASSERT_TRUE(job.generateRestoreMapFile(second, false));
    const std::vector<std::vector<std::string>> expected = {
        {"/d/a,1.mdf", "/n/a,1.mdf"}, {"/d/a \"log\".ldf", "/n/a\"x\".ldf"}, {"/d/b.mdf", "/n/b.mdf"}};
    EXPECT_EQ(ReadCsv(MapFile()), expected);
}

TEST_F(RestoreMapFile, ALaterJobObjectStartsTheFileAfresh) {
    root.WriteFile("jobresults/42/42_restore.txt", "\"stale\",\"line\"\n");
    SqlRestoreDbInfo_t db = Relocated("a", {"/d/a.mdf"}, {"/n/a.mdf"});
    ASSERT_TRUE(job.generateRestoreMapFile(db, false));
    EXPECT_EQ(MapFile(), "\"/d/a.mdf\",\"/n/a.mdf\"\n");
}

TEST_F(RestoreMapFile, OnlyPathsWithBothSidesAreMappedAndNoNewPathsWritesNothing) {
    SqlRestoreDbInfo_t none = Relocated("a", {"/d/a.mdf"}, {});
    EXPECT_TRUE(job.generateRestoreMapFile(none, false));
    EXPECT_EQ(MapFile(), "");
    SqlRestoreDbInfo_t uneven = Relocated("b", {"/d/b.mdf"}, {"/n/b.mdf", "/n/b.ldf"});
    EXPECT_TRUE(job.generateRestoreMapFile(uneven, false));
    EXPECT_EQ(MapFile(), "\"/d/b.mdf\",\"/n/b.mdf\"\n");
}

TEST_F(RestoreMapFile, DoubledBackslashesBecomeSlashesAndSingleOnesStay) {
    SqlRestoreDbInfo_t db = Relocated("a", {"C:\\\\data\\a.mdf"}, {"/n/a.mdf"});
    ASSERT_TRUE(job.generateRestoreMapFile(db, false));
    EXPECT_EQ(MapFile(), "\"C:/data\\a.mdf\",\"/n/a.mdf\"\n");
}

TEST_F(RestoreMapFile, SnapshotMapsEachNewPathThroughTheFileMap) {
    job.m_snapFileMap.mappedPaths["/N/A.MDF"] = "/snap/a.mdf";
    job.m_snapFileMap.mappedPaths["/n/dir"] = "/snap/dir/*";
    job.m_snapFileMap.mappedPaths["/n/star"] = "*";
    SqlRestoreDbInfo_t db = Relocated("a", {"/d/a.mdf", "/d/dir", "/d/star", "/d/lost"},
                                      {"/n/a.mdf", "/n/dir", "/n/star", "/n/lost"});
    ASSERT_TRUE(job.generateRestoreMapFile(db, true));
    EXPECT_EQ(SpecialFile(),
              "/d/a.mdf|/n/a.mdf|/snap/a.mdf\n/d/dir|/n/dir|/snap/dir\n/d/star|/n/star|\n/d/lost|/n/lost|\n");
    const std::vector<std::vector<std::string>> expected = {
        {"/d/a.mdf", "/snap/a.mdf"}, {"/d/dir", "/snap/dir"}, {"/d/star", ""}, {"/d/lost", ""}};
    EXPECT_EQ(ReadCsv(MapFile()), expected);
}

TEST_F(RestoreMapFile, SnapshotWithoutAFileMapFailsAndLeavesNoSpecialFile) {
    SqlRestoreDbInfo_t db = Relocated("a", {"/d/a.mdf"}, {"/n/a.mdf"});
    EXPECT_FALSE(job.generateRestoreMapFile(db, true));
    EXPECT_EQ(MapFile(), "");
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/jobresults/42/42_snap_restore.rmap"));
}

TEST_F(RestoreMapFile, AMissingDirectoryFailsClearly) {
    job.m_jobResultsDirectory = root.path() + "/absent";
    SqlRestoreDbInfo_t db = Relocated("a", {"/d/a.mdf"}, {"/n/a.mdf"});
    EXPECT_FALSE(job.generateRestoreMapFile(db, false));
}

// A flush that fails fails the map even when the close, which writes the
// lines again, succeeds; a failed close fails it the same way.
TEST_F(RestoreMapFile, AFailedFlushOrCloseFailsTheMapWithItsErrorLine) {
    const std::string errorLine =
        "Failed to write the restore map file [" + root.path() + "/jobresults/42/42_restore.txt]";
    for (jxtest::FsCall call : {jxtest::FsCall::kPWrite, jxtest::FsCall::kClose}) {
        const std::string logBefore = jxtest::ReadWholeFile(EvDebug::LogFilePath());
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCall(call, 1, ENOSPC);
        SqlRestoreDbInfo_t db = Relocated("a", {"/d/a.mdf"}, {"/n/a.mdf"});
        EXPECT_FALSE(job.generateRestoreMapFile(db, false));
        EXPECT_GE(faulty.Calls(call), 1) << "the fault fired";
        const std::string log = jxtest::ReadWholeFile(EvDebug::LogFilePath()).substr(logBefore.size());
        EXPECT_NE(log.find(errorLine + ". ErrorCode [28]"), std::string::npos) << log;
    }
}

}  // namespace
