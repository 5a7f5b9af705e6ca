// The writer steps of a snapshot restore, the snapshot metadata files of a
// full backup, and the SQL credentials a client's restore runs with.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxLib/JXPlatformInfo.h"
#include "WzUtils/FXErrorUtil.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/support/TestRoot.h"

namespace {

struct VssJob : TestRestoreJob {
    using CSQLRestoreBase::GetXmlFilePathsForVssRestore;
    using CSQLRestoreBase::m_snapCopyRestoreHandler;
    using CSQLCommon::m_sqlPassword;
    using CSQLCommon::m_sqlUser;
};

SqlAFilesPerBackup_t Backup(char type, std::vector<std::string> paths) {
    SqlAFilesPerBackup_t backup;
    backup.backupType = static_cast<uint32_t>(type);
    for (const std::string& path : paths) backup.archiveFiles.push_back(AFileInfo_t{2, 1, 0, path});
    return backup;
}

class RestoreVssTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        db.sDbName = "Sales";
        ASSERT_NE(JXPlatformInfo().setNumber("MSSQLAgent", "nSleepSecsForVSSOperation", 0), 0);
    }
    void Switch(const std::string& step) { root.WriteFile("snaprestore/fail/" + step, ""); }
    static int32_t Code(const CWzError& e) { return FXErrorUtil::GetJXResult(e); }

    VssJob job;
    SqlRestoreDbInfo_t db;
};

TEST_F(RestoreVssTest, MetadataFilesOfTheFullBackupAreFoundUnderTheFolder) {
    root.WriteFile("meta/sub/12_Full_BCD.xml", "<bcd/>");
    root.WriteFile("meta/12_full_wrt.XML", "<wrt/>");
    db.restoreChain = {Backup('L', {"/x/9_Full_BCD.xml"}),
                       Backup('D', {"/vol/data", "/cs/12_Full_BCD.xml", "/cs/12_Full_WRT.xml"})};
    std::string bcd, writer;
    CWzError e = job.GetXmlFilePathsForVssRestore(root.File("meta"), db, bcd, writer);
    ASSERT_FALSE(e.IsError()) << e.AsString();
    EXPECT_EQ(bcd, root.File("meta/sub/12_Full_BCD.xml"));
    EXPECT_EQ(writer, root.File("meta/12_full_wrt.XML")) << "names are matched without case";
}

TEST_F(RestoreVssTest, MissingMetadataFilesAreRefusedWithTheirCode) {
    std::string bcd, writer;
    db.restoreChain = {Backup('D', {"/cs/12-bcd.xml"})};
    CWzError onlyBcd = job.GetXmlFilePathsForVssRestore(root.path(), db, bcd, writer);
    EXPECT_EQ(Code(onlyBcd), 108);
    EXPECT_NE(onlyBcd.AsString().find("Failed to find xml paths."), std::string::npos);

    db.restoreChain = {Backup('D', {"/cs/12-bcd.xml", "/cs/12-writer.xml"})};
    root.WriteFile("12-bcd.xml", "<bcd/>");
    CWzError notOnDisk = job.GetXmlFilePathsForVssRestore(root.path(), db, bcd, writer);
    EXPECT_EQ(Code(notOnDisk), 108);
}

TEST_F(RestoreVssTest, WriterStepsRunInOrderAndAFailedStepStopsThem) {
    ASSERT_FALSE(job.PerformVssOperationForSnapRestore(db).IsError());
    EXPECT_EQ(job.m_snapCopyRestoreHandler.Steps(),
              (std::vector<std::string>{"setDatabaseInfo Sales", "InitializeVSSRestore", "PostVSSRestore"}));

    VssJob other;
    other.m_restoreOptions.sourceInstanceId = 3;
    other.m_restoreOptions.destinationInstanceId = 4;
    Switch("InitializeVSSRestore");
    EXPECT_EQ(Code(other.PerformVssOperationForSnapRestore(db)), 111);
    EXPECT_EQ(other.m_snapCopyRestoreHandler.Steps(),
              (std::vector<std::string>{"setDatabaseInfo Sales", "ManipulateXmlMetadata Sales", "InitializeVSSRestore"}));

    VssJob post;
    Switch("PostVSSRestore");
    EXPECT_EQ(Code(post.PerformVssOperationForSnapRestore(db)), 112);
}

TEST_F(RestoreVssTest, CredentialsOfTheClientAreKeptOrLocalSystemIsUsed) {
    ASSERT_FALSE(job.DoUserImpersonation(5).IsError());
    EXPECT_TRUE(job.m_sqlUser.empty());

    ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("instance", 5), "sqlUser", "CORP/restorer"));
    ASSERT_TRUE(AppModel::Set(AppModel::ObjectName("instance", 5), "sqlPassword", ""));
    ASSERT_FALSE(job.DoUserImpersonation(5).IsError());
    EXPECT_EQ(job.m_sqlUser, "CORP/restorer");
    EXPECT_EQ(job.getUserName(), L"restorer");
    EXPECT_EQ(job.getDomain(), L"CORP");
}

}  // namespace
