// Attaching databases from files and snapshot metadata left in the dump
// location, the attach entry of a restored database, and the search for
// files by name.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "JobResults/StoreResults.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/restore/FindGivenFile.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/restore/RecordingRstJobClient.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/support/TestRoot.h"

namespace {

struct AttachJob : TestRestoreJob {
    using CSQLCommon::m_pJobResults;
};

class AttachFromMetadataTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        SqlSimServerSpec server;
        server.name = "node1/INST";
        ASSERT_TRUE(instance.Create(server).IsSuccess());
        SqlSimDatabaseSpec sales;
        sales.name = "sales";
        ASSERT_TRUE(instance.AddDatabase(sales).IsSuccess());
        dump = root.File("dump/job7");
        ASSERT_EQ(0, wz::MakeDirectoryTree(dump));
        results = std::make_unique<StoreResults>(root.File("results"));
        ASSERT_EQ(0, wz::MakeDirectoryTree(root.File("results")));
        job.m_pJobResults = results.get();
        job.m_pRstJobClnt = client;
        job.m_dumpLocation = dump;
        job.m_sServername = "node1/INST";
    }

    // Metadata naming `databases`, each with a data and a log file whose
    // copies are written into the dump location unless listed in `missing`.
    void WriteMetadata(const std::vector<std::string>& databases, const std::vector<std::string>& missing = {}) {
        SQLPmn::AttachDBMsg writer, components;
        writer.setstring(SQLPmn::AttachDBMsg::kInstanceName, "node1/INST");
        for (const std::string& name : databases) {
            SQLPmn::AttachDB entry;
            entry.setstring(SQLPmn::AttachDB::kAttachName, name);
            std::vector<std::string> files;
            for (const std::string& file : {name + ".mdf", name + "_log.ldf"}) {
                files.push_back("/var/opt/mssql/data/" + file);
                if (std::find(missing.begin(), missing.end(), name) == missing.end()) {
                    root.WriteFile("dump/job7/" + file, std::string(8192, 'p'));
                }
            }
            entry.setliststring(SQLPmn::AttachDB::kFilePaths, files);
            components.addlistobject(SQLPmn::AttachDBMsg::kDatabases, entry);
        }
        std::string text;
        ASSERT_EQ(0, writer.serialize(text));
        root.WriteFile("dump/job7/7_FULL_WRT.xml", text);
        ASSERT_EQ(0, components.serialize(text));
        root.WriteFile("dump/job7/7_FULL_BCD.xml", text);
    }

    std::vector<std::string> FilesOf(const std::string& database) {
        CsqlDMO sql;
        std::vector<std::string> paths;
        std::string error;
        (void)sql.getDatabaseFilePaths("node1/INST", database, paths, error);  // empty when absent
        return paths;
    }

    bool Exists(const std::string& relative) { return !jxtest::ReadWholeFile(root.File(relative)).empty(); }

    SqlSimInstance instance;
    std::string dump;
    std::unique_ptr<StoreResults> results;
    std::shared_ptr<RecordingRstJobClient> client = std::make_shared<RecordingRstJobClient>();
    AttachJob job;
};

TEST_F(AttachFromMetadataTest, AttachesEveryDatabaseFromTheDumpLocationAndRemovesTheMetadata) {
    WriteMetadata({"north", "south"});
    job.m_dumpLocation = dump + "/";   // a trailing separator changes nothing
    ASSERT_TRUE(job.attachToSQLServer());
    EXPECT_EQ((std::vector<std::string>{dump + "/north.mdf", dump + "/north_log.ldf"}), FilesOf("north"));
    EXPECT_EQ(2u, FilesOf("south").size());
    EXPECT_FALSE(Exists("dump/job7/7_FULL_WRT.xml"));
    EXPECT_FALSE(Exists("dump/job7/7_FULL_BCD.xml"));
    EXPECT_TRUE(client->infoEvents.empty());
}

// A partial attach succeeds, and every database that failed is reported and
// recorded, not only the last one.
TEST_F(AttachFromMetadataTest, EachFailedDatabaseIsReportedAndRecorded) {
    WriteMetadata({"east", "north", "west"}, {"east", "west"});
    EXPECT_TRUE(job.attachToSQLServer());
    EXPECT_EQ(2u, FilesOf("north").size());
    EXPECT_EQ((std::vector<int>{kEventAttachFailed, kEventAttachFailed}), client->infoEvents);
    EXPECT_EQ((std::vector<std::string>{"east", "west"}), client->arguments);
    const std::string status = jxtest::ReadWholeFile(results->restoreStatusFilePath());
    EXPECT_NE(std::string::npos, status.find("3\teast"));
    EXPECT_NE(std::string::npos, status.find("3\twest"));

    WriteMetadata({"east"}, {"east"});
    EXPECT_FALSE(job.attachToSQLServer()) << "nothing attached";
    EXPECT_FALSE(Exists("dump/job7/7_FULL_BCD.xml")) << "removed whatever the result";
}

// With overwrite, a database whose new files cannot be attached gets its
// old files back instead of staying detached.
TEST_F(AttachFromMetadataTest, OverwrittenDatabaseWhoseAttachFailsIsAttachedBack) {
    const std::vector<std::string> before = FilesOf("sales");
    ASSERT_EQ(2u, before.size());
    WriteMetadata({"sales", "north"}, {"sales"});
    job.m_restoreOptions.optionFlags = 0x2;
    EXPECT_TRUE(job.attachToSQLServer());
    EXPECT_EQ(before, FilesOf("sales"));
    EXPECT_EQ(2u, FilesOf("north").size());
    EXPECT_EQ((std::vector<int>{kEventAttachFailed}), client->infoEvents);

    // Nothing detachable (a system database): event, metadata kept.
    client->infoEvents.clear();
    WriteMetadata({"master"});
    EXPECT_FALSE(job.attachToSQLServer());
    EXPECT_EQ((std::vector<int>{kEventNothingDetached}), client->infoEvents);
    EXPECT_TRUE(Exists("dump/job7/7_FULL_BCD.xml"));
}

// Without metadata files nothing in the dump location is touched.
TEST_F(AttachFromMetadataTest, MissingMetadataFailsAndRemovesNothing) {
    root.WriteFile("dump/job7/keep.xml", "<keep/>");
    root.WriteFile("dump/job7/data.mdf", "data");
    EXPECT_FALSE(job.attachToSQLServer());
    EXPECT_TRUE(Exists("dump/job7/keep.xml"));
    EXPECT_TRUE(Exists("dump/job7/data.mdf"));
}

// A name with a control character is refused before anything is attached,
// with a cause naming the database; the metadata stays for a look.
TEST_F(AttachFromMetadataTest, NameWithAControlCharacterIsRefusedBeforeAnyAttach) {
    WriteMetadata({"north", "so\tuth"});
    EXPECT_FALSE(job.attachToSQLServer());
    EXPECT_TRUE(FilesOf("north").empty());
    EXPECT_TRUE(FilesOf("so\tuth").empty());
    EXPECT_EQ((std::vector<int>{kCauseCheckAttach}), client->causes);
    EXPECT_EQ((std::vector<std::string>{"so\\x09uth"}), client->arguments);
    EXPECT_TRUE(Exists("dump/job7/7_FULL_BCD.xml"));
}

TEST_F(AttachFromMetadataTest, MetadataFileNamesAreCaseSensitiveAndTheLastMatchWins) {
    for (const char* name : {"a_BCD.xml", "b-bcd.xml", "c-writer.xml", "x_bcd.XML", "y_wrt.xml"}) {
        root.WriteFile(std::string("dump/job7/") + name, "<x/>");
    }
    std::string bcd, writer;
    EXPECT_TRUE(job.getBCDAndWriterXML(dump, bcd, writer));
    EXPECT_EQ("b-bcd.xml", bcd);
    EXPECT_EQ("c-writer.xml", writer);
}

TEST_F(AttachFromMetadataTest, AttachEntryOfARestoredDatabase) {
    SqlRestoreDbInfo_t db;
    db.sDbName = "sales";
    db.newFiles = {"/data/sales.mdf", "/data/sales_log.ldf"};
    std::string xml;
    ASSERT_TRUE(job.getAttachMessageForDB(db, xml));
    SQLPmn::AttachDB entry;
    ASSERT_EQ(0, entry.unserialize(xml));
    EXPECT_EQ("sales", entry.getstring(SQLPmn::AttachDB::kAttachName));
    EXPECT_EQ("sales", entry.getstring(SQLPmn::AttachDB::kSourceName));
    EXPECT_EQ((std::vector<std::string>{"/data/sales.mdf", "/data/sales_log.ldf"}),
              entry.getliststring(SQLPmn::AttachDB::kFilePaths));
    db.newDbName = "sales_copy";
    ASSERT_TRUE(job.getAttachMessageForDB(db, xml));
    ASSERT_EQ(0, entry.unserialize(xml));
    EXPECT_EQ("sales_copy", entry.getstring(SQLPmn::AttachDB::kAttachName));
    EXPECT_EQ("sales", entry.getstring(SQLPmn::AttachDB::kSourceName));
}

TEST(FindGivenFileTest, FindsNamesIgnoringCaseAndKeepsTheFirstPathMet) {
    jxtest::TestRoot root;
    root.WriteFile("tree/a/data.mdf", "1");
    root.WriteFile("tree/b/DATA.mdf", "2");
    root.WriteFile("tree/b/log.ldf", "3");
    std::map<std::string, std::string, __less_nocase_cmp> found;
    FindGivenFile(root.File("tree"), {"DATA.MDF", "Log.LDF"}, found);
    ASSERT_EQ(2u, found.size());
    EXPECT_EQ(root.File("tree/a/data.mdf"), found["data.mdf"]);
    EXPECT_EQ(root.File("tree/b/log.ldf"), found["log.ldf"]);

    found.clear();
    FindGivenFile(root.File("tree"), {"data.mdf"}, found);
    EXPECT_EQ(root.File("tree/a/data.mdf"), found["DATA.MDF"]) << "the search stops at the first";
    found.clear();
    FindGivenFile(root.File("nowhere"), {"data.mdf"}, found);
    EXPECT_TRUE(found.empty());
}

}  // namespace
