// Restores through the pipeline: whole chains under a new name, chain
// order, standby, stop points, and what the media must prove first.
#include <gtest/gtest.h>

#include <filesystem>

#include "JxPipelineSetupUtility/DiskLibrary.h"
#include "JxsqlDMO/SqlDbState.h"
#include "VdiHarness.h"

namespace {

using namespace vditest;

class RestoreChainTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(MakeSales(sim, 2 * 1024 * 1024, 512 * 1024));
        handler = SqlDataTransferHandler(true, 77, 7, 2, "cs", 1, 0);
    }

    void Change(uint32_t pages, uint64_t seed, const std::string& mark = "", int64_t timeMs = 0) {
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", pages, seed, mark, timeMs}).IsError());
    }

    std::list<RestoreArchiveInfo> Take(char type, int streams) {
        std::list<RestoreArchiveInfo> archives;
        Outcome o = Backup(handler, "Sales", type, streams, &archives);
        EXPECT_TRUE(o.ok) << o.text;
        return archives;
    }

    RestoreOptions Moved() {
        RestoreOptions o;
        o.moves = {{"Sales", root.File("moved/sales.mdf")},
                   {"Sales2", root.File("moved/sales2.ndf")},
                   {"Sales_log", root.File("moved/sales.ldf")}};
        return o;
    }

    std::vector<std::string> Snapshot() {
        std::vector<std::string> out;
        for (const std::string& p : DataFiles(sim, "Sales")) out.push_back(ReadAll(p));
        return out;
    }

    void ExpectCopyEquals(const std::vector<std::string>& expected) {
        std::vector<std::string> files = DataFiles(sim, "Copy");
        ASSERT_EQ(files.size(), expected.size());
        for (size_t i = 0; i < files.size(); ++i) EXPECT_TRUE(ReadAll(files[i]) == expected[i]) << files[i];
    }

    SqlSimInstance sim;
    SqlDataTransferHandler handler;
};

TEST_F(RestoreChainTest, WholeChainUnderANewNameMatchesTheSourceByteForByte) {
    auto full = Take('D', 4);
    Change(5, 1);
    auto diff = Take('I', 2);
    Change(3, 2);
    auto log1 = Take('L', 1);
    Change(4, 3);
    auto log2 = Take('L', 3);
    Change(2, 4);
    auto log3 = Take('L', 1);
    ASSERT_TRUE(handler.closePipeline(1, false));
    std::vector<std::string> source = Snapshot();

    RestoreOptions o = Moved();
    Outcome r = Restore("Copy", full, o);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_RESTORING);
    ASSERT_TRUE((r = Restore("Copy", diff, o)).ok) << r.text;
    ASSERT_TRUE((r = Restore("Copy", log1, o)).ok) << r.text;
    ASSERT_TRUE((r = Restore("Copy", log2, o)).ok) << r.text;
    o.recovery = true;
    ASSERT_TRUE((r = Restore("Copy", log3, o)).ok) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    EXPECT_EQ(DataFiles(sim, "Copy")[0], root.File("moved/sales.mdf"));
    ExpectCopyEquals(source);
}

TEST_F(RestoreChainTest, LogOutOfOrderIsRefusedAndTheDatabaseStaysRestoring) {
    auto full = Take('D', 1);
    Change(2, 1);
    auto log1 = Take('L', 1);
    Change(2, 2);
    auto log2 = Take('L', 1);
    Change(2, 3);
    auto log3 = Take('L', 1);
    ASSERT_TRUE(handler.closePipeline(1, false));
    RestoreOptions o = Moved();
    ASSERT_TRUE(Restore("Copy", full, o).ok);
    ASSERT_TRUE(Restore("Copy", log1, o).ok);
    Outcome r = Restore("Copy", log3, o);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 4305) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_RESTORING);
    // The chain goes on from where it stopped.
    ASSERT_TRUE(Restore("Copy", log2, o).ok);
    o.recovery = true;
    ASSERT_TRUE(Restore("Copy", log3, o).ok);
    ExpectCopyEquals(Snapshot());
}

TEST_F(RestoreChainTest, StandbyLeavesTheDatabaseReadOnlyWithItsUndoFileAndAcceptsMoreLogs) {
    auto full = Take('D', 2);
    Change(2, 1);
    auto log1 = Take('L', 1);
    ASSERT_TRUE(handler.closePipeline(1, false));
    RestoreOptions o = Moved();
    ASSERT_TRUE(Restore("Copy", full, o).ok);
    o.standbyUndo = root.File("undo/copy.tuf");
    Outcome r = Restore("Copy", log1, o);
    ASSERT_TRUE(r.ok) << r.text;
    bool readOnly = false;
    EXPECT_EQ(DatabaseState(sim, "Copy", &readOnly), SQLDB_STATE_STANDBY);
    EXPECT_TRUE(readOnly);
    EXPECT_FALSE(ReadAll(o.standbyUndo).empty());
    CJxSQLVDI engine;
    ASSERT_TRUE(engine.recoverOnly(L"Copy", kServer, L""));
    EXPECT_EQ(DatabaseState(sim, "Copy", &readOnly), SQLDB_STATE_ONLINE);
    EXPECT_FALSE(readOnly);
}

TEST_F(RestoreChainTest, ADifferentialOfItsBaseGoesOntoAStandbyDatabaseAndAnotherBasesIsRefused) {
    auto full = Take('D', 2);
    std::vector<std::string> atFull = Snapshot();
    Change(4, 1);
    auto diff = Take('I', 1);
    std::vector<std::string> atDiff = Snapshot();
    Take('D', 1);  // a later full: the base of the next differential
    Change(3, 2);
    auto otherDiff = Take('I', 2);
    ASSERT_TRUE(handler.closePipeline(1, false));

    RestoreOptions o = Moved();
    o.standbyUndo = root.File("undo/copy.tuf");
    Outcome r = Restore("Copy", full, o);
    ASSERT_TRUE(r.ok) << r.text;
    ASSERT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_STANDBY);
    const std::string undoAtFull = ReadAll(o.standbyUndo);

    r = Restore("Copy", otherDiff, o);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 3136) << r.text;
    bool readOnly = false;
    EXPECT_EQ(DatabaseState(sim, "Copy", &readOnly), SQLDB_STATE_STANDBY);
    EXPECT_TRUE(readOnly);
    ExpectCopyEquals(atFull);
    EXPECT_EQ(ReadAll(o.standbyUndo), undoAtFull);

    r = Restore("Copy", diff, o);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Copy", &readOnly), SQLDB_STATE_STANDBY);
    EXPECT_TRUE(readOnly);
    EXPECT_NE(ReadAll(o.standbyUndo), undoAtFull) << "the undo file is written for the differential's end";
    ExpectCopyEquals(atDiff);
}

TEST_F(RestoreChainTest, ADifferentialOntoAStandbyDatabaseEndsAsItsOptionsSay) {
    auto full = Take('D', 1);
    Change(4, 1);
    auto diff = Take('I', 1);
    ASSERT_TRUE(handler.closePipeline(1, false));
    std::vector<std::string> atDiff = Snapshot();
    for (bool recovery : {false, true}) {
        SCOPED_TRACE(recovery ? "WITH RECOVERY" : "WITH NORECOVERY");
        RestoreOptions o = Moved();
        o.replace = true;
        o.standbyUndo = root.File("undo/copy.tuf");
        ASSERT_TRUE(Restore("Copy", full, o).ok);
        ASSERT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_STANDBY);
        o.standbyUndo.clear();
        o.recovery = recovery;
        Outcome r = Restore("Copy", diff, o);
        ASSERT_TRUE(r.ok) << r.text;
        bool readOnly = true;
        EXPECT_EQ(DatabaseState(sim, "Copy", &readOnly), recovery ? SQLDB_STATE_ONLINE : SQLDB_STATE_RESTORING);
        EXPECT_FALSE(readOnly);
        ExpectCopyEquals(atDiff);
    }
}

TEST_F(RestoreChainTest, StopAtAMarkMatchesTheSourceAtThatMark) {
    auto full = Take('D', 1);
    Change(3, 1);
    Change(2, 2, "before-upgrade");
    std::vector<std::string> atMark = Snapshot();
    Change(4, 3);
    auto log1 = Take('L', 2);
    ASSERT_TRUE(handler.closePipeline(1, false));
    RestoreOptions o = Moved();
    ASSERT_TRUE(Restore("Copy", full, o).ok);
    o.recovery = true;
    o.stopAtMark = "before-upgrade";
    Outcome r = Restore("Copy", log1, o);
    ASSERT_TRUE(r.ok) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Copy"), SQLDB_STATE_ONLINE);
    ExpectCopyEquals(atMark);
}

TEST_F(RestoreChainTest, StopBeforeAMarkLeavesTheMarkedChangeOutAndAMissingMarkKeepsRestoring) {
    auto full = Take('D', 1);
    Change(3, 1);
    std::vector<std::string> beforeMark = Snapshot();
    Change(1, 2, "release");
    Change(2, 3);
    auto log1 = Take('L', 1);
    ASSERT_TRUE(handler.closePipeline(1, false));
    RestoreOptions o = Moved();
    ASSERT_TRUE(Restore("Copy", full, o).ok);
    o.recovery = true;
    o.stopBeforeMark = "release";
    Outcome r = Restore("Copy", log1, o);
    ASSERT_TRUE(r.ok) << r.text;
    ExpectCopyEquals(beforeMark);

    RestoreOptions other;
    other.moves = {{"Sales", root.File("o/s.mdf")}, {"Sales2", root.File("o/s2.ndf")}, {"Sales_log", root.File("o/s.ldf")}};
    ASSERT_TRUE(Restore("Other", full, other).ok);
    other.recovery = true;
    other.stopBeforeMark = "no-such-mark";
    ASSERT_TRUE((r = Restore("Other", log1, other)).ok) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Other"), SQLDB_STATE_RESTORING);
}

TEST_F(RestoreChainTest, StopAtATimeAppliesTheChangesUpToIt) {
    auto full = Take('D', 1);
    Change(3, 1, "", 1700000000000);  // 2023-11-14 22:13:20 UTC
    std::vector<std::string> before = Snapshot();
    Change(3, 2, "", 1700000100000);
    auto log1 = Take('L', 1);
    ASSERT_TRUE(handler.closePipeline(1, false));
    RestoreOptions o = Moved();
    ASSERT_TRUE(Restore("Copy", full, o).ok);
    o.recovery = true;
    o.stopAt = "'11-14-2023 22:14:00'";
    Outcome r = Restore("Copy", log1, o);
    ASSERT_TRUE(r.ok) << r.text;
    ExpectCopyEquals(before);
}

TEST_F(RestoreChainTest, OverAnOnlineDatabaseOnlyWithReplaceAndNeverOntoAnotherDatabasesFiles) {
    auto full = Take('D', 1);
    ASSERT_TRUE(handler.closePipeline(1, false));
    RestoreOptions o;
    o.recovery = true;
    Outcome r = Restore("Sales", full, o);
    EXPECT_EQ(r.code, 3159) << r.text;
    o.replace = true;
    EXPECT_TRUE((r = Restore("Sales", full, o)).ok) << r.text;
    // A new name on the source's own paths would overwrite the source.
    r = Restore("Copy", full, o);
    EXPECT_EQ(r.code, 1834) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Copy"), -1);
}

TEST_F(RestoreChainTest, UncommittedPiecesAreRefusedAndLeaveTheMediaWhenTheirPipelineCloses) {
    auto full = Take('D', 2);
    // The backup's pipeline is still open: the restore leaves its files alone.
    Outcome r = Restore("Copy", full, Moved());
    EXPECT_FALSE(r.ok);
    EXPECT_NE(r.text.find("never committed"), std::string::npos) << r.text;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(DatabaseState(sim, "Copy"), -1);
    std::vector<MediaArchiveFile> files;
    ASSERT_FALSE(DiskLibrary().ListArchiveFiles(files).IsError());
    ASSERT_EQ(files.size(), 2u);

    ASSERT_TRUE(handler.closePipeline(0, false));
    ASSERT_FALSE(DiskLibrary().ListArchiveFiles(files).IsError());
    EXPECT_TRUE(files.empty());
    EXPECT_TRUE(std::filesystem::is_empty(root.File("media/afiles/2/77")));
}

TEST_F(RestoreChainTest, AFlippedByteInTheMediaIsFoundAndNothingIsWritten) {
    auto full = Take('D', 1);
    ASSERT_TRUE(handler.closePipeline(1, false));
    MediaArchiveFile file;
    ASSERT_FALSE(DiskLibrary().FindArchiveFile(static_cast<uint32_t>(full.front().archiveFileId), file).IsError());
    {
        std::fstream f(file.path, std::ios::in | std::ios::out | std::ios::binary);
        f.seekg(100000);
        char c = 0;
        f.read(&c, 1);
        c ^= 0x10;
        f.seekp(100000);
        f.write(&c, 1);
    }
    Outcome r = Restore("Copy", full, Moved());
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.code, 3183) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Copy"), -1);
    EXPECT_TRUE(ReadAll(root.File("moved/sales.mdf")).empty());
}

TEST_F(RestoreChainTest, StreamsOfAnotherSetOrAMissingStreamAreRefused) {
    auto first = Take('D', 2);
    auto second = Take('D', 2);
    ASSERT_TRUE(handler.closePipeline(1, false));
    std::list<RestoreArchiveInfo> mixed = {first.front(), second.back()};
    Outcome r = Restore("Copy", mixed, Moved());
    EXPECT_EQ(r.code, 3241) << r.text;
    std::list<RestoreArchiveInfo> one = {first.front()};
    r = Restore("Copy", one, Moved());
    EXPECT_EQ(r.code, 3241) << r.text;
    std::list<RestoreArchiveInfo> missing = first;
    missing.back().archiveFileId = 999999;
    r = Restore("Copy", missing, Moved());
    EXPECT_NE(r.text.find("missing from the media"), std::string::npos) << r.text;
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(DatabaseState(sim, "Copy"), -1);
}

TEST_F(RestoreChainTest, RestoreToDiskCopiesEachStreamsPieceToAFileOfItsOwn) {
    auto full = Take('D', 2);
    ASSERT_TRUE(handler.closePipeline(1, false));
    SqlDataTransferHandler toDisk(false, 78, 7, 2, "cs", 1, 0);
    toDisk.setRestoreToDisk(true);
    toDisk.setRestoreToDiskPath(root.File("dump"));
    toDisk.setDbName("Sales");
    toDisk.setStreams(2);
    toDisk.setRestoreArchiveFileInfoList(full);
    ASSERT_TRUE(toDisk.startTransfer()) << toDisk.getLastErrorString();
    uint64_t bytes = 0;
    for (const auto& entry : std::filesystem::directory_iterator(root.File("dump/Sales"))) {
        EXPECT_EQ(entry.path().extension(), ".bak");
        bytes += entry.file_size();
    }
    EXPECT_EQ(bytes, toDisk.getBytesTransferred());
    EXPECT_GT(bytes, 2u * 1024 * 1024);

    SqlDataTransferHandler nowhere(false, 79, 7, 2, "cs", 1, 0);
    nowhere.setDbName("Sales");
    nowhere.setRestoreArchiveFileInfoList(full);
    EXPECT_FALSE(nowhere.startTransfer());
    EXPECT_NE(nowhere.getLastErrorString().find("restore-to-disk"), std::string::npos);
}

TEST_F(RestoreChainTest, VerifyOnlyReadsEverythingAndWritesNothing) {
    auto full = Take('D', 2);
    ASSERT_TRUE(handler.closePipeline(1, false));
    RestoreOptions o = Moved();
    o.verifyOnly = true;
    Outcome r = Restore("Copy", full, o);
    EXPECT_TRUE(r.ok) << r.text;
    EXPECT_EQ(DatabaseState(sim, "Copy"), -1);
}

TEST_F(RestoreChainTest, StageFolderCleanUpLeavesTheFolderOwnFilesAlone) {
    // The stage folder is often the job-results directory.
    root.WriteFile("jobresults/RestoreStatus.txt", "5\tSales\n");
    handler.setRestoreStageFolder(root.File("jobresults"));
    handler.cleanUpStageFolder();
    EXPECT_EQ(root.ReadFile("jobresults/RestoreStatus.txt"), "5\tSales\n");
}

}  // namespace
