// What a backup hands the job names the set as the instance's history
// records it: a file backup is F, its differential G, a database full D;
// the stream itself still says full or differential, as a restore reads it.
#include <gtest/gtest.h>

#include <list>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxsqlDMO/SqlSimBackupSets.h"
#include "VdiHarness.h"

namespace {

using namespace vditest;

class BackupSetTypeTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(MakeSales(sim, 512 * 1024, 256 * 1024));
        ASSERT_FALSE(sim.AddFileGroup("Sales", "FG2").IsError());
        ASSERT_TRUE(AddDataFile(sim, "Sales", "FG2", "f2"));
        handler = SqlDataTransferHandler(true, 77, 7, 2, "cs", 1, 0);
    }

    // The type letter of the set in the metadata text the job is handed.
    static std::string MetadataType(const std::string& xml) {
        SQLPmn::SQLDBBackupMetadata metadata;
        std::vector<SQLPmn::SQLDBBackupInfo> sets;
        if (metadata.unserialize(xml) != 0 || !metadata.getlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, sets) ||
            sets.size() != 1) {
            return "unreadable";
        }
        return sets[0].getstring(SQLPmn::SQLDBBackupInfo::kBackupType);
    }

    std::string HistoryType(const std::string& device) {
        SimSqlStatement q = sim.Db().Prepare("SELECT type FROM backup_history WHERE device = ?");
        q.Bind(1, device);
        return q.Step() ? q.Text(0) : "none";
    }

    SqlSimInstance sim;
    SqlDataTransferHandler handler;
};

TEST_F(BackupSetTypeTest, FileBackupsAreHandedAsFAndGAndADatabaseFullAsD) {
    struct Case {
        char type;
        std::list<std::string> groups;
        std::string handed;
    };
    std::list<RestoreArchiveInfo> fileFull;
    for (const Case& c : std::vector<Case>{{'D', {}, "D"}, {'D', {"FG2"}, "F"}, {'I', {"FG2"}, "G"}}) {
        SCOPED_TRACE(c.handed);
        ASSERT_FALSE(SqlSimChanges(sim).Change({"Sales", 3, 1, "", 0}).IsError());
        std::list<RestoreArchiveInfo> archives;
        Outcome o = Backup(handler, "Sales", c.type, 1, &archives, c.groups);
        ASSERT_TRUE(o.ok) << o.text;
        EXPECT_EQ(MetadataType(o.metadata), c.handed);
        EXPECT_EQ(o.set.backupType, c.handed);
        EXPECT_EQ(HistoryType(o.set.deviceName), c.handed);
        if (c.handed == "F") fileFull = archives;
    }
    ASSERT_TRUE(handler.closePipeline(1, false));

    // The file full restores as a full backup of the files it holds.
    RestoreOptions o;
    o.replace = true;
    o.files = {"f2"};
    Outcome r = Restore("Sales", fileFull, o);
    EXPECT_TRUE(r.ok) << r.text;
}

}  // namespace
