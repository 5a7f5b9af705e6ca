// Behaviour of dump metadata files: naming, reading and the required fields.
#include "JxSQLCommon/state/DumpXMLFile.h"

#include <gtest/gtest.h>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "tests/JxSQLCommon/state/DumpFiles.h"
#include "tests/JxSQLCommon/state/DumpFolderTest.h"
#include "tests/support/TestRoot.h"

namespace {

class DumpXMLFileTest : public statetest::DumpFolderTest {
protected:
    DumpXMLFile file;
};

TEST_F(DumpXMLFileTest, MetadataPathReplacesTheBakEnding) {
    std::string xml;
    ASSERT_FALSE(file.GetXMLFileFromBAKFile("/mnt/dump/db1_log_backup_1.BAK", xml).IsError());
    EXPECT_EQ("/mnt/dump/db1_log_backup_1.xml", xml);
    EXPECT_EQ("strBakFile does not have proper ext", file.GetXMLFileFromBAKFile("/mnt/dump/x.bak.jxf", xml).GetMessage());
    EXPECT_EQ("strBakFile is empty", file.GetXMLFileFromBAKFile("", xml).GetMessage());

    statetest::WriteDump(Folder(), "sales_log_backup_1", {});
    EXPECT_TRUE(file.DoesXMLFileExists(Folder() + "/sales_log_backup_1.bak"));
    EXPECT_TRUE(file.DoesXMLFileExists(Folder() + "/sales_log_backup_1"));
    EXPECT_FALSE(file.DoesXMLFileExists(Folder() + "/other.bak"));
    EXPECT_FALSE(file.DoesXMLFileExists(""));
}

TEST_F(DumpXMLFileTest, ReadsMetadataIntoTheRecordWithWholeDates) {
    statetest::DumpFields fields;
    fields.databaseId = 5000000000;              // beyond 32 bits
    fields.start = int64_t{1} << 33;
    fields.finish = (int64_t{1} << 33) + 60;
    statetest::WriteDump(Folder(), "sales_log_backup_1", fields);
    LogFileInfo info;
    info.folder = "kept";
    ASSERT_FALSE(file.GetSweepMetadataFromXML(Folder() + "/sales_log_backup_1.xml", info).IsError());
    EXPECT_EQ("Sales", info.databaseName);
    EXPECT_EQ(5000000000, info.databaseId);
    EXPECT_EQ("100", info.firstLSN);
    EXPECT_EQ("200", info.lastLSN);
    EXPECT_EQ("90", info.checkpointLSN);
    EXPECT_EQ(int64_t{1} << 33, info.startTime);
    EXPECT_EQ((int64_t{1} << 33) + 60, info.finishTime);
    EXPECT_EQ("L", info.type);
    EXPECT_EQ("kept", info.folder);
    EXPECT_EQ("", info.backupFile);
}

TEST_F(DumpXMLFileTest, EachMissingRequiredFieldIsNamed) {
    using Info = SQLPmn::SQLDBBackupInfo;
    const std::pair<CNFieldId, const char*> cases[] = {
        {Info::kDatabaseName, "getDatabaseName not set in "}, {Info::kDatabaseId, "isdatabaseIdSet not set in "},
        {Info::kLastLsn, "getLast_lsn not set in "},           {Info::kFirstLsn, "getFirst_lsn not set in "},
        {Info::kCheckpointLsn, "getCheckpoint_lsn not set in "},
        {Info::kBackupFinishDate, "isbackup_finish_DateSet not set in "},
        {Info::kBackupStartDate, "isbackup_start_DateSet not set in "}, {Info::kBackupType, "istypeSet not set in "},
    };
    const Info full = statetest::BackupInfo({});
    const std::string xml = Folder() + "/m.xml";
    for (const auto& [missing, message] : cases) {
        Info info;
        for (const auto& [field, ignored] : cases) {
            if (field.id == missing.id) continue;
            const std::string text = full.getstring(field);
            if (text.empty()) {
                info.setint64(field, full.getint64(field));
            } else {
                info.setstring(field, text);
            }
        }
        statetest::WriteText(xml, statetest::MetadataText(info));
        LogFileInfo out;
        CWzError e = file.GetSweepMetadataFromXML(xml, out);
        EXPECT_EQ(1465u, FXErrorUtil::GetWin32(e)) << message;
        EXPECT_EQ(message + xml, e.GetMessage());
    }
}

TEST_F(DumpXMLFileTest, BadFilesAreRefusedWithTheirName) {
    LogFileInfo info;
    const std::string xml = Folder() + "/m.xml";
    EXPECT_EQ(2u, FXErrorUtil::GetWin32(file.GetSweepMetadataFromXML(xml, info)));
    statetest::WriteText(xml, "");
    EXPECT_NE(std::string::npos, file.GetSweepMetadataFromXML(xml, info).AsString().find("File size is 0 " + xml));
    statetest::WriteText(xml, "<SQLPmn_SQLDBBackupMetadata module=\"34\" message=\"19\"><str id=");
    EXPECT_EQ("sqlBkpMetaData.unserialize failed", file.GetSweepMetadataFromXML(xml, info).GetMessage());
    statetest::WriteText(xml, "<SQLPmn_SQLDBBackupMetadata module=\"34\" message=\"19\"/>");
    EXPECT_EQ("getDatabaseName not set in " + xml, file.GetSweepMetadataFromXML(xml, info).GetMessage());
    EXPECT_EQ("strXmlFile is empty", file.GetSweepMetadataFromXML("", info).GetMessage());
}

TEST_F(DumpXMLFileTest, ContentStopsAtTheFirstZeroByte) {
    const std::string xml = Folder() + "/m.xml";
    statetest::WriteText(xml, std::string("abc\0def", 7));
    std::string contents;
    ASSERT_FALSE(file.ReadInXmlFileContents(xml, contents).IsError());
    EXPECT_EQ("abc", contents);
}

}  // namespace
