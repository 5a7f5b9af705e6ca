// A file-group restore of what backup jobs stored, with nothing told to the
// central server but what the jobs sent: the first restore after the backups
// finds them and brings a damaged group back to the last log.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "JxSQLCommon/restore/FileGroupEntry.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxsqlDMO/SqlSimChanges.h"
#include "tests/JxSQLCommon/restore/RestoreAfterBackupJobs.h"

namespace {

class FileGroupRestoreAfterBackupJobs : public RestoreAfterBackupJobs {
protected:
    void SetUp() override {
        RestoreAfterBackupJobs::SetUp();
        MakeDatabases({"Sales"});
        ASSERT_FALSE(instance.AddFileGroup("Sales", "FG2").IsError());
        for (const auto& [group, logicalName] : {std::pair{"PRIMARY", "Sales2"}, std::pair{"FG2", "Sales3"}}) {
            SqlSimFileSpec file;
            file.database = "Sales";
            file.fileGroup = group;
            file.logicalName = logicalName;
            file.size = 256 * 1024;
            ASSERT_FALSE(instance.AddFile(file).IsError());
        }
    }

    void Change(uint64_t seed) { ASSERT_FALSE(SqlSimChanges(instance).Change({"Sales", 6, seed, "", 0}).IsError()); }

    std::vector<std::string> Contents() { return RestoreAfterBackupJobs::Contents("Sales"); }

    // Overwrites the start of the data file of `logicalName`.
    void Damage(const std::string& logicalName) {
        int64_t id = 0;
        std::vector<SqlSimFileRow> files;
        ASSERT_FALSE(instance.DatabaseId("Sales", id).IsError());
        ASSERT_FALSE(SqlSimChanges(instance).Files(id, files).IsError());
        for (const SqlSimFileRow& f : files) {
            if (f.logicalName != logicalName) continue;
            std::fstream file(f.path, std::ios::in | std::ios::out | std::ios::binary);
            file << std::string(4096, 'X');
            return;
        }
        FAIL() << "no file " << logicalName;
    }

    // The restore in place of the file or file group `name` of Sales, as job
    // `jobId`.
    bool Restore(const std::string& name, uint64_t jobId, int* status) {
        JxServeRestoreTask task = TaskFor(std::string("Sales") + kFileGroupSeparator + name);
        task.optionFlags = kRstFileFileGroup | kRstOverwrite;
        return RunRestore(jobId, task, status);
    }
};

// The first restore after the jobs finds their backups; each backup tells
// its file groups, so a name that is no group of it is restored as a file.
TEST_F(FileGroupRestoreAfterBackupJobs, DamagedGroupAndFileComeBackToTheLastLog) {
    ASSERT_TRUE(RunPhase(42, "-D", 1, {"-type", "1"}));
    Change(1);
    ASSERT_TRUE(RunPhase(43, "-L", 1, {"-type", "2"}));
    Change(2);
    ASSERT_TRUE(RunPhase(44, "-L", 1, {"-type", "2"}));
    const std::vector<std::string> source = Contents();

    Damage("Sales3");
    ASSERT_FALSE(Contents() == source);
    int status = 0;
    EXPECT_TRUE(Restore("FG2", 60, &status));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Contents() == source) << "the group is back at the last log, the other files as they were";

    Damage("Sales2");
    ASSERT_FALSE(Contents() == source);
    EXPECT_TRUE(Restore("Sales2", 61, &status));
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Contents() == source) << "the file of the primary group is back at the last log";
}

}  // namespace
