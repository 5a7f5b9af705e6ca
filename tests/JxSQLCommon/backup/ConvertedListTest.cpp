// Converted-database lists and the conversion asked of the job manager at
// the end of a phase.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>

#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobUnderTest.h"
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

namespace {

struct ConvertingJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_bDiffConversion;
    using CSQLBackup::m_bFullConversion;
    using CSQLBackup::m_backupLevelName;
    using CSQLBackup::m_bPromoteToFull;
    using CSQLCommon::m_attempt;
};

// The real file system, with every write failing once `full` is set.
class DiskFull : public wz::ForwardingFileSystem {
public:
    ssize_t Write(int fd, const void* b, size_t n) override {
        return full ? Fail() : wz::ForwardingFileSystem::Write(fd, b, n);
    }
    ssize_t PWrite(int fd, const void* b, size_t n, off_t o) override {
        return full ? Fail() : wz::ForwardingFileSystem::PWrite(fd, b, n, o);
    }
    bool full = false;

private:
    static ssize_t Fail() {
        errno = ENOSPC;
        return -1;
    }
};

class ConvertedListTest : public jxtest::CentralServerTest {
protected:
    void SetUp() override {
        CentralServerTest::SetUp();
        jxtest::MakeInstance(instance, {"Sales", "HR"});
        job.m_jobResultsDirectory = root.path() + "/results";
        ASSERT_EQ(wz::MakeDirectoryTree(job.m_jobResultsDirectory), 0);
        job.m_bkpPhase = JXSQL_BACKUP_LOG;
        job.m_backupLevelName = "Transaction Log";
    }
    std::vector<std::string> Ops() {
        std::vector<std::string> ops;
        for (const auto& e : jobmanager::JobJournalReader::Read(71).value_or(std::vector<jobmanager::JournalEntry>{})) {
            ops.push_back(e.op);
        }
        return ops;
    }

    SqlSimInstance instance;
    ConvertingJob job{71};
};

TEST_F(ConvertedListTest, ADatabaseIsListedOnceAlsoAcrossAttempts) {
    root.WriteFile("results/FullDBList.jxf", "HR\n");  // left by an earlier attempt
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_FULL));
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_FULL));
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("HR", JXSQL_BACKUP_FULL));
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "HR\nSales\n");
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 2u);
}

TEST_F(ConvertedListTest, OnlyFullAndDifferentialListsExist) {
    EXPECT_FALSE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_LOG));
    EXPECT_FALSE(job.AddConvertedDBToCollectFile("", JXSQL_BACKUP_FULL));
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_LOG), 0u);
    EXPECT_FALSE(job.DeleteConvertedDBCollectFile(JXSQL_BACKUP_LOG));
}

TEST_F(ConvertedListTest, CountsFollowThePhase) {
    root.WriteFile("results/FullDBList.jxf", "Sales\n");
    root.WriteFile("results/DiffDBList.jxf", "HR\n");
    job.m_bkpPhase = JXSQL_BACKUP_DIFF;  // its own collect file is the differential list
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_DIFF), 0u);
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 1u);
    EXPECT_TRUE(job.m_bFullConversion);
    job.m_bkpPhase = JXSQL_BACKUP_FULL;
    EXPECT_EQ(job.GetConvertedDBCount(JXSQL_BACKUP_FULL), 0u);

    ASSERT_TRUE(job.DeleteConvertedDBCollectFile(JXSQL_BACKUP_FULL));
    EXPECT_FALSE(job.m_bFullConversion);
    long long size = 0;
    EXPECT_EQ(JXFile::getFileSize(root.File("results/FullDBList.jxf").c_str(), &size), 2);
}

TEST_F(ConvertedListTest, ALogPhaseWithBothListsAsksForDifferentialThenFull) {
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("Sales", JXSQL_BACKUP_DIFF));
    ASSERT_TRUE(job.AddConvertedDBToCollectFile("HR", JXSQL_BACKUP_FULL));
    job.HandleConversion();
    std::vector<std::string> phases;
    for (const std::string& op : Ops()) {
        if (op == "runDifferentialPhase" || op == "convertToFull") phases.push_back(op);
    }
    EXPECT_EQ(phases, (std::vector<std::string>{"runDifferentialPhase", "convertToFull"}));

    job.m_bkpPhase = JXSQL_BACKUP_FULL;  // a full phase asks for nothing
    const size_t before = Ops().size();
    job.HandleConversion();
    EXPECT_EQ(Ops().size(), before);
}

TEST_F(ConvertedListTest, APromotedDatabaseTheListCannotTakeFailsInsteadOfBeingLost) {
    DiskFull disk;
    wz::ScopedFileSystem scoped(disk);
    disk.full = true;
    JobManager::SQLStatusTab record;
    EXPECT_TRUE(job.HandlePromoteToFullConversion(&record, "Sales").IsSuccess());
    EXPECT_EQ(record.getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
    EXPECT_EQ(job.m_loggedDbCount, 1u);
    EXPECT_EQ(job.Journal("addBackupFileFailures").size(), 1u);

    disk.full = false;
    JobManager::SQLStatusTab second;
    EXPECT_TRUE(job.HandlePromoteToFullConversion(&second, "HR").IsSuccess());
    EXPECT_EQ(second.getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusConverted);
    EXPECT_EQ(second.getint64(JobManager::SQLStatusTab::kDatabasePhase), 1);
    EXPECT_EQ(root.ReadFile("results/FullDBList.jxf"), "HR\n");
}

}  // namespace

namespace {

TEST_F(ConvertedListTest, AConversionTheListCannotTakeFailsTheDatabaseForTheWalkToCount) {
    SqlSimDatabaseSpec simple;
    simple.name = "Plain";
    simple.recoveryModel = "SIMPLE";
    ASSERT_FALSE(instance.AddDatabase(simple).IsError());
    CsqlDMO sql;
    ASSERT_TRUE(sql.initialize("HOST/INST"));
    DiskFull disk;
    wz::ScopedFileSystem scoped(disk);
    disk.full = true;
    JobManager::SQLStatusTab record;
    bool connectionValid = true;
    bool converted = false;
    EXPECT_FALSE(job.doDbBackup(sql, L"Plain", 0, connectionValid, converted, &record));
    EXPECT_FALSE(converted);
    EXPECT_EQ(record.getint64(JobManager::SQLStatusTab::kStatus), JobManager::kDBStatusFailed);
    EXPECT_EQ(job.m_loggedDbCount, 0u) << "counted once, by the walk";

    disk.full = false;
    JobManager::SQLStatusTab second;
    EXPECT_TRUE(job.doDbBackup(sql, L"Plain", 0, connectionValid, converted, &second));
    EXPECT_TRUE(converted);
    EXPECT_EQ(second.getint64(JobManager::SQLStatusTab::kDatabasePhase), 3);
    EXPECT_EQ(root.ReadFile("results/DiffDBList.jxf"), "Plain\n");
}

}  // namespace
