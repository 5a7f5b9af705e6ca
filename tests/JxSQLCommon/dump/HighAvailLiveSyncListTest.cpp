// How the loginfo.db live sync lists one database's dumps: after the newer
// of the standby's last restore and the central server's newest full or
// differential backup, first entry of an LSN wins, dumps without their files
// left out but still held until the job ends.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "JxSQLCommon/dump/HighAvailLiveSync.h"
#include "JxSQLCommon/state/CLogInfoDB.h"
#include "tests/support/TestRoot.h"

namespace {

// The job with its dump-restore state at hand.
class ListingJob : public HighAvailLiveSync {
public:
    DumpRestoreSettings& State() { return m_settings; }
};

class HighAvailLiveSyncList : public jxtest::RootedTest {
protected:
    void SetUp() override {
        pathA = Folder("a");
        pathB = Folder("b");
        DbInfo info;
        info.mountPaths = {pathA, pathB};
        job.State().databases["Sales"] = info;
    }
    std::string Folder(const std::string& name) {
        const std::string folder = root.path() + "/" + name;
        root.WriteFile(name + "/.keep", "");
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        unsigned serial = 0;
        EXPECT_FALSE(db.CreateTablesSchema().IsError());
        EXPECT_FALSE(db.InsertDBRecord("SQL1", 5, "Sales", serial).IsError());
        return folder;
    }
    // A dump row, with its .bak and .xml files unless told otherwise.
    void AddDump(const std::string& folder, const std::string& stem, const std::string& first, const std::string& last,
                 bool bak = true, bool xml = true) {
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        ASSERT_FALSE(db.Insert("Logs", "DBSerialNo_FK, FileName, FirstLSN, LastLSN, StartTime, EndTime",
                               FX::CSQLite3Sql("1,?,?,?,10,20", {stem + ".bak", first, last}))
                         .IsError());
        if (bak) std::ofstream(folder + "/" + stem + ".bak") << "data";
        if (xml) std::ofstream(folder + "/" + stem + ".xml") << "<metadata/>";
    }
    std::vector<std::string> List(const std::string& standbyLast, std::string centralLast) {
        job.State().databases["Sales"].LastLSN = standbyLast;
        EXPECT_FALSE(job.UseRestoreCollectFile()) << "every path has loginfo.db";
        std::map<std::string, SqlAFilesPerBackup_t> items;
        EXPECT_FALSE(job.AddAFilesFromMountedShare(job.State().databases.find("Sales"), centralLast, items).IsError());
        std::vector<std::string> files;
        for (const auto& [key, entry] : items) files.push_back(entry.sFullPathLogFile);
        return files;
    }
    int64_t Count(const std::string& folder, const std::string& file) {
        CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
        long count = -1;
        EXPECT_FALSE(db.ExecScalarInt64(FX::CSQLite3Sql("SELECT ReferenceCount FROM Logs WHERE FileName = ?", {file}),
                                        count)
                         .IsError());
        return count;
    }

    ListingJob job;
    std::string pathA, pathB;
};

TEST_F(HighAvailLiveSyncList, DumpsFollowTheNewerOfTheStandbyAndTheCentralServersBackupByValue) {
    AddDump(pathA, "d1", "990", "998");
    AddDump(pathA, "d2", "998", "999");
    AddDump(pathB, "d3", "999", "1000");
    AddDump(pathA, "d4", "1000", "1001");
    // The standby is ahead of the central server's full backup...
    EXPECT_EQ((std::vector<std::string>{pathA + "/d4.bak"}), List("1000", "999"));
    // ...and behind it.
    EXPECT_EQ((std::vector<std::string>{pathB + "/d3.bak", pathA + "/d4.bak"}), List("998", "999"));
    // Nothing restored yet and no full or differential: every dump.
    EXPECT_EQ(4u, List("", "").size());
    EXPECT_EQ(1, Count(pathA, "d1.bak")) << "one reference per row and job, whatever the runs";
    EXPECT_EQ(1, Count(pathA, "d4.bak"));
}

TEST_F(HighAvailLiveSyncList, TheFirstEntryOfAnLSNWinsAndDumpsWithoutFilesAreHeldUntilTheJobEnds) {
    AddDump(pathA, "same_a", "100", "200");
    AddDump(pathB, "same_b", "100", "200");
    AddDump(pathA, "no_bak", "200", "300", false, true);
    AddDump(pathA, "no_xml", "200", "400", true, false);
    EXPECT_EQ((std::vector<std::string>{pathA + "/same_a.bak"}), List("", ""));
    EXPECT_EQ(1, Count(pathB, "same_b.bak"));
    EXPECT_EQ(1, Count(pathA, "no_bak.bak"));
    EXPECT_EQ(1, Count(pathA, "no_xml.bak"));
    EXPECT_EQ(4u, job.HeldReferences());
}

// A mount path whose loginfo.db lists other databases only has no dumps of
// this one; the paths after it are still read.
TEST_F(HighAvailLiveSyncList, APathWhoseLoginfoDbDoesNotListTheDatabaseHidesNoOtherPath) {
    const std::string other = root.path() + "/0";
    root.WriteFile("0/.keep", "");
    CLogInfoDB db(other, DB_LOCALITY_1MIN_RPO);
    unsigned serial = 0;
    ASSERT_FALSE(db.CreateTablesSchema().IsError());
    ASSERT_FALSE(db.InsertDBRecord("SQL1", 6, "Hr", serial).IsError());
    job.State().databases["Sales"].mountPaths.insert(other);  // read first
    AddDump(pathB, "d1", "100", "200");
    EXPECT_EQ((std::vector<std::string>{pathB + "/d1.bak"}), List("", ""));
    EXPECT_EQ(1, Count(pathB, "d1.bak"));
}

}  // namespace
