// Restores of Sales after a data file was added to a new file group of it:
// the log or the differential that follows the addition creates the file in
// its group, at its MOVE or in place, with the source's bytes; a restore to
// an earlier point leaves it out.
#include <algorithm>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "tests/JxSQLCommon/restore/SalesRestoreJobs.h"

namespace {

// The backups after full 50: a log after the addition; a differential
// before it and a log after; a differential after it.
enum class Chain { AddThenLog, DiffAddLog, AddThenDiff };

const char* const kChainNames[] = {"AddThenLog", "DiffAddLog", "AddThenDiff"};

class AddedFileRestore : public SalesRestoreJobs {
protected:
    void AddSales2() {
        ASSERT_FALSE(instance.AddFileGroup("Sales", "FG2").IsError());
        SqlSimFileSpec file;
        file.database = "Sales";
        file.fileGroup = "FG2";
        file.logicalName = "Sales2";
        ASSERT_FALSE(instance.AddFile(file).IsError());
    }

    // Full 50 and the backups of the chain (jobs 51, 52), with the file added
    // and changed in between.
    void BackUpChain(Chain chain) {
        Change(1, pastMs);
        ASSERT_EQ(Backup(50, "-D"), "1");
        if (chain == Chain::DiffAddLog) {
            Change(2);
            ASSERT_EQ(Backup(51, "-I"), "1");
        }
        AddSales2();
        Change(3);
        ASSERT_EQ(Backup(52, chain == Chain::AddThenDiff ? "-I" : "-L"), "1");
    }

    // The file group of `logicalName` in the catalogue of `database` ("none"
    // when it has no such file).
    std::string FileGroupOf(const std::string& database, const std::string& logicalName) {
        const std::vector<SqlSimFileRow> files = Files(database);
        auto file = std::find_if(files.begin(), files.end(),
                                 [&](const SqlSimFileRow& f) { return f.logicalName == logicalName; });
        return file == files.end() ? "none" : file->fileGroup;
    }
};

class AddedFileRestoreTest : public AddedFileRestore, public ::testing::WithParamInterface<Chain> {};

TEST_P(AddedFileRestoreTest, RestoresCreateTheAddedFileMovedOrInPlace) {
    BackUpChain(GetParam());
    const std::vector<std::string> source = Contents("Sales");
    ASSERT_EQ(source.size(), 2u);

    // As a new name on the source's instance, the new file without a MOVE
    // would land on the source's own file: refused, the source untouched.
    JxServeRestoreTask noMove = SalesTask(0, "NoMove");
    std::erase_if(noMove.relocations, [](const std::string& r) { return r.find("Sales2") != std::string::npos; });
    EXPECT_EQ(Restore(60, noMove), 2);
    EXPECT_NE(CauseTexts(60).find("is being used by database 'Sales'"), std::string::npos) << CauseTexts(60);
    EXPECT_EQ(FileGroupOf("NoMove", "Sales2"), "none");
    ExpectOnlineHolding("Sales", source);

    ASSERT_EQ(Restore(61, SalesTask(0, "Copy")), 1) << CauseTexts(61);
    ExpectOnlineHolding("Copy", source);
    EXPECT_EQ(FileGroupOf("Copy", "Sales2"), "FG2");
    for (const SqlSimFileRow& f : Files("Copy")) {
        EXPECT_EQ(f.path, root.File("moved/Copy_" + f.logicalName)) << f.logicalName;
    }
    ExpectOnlineHolding("Sales", source);

    ASSERT_EQ(Restore(62, SalesTask(kRstOverwrite)), 1) << CauseTexts(62);
    ExpectOnlineHolding("Sales", source);
    EXPECT_EQ(FileGroupOf("Sales", "Sales2"), "FG2");
}

INSTANTIATE_TEST_SUITE_P(Chains, AddedFileRestoreTest,
                         ::testing::Values(Chain::AddThenLog, Chain::DiffAddLog, Chain::AddThenDiff),
                         [](const ::testing::TestParamInfo<Chain>& info) {
                             return std::string(kChainNames[static_cast<int>(info.param)]);
                         });

using AddedFileTest = AddedFileRestore;

TEST_F(AddedFileTest, ARestoreToAPointBeforeTheAdditionLeavesTheFileOut) {
    Change(1, pastMs);
    ASSERT_EQ(Backup(50, "-D"), "1");
    const std::vector<std::string> beforeAdd = Contents("Sales");
    const uint64_t pointInTime = EndOf(50) + 1;
    jxtest::AwaitSecondAfter(pointInTime);
    AddSales2();
    Change(3);
    ASSERT_EQ(Backup(51, "-L"), "1");

    ASSERT_EQ(Restore(60, SalesTask(kRstPointInTime, "Copy", pointInTime)), 1) << CauseTexts(60);
    ExpectOnlineHolding("Copy", beforeAdd);
    EXPECT_EQ(FileGroupOf("Copy", "Sales2"), "none");
}

TEST_F(AddedFileTest, WithTheConversionRulesOnTheLogAfterTheAdditionBecomesAFull) {
    AppModel::Set("subclient/1234", "sqlSubclientType", "1");
    AppModel::Set("subclient/1234", "bkpConversion", "3");
    Change(1, pastMs);
    ASSERT_EQ(Backup(50, "-D"), "1");
    jxtest::AwaitSecondAfter(EndOf(50));
    AddSales2();
    Change(3);
    (void)Backup(51, "-L");  // judged by what it converted and stored
    EXPECT_TRUE(jxtest::JobAnnounced(51, kEventFilesChanged));
    EXPECT_EQ(Journal(51, "convertToFull").size(), 1u);
    EXPECT_EQ(jxtest::StoredSetTypes(51, "Sales"), "");
}

}  // namespace
