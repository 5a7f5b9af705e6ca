// The integrity check of a snapshot copy: run in the job on a second
// instance, refused on the live instance, failed by a damaged copy, and the
// path and version rules of its steps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvTask.h"
#include "JXAppMgr/AppModel.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxJobClient/JobJournal.h"
#include "JxLib/JXGlobalParam.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/SqlVersionParts.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLCommon/backup/BackupJobRun.h"
#include "tools/jobs/SnapshotBackupJob.h"
#include "tools/jxserve/JxServeBackupSets.h"

namespace {

constexpr unsigned long kIntegrityCheckOption = 0x1D02AC87;

struct OpenCheckJob : SnapshotBackupJob {
    using CSQLBackup::m_integrityMountBase;
};

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::vector<std::string> Events(const std::vector<jobmanager::JournalEntry>& all) {
    std::vector<std::string> ids;
    for (const auto& e : all) {
        if (e.op == "event" || e.op == "setPendingCause") ids.push_back(e.Get("id") + e.Get("cause"));
    }
    return ids;
}

bool Has(const std::vector<std::string>& list, const std::string& item) {
    for (const std::string& s : list) {
        if (s.find(item) != std::string::npos) return true;
    }
    return false;
}

class IntegrityCheckTest : public jxtest::BackupJobRun {
protected:
    void SetUp() override {
        BackupJobRun::SetUp();
        AppModel::Set("subclient/1234", "snapBackup", "1");
        AppModel::Set("subclient/1234", "snapEngine", "2");
        AppModel::Set("subclient/1234", "useIntegrityProxy", "1");
        AppModel::Set("subclient/1234", "integrityProxy", "2");
        AppModel::Set("subclient/1234", "integritySQLServer", "HOST/CHK");
        AppModel::Set("client/2", "name", "node1");
        AppModel::Set("client/2", "hostName", "node1");
        AppModel::Set("client/2", "useIndexingV2ForMSSQL", "1");
        ASSERT_NE(JXPlatformInfo().setString("", "sPhysicalNodeName", "node1"), 0);
        ASSERT_NE(JXPlatformInfo().setString("Machines/node1", "dJOBRESULTSDIR", root.path()), 0);
        SqlSimServerSpec check;
        check.name = "HOST/CHK";
        ASSERT_FALSE(checkInstance.Create(check).IsError());
    }

    std::string Results(uint64_t jobId) {
        (void)jobId;
        return root.File("JX_JobResults/Pelmanode/MSSQLAgent/2/1234");
    }

    bool RunCheckedJob(OpenCheckJob& job, uint64_t jobId) {
        EXPECT_TRUE(EvTask::setOption(jobId, kIntegrityCheckOption, "1"));
        return RunPhaseOf(job, jobId, "-D", 1, {});
    }

    // Databases of an instance, by name.
    bool HasDatabase(const std::string& instance, const std::string& name) {
        CsqlDMO sql;
        return sql.initialize(instance) && sql.isDatabaseExists(name);
    }

    SqlSimInstance checkInstance;
};

TEST_F(IntegrityCheckTest, LocalCheckAttachesTheCopiesOnTheCheckInstanceAndLeavesNothingBehind) {
    MakeDatabases({"Sales", "Hr"});
    OpenCheckJob job;
    ASSERT_TRUE(RunCheckedJob(job, 84));

    const auto journal = Journal(84);
    const auto events = Events(journal);
    EXPECT_TRUE(Has(events, jobmanager::JournalId(kEventIntegrityCheckPassed))) << ::testing::PrintToString(events);
    EXPECT_FALSE(Has(events, jobmanager::JournalId(kEventIntegrityCheckFailed)));
    EXPECT_EQ(JxServeStoredBackupSets().size(), 2u);
    // Detached again, mounts gone, metadata removed after the check.
    EXPECT_FALSE(HasDatabase("HOST/CHK", "Sales"));
    EXPECT_FALSE(HasDatabase("HOST/CHK", "Hr"));
    EXPECT_TRUE(HasDatabase("HOST/INST", "Sales"));
    EXPECT_FALSE(job.m_integrityMountBase.empty());
    std::vector<std::string> mounts;
    (void)wz::Fs().ReadDirectory(job.m_integrityMountBase, mounts);  // a missing base holds nothing too
    EXPECT_TRUE(mounts.empty()) << ::testing::PrintToString(mounts);
    EXPECT_FALSE(Exists(Results(84) + "/84_Full_BCD.xml"));
}

TEST_F(IntegrityCheckTest, DamagedCopyFailsTheDbccAndTheCheck) {
    MakeDatabases({"Sales"});
    // The snapshot copies whatever the volume holds: a torn data file.
    CsqlDMO sql;
    DatabaseContents_t contents;
    ASSERT_TRUE(sql.getDatabaseContents("HOST/INST", 0, "Sales", contents));
    const std::string dataFile = contents.fileGroups.front().files.front().physicalName;
    ASSERT_EQ(::truncate(dataFile.c_str(), 1000), 0);
    checkInstance.Db();  // keeps the catalogue open for the test's lifetime
    // The catalogue records the torn size, as SQL Server would see the file.
    SqlSimInstance source;
    ASSERT_FALSE(source.Open("HOST/INST").IsError());
    ASSERT_FALSE(source.Db().Prepare("UPDATE files SET size = 1000 WHERE physical_path = ?").Bind(1, dataFile).Run().IsError());

    OpenCheckJob job;
    ASSERT_TRUE(RunCheckedJob(job, 85));
    const auto events = Events(Journal(85));
    EXPECT_TRUE(Has(events, jobmanager::JournalId(kCauseDbcc))) << ::testing::PrintToString(events);
    EXPECT_TRUE(Has(events, jobmanager::JournalId(kEventIntegrityCheckFailed)));
    EXPECT_FALSE(Has(events, jobmanager::JournalId(kEventIntegrityCheckPassed)));
    EXPECT_FALSE(HasDatabase("HOST/CHK", "Sales"));
}

TEST_F(IntegrityCheckTest, CheckAimedAtTheLiveInstanceFailsAndKeepsItsDatabases) {
    MakeDatabases({"Sales"});
    AppModel::Set("subclient/1234", "integritySQLServer", "HOST/INST");
    OpenCheckJob job;
    ASSERT_TRUE(RunCheckedJob(job, 86));
    const auto events = Events(Journal(86));
    EXPECT_TRUE(Has(events, jobmanager::JournalId(kEventIntegrityCheckFailed))) << ::testing::PrintToString(events);
    EXPECT_TRUE(HasDatabase("HOST/INST", "Sales"));
    CsqlDMO sql;
    DatabaseContents_t contents;
    ASSERT_TRUE(sql.getDatabaseContents("HOST/INST", 0, "Sales", contents));
    EXPECT_EQ(contents.fileGroups.front().files.front().physicalName.find(job.m_integrityMountBase), std::string::npos);
}

TEST_F(IntegrityCheckTest, DbccSwitchedOffStillAttachesConfirmsAndDetaches) {
    MakeDatabases({"Sales"});
    ASSERT_TRUE(JXGlobalParam::setProperty("RunDBCCCheckForDB", " 0 "));
    CsqlDMO sql;
    DatabaseContents_t contents;
    ASSERT_TRUE(sql.getDatabaseContents("HOST/INST", 0, "Sales", contents));
    const std::string dataFile = contents.fileGroups.front().files.front().physicalName;
    ASSERT_EQ(::truncate(dataFile.c_str(), 1000), 0);  // a DBCC would catch it
    OpenCheckJob job;
    ASSERT_TRUE(RunCheckedJob(job, 98));
    const auto events = Events(Journal(98));
    EXPECT_TRUE(Has(events, jobmanager::JournalId(kEventIntegrityCheckPassed))) << ::testing::PrintToString(events);
    EXPECT_FALSE(HasDatabase("HOST/CHK", "Sales"));
}

TEST_F(IntegrityCheckTest, VersionTextsGiveTheirLeadingNumbers) {
    auto parts = [](const std::string& text) {
        const SqlVersionParts p = ParseSqlVersionParts(text);
        return std::vector<int>{p.major, p.minor, p.build};
    };
    EXPECT_EQ(parts("15.0.4153.1"), (std::vector<int>{15, 0, 4153}));
    EXPECT_EQ(parts("16.2"), (std::vector<int>{16, 2, 0}));
    EXPECT_EQ(parts("\"15.1\".7"), (std::vector<int>{15, 7, 0})) << "a quoted dot does not split";
    EXPECT_EQ(parts("x.9abc.99999999999"), (std::vector<int>{0, 9, INT_MAX}));
}

TEST_F(IntegrityCheckTest, CheckNotConfiguredFailsWithoutLookingForAProxy) {
    MakeDatabases({"Sales"});
    AppModel::Set("subclient/1234", "useIntegrityProxy", "0");
    OpenCheckJob job;
    ASSERT_TRUE(RunCheckedJob(job, 87));
    EXPECT_TRUE(Has(Events(Journal(87)), jobmanager::JournalId(kCauseCheckNotConfigured)));
}

struct StepsJob : jxtest::BackupJobUnderTest {
    using BackupJobUnderTest::BackupJobUnderTest;
    using CSQLBackup::m_integrityMountBase;
    using CSQLCommon::m_pSubclient;
};

SQLPmn::AttachDB Entry(const std::string& name, const std::vector<std::string>& files) {
    SQLPmn::AttachDB entry;
    entry.setstring(SQLPmn::AttachDB::kAttachName, name);
    entry.setliststring(SQLPmn::AttachDB::kFilePaths, files);
    return entry;
}

SQLPmn::AttachDBMsg OneDatabase(const std::vector<std::string>& files, const std::string& name = "Sales") {
    SQLPmn::AttachDBMsg message;
    message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, Entry(name, files));
    return message;
}

std::vector<std::string> Files(const SQLPmn::AttachDBMsg& message) {
    std::vector<SQLPmn::AttachDB> list;
    EXPECT_TRUE(message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, list));
    return list.empty() ? std::vector<std::string>{} : list[0].getliststring(SQLPmn::AttachDB::kFilePaths);
}

TEST_F(IntegrityCheckTest, FilePathsMoveToTheirVolumesMountByWholeLevelsWithCase) {
    StepsJob job(88);
    std::map<std::string, std::string> volumes = {{"/data", "/m/A/"}, {"/data2", "/m/B/"}, {"/Logs", "/m/C/"}};
    auto message = OneDatabase({"/data2/x.mdf", "/data/y.ndf", "/logs/z.ldf", "/Logs/z.ldf", "/other/w.ndf"});
    ASSERT_TRUE(job.replaceFileNamesWithMountPath(message, volumes));
    EXPECT_EQ(Files(message), (std::vector<std::string>{"/m/B/x.mdf", "/m/A/y.ndf", "/m/C/z.ldf"}));

    auto escaping = OneDatabase({"/data/../../etc/passwd"});
    EXPECT_FALSE(job.replaceFileNamesWithMountPath(escaping, volumes));
}

TEST_F(IntegrityCheckTest, VersionTestAndMissingFiles) {
    StepsJob job(89);
    // The check instance runs 15.0.4153.
    EXPECT_TRUE(job.performSQLVersionCompatibilityCheck("HOST/CHK", 15, 0, 4153, ""));
    EXPECT_TRUE(job.performSQLVersionCompatibilityCheck("HOST/CHK", 14, 9, 9999, ""));
    EXPECT_FALSE(job.performSQLVersionCompatibilityCheck("HOST/CHK", 15, 0, 4154, ""));
    EXPECT_FALSE(job.performSQLVersionCompatibilityCheck("HOST/CHK", 16, 0, 1000, ""));
    EXPECT_FALSE(job.performSQLVersionCompatibilityCheck("HOST/NONE", 1, 0, 0, ""));

    root.WriteFile("there.mdf", "x");
    auto message = OneDatabase({root.File("there.mdf"), root.path() + "/gone*.ndf"});
    EXPECT_TRUE(job.checkIfDatabaseFilesExists(message));
    auto missing = OneDatabase({root.path() + "/gone.ndf"});
    EXPECT_FALSE(job.checkIfDatabaseFilesExists(missing));
    EXPECT_EQ(job.Journal("setPendingCause").size(), 4u);
}

TEST_F(IntegrityCheckTest, SnapshotMetadataWithoutDatabasesIsNotCheckedNotPassed) {
    MakeDatabases({"Sales"});
    StepsJob job(93);
    MsSqlSubclient subclient(1234);
    job.m_pSubclient = &subclient;
    job.m_jxCellId = 2;
    job.m_appNumber = 1234;
    JXSnapClientAPI::SnapRequest request;
    request.jobId = 93;
    request.instance = "HOST/INST";
    request.databases = {"Sales"};
    request.metadataDirectory = Results(93);
    ASSERT_EQ(wz::MakeDirectoryTree(request.metadataDirectory), 0);
    std::vector<std::string> volumes;
    std::string error;
    ASSERT_TRUE(JXSnapClientAPI::snapDatabases(request, volumes, error)) << error;
    SQLPmn::AttachDBMsg empty;
    std::string xml;
    ASSERT_EQ(empty.serialize(xml), kMsgOk);
    root.WriteFile("JX_JobResults/Pelmanode/MSSQLAgent/2/1234/93__BCD.xml", xml);

    std::string user;
    EXPECT_FALSE(job.performIntegrityCheckOnSrc(user));
    ASSERT_EQ(job.Journal("setPendingCause").size(), 1u);
    EXPECT_EQ(job.Journal("setPendingCause")[0].Get("cause"), jobmanager::JournalId(kCauseCheckAttach));
    EXPECT_FALSE(Exists(Results(93) + "/93__BCD.xml")) << "removed once the check is over";
    job.m_pSubclient = nullptr;
}

TEST_F(IntegrityCheckTest, MetadataReaderRefusesMalformedEntries) {
    StepsJob job(92);
    const std::string writer = root.File("w.xml");
    SQLPmn::AttachDBMsg writerMessage;
    std::string xml;
    ASSERT_EQ(writerMessage.serialize(xml), kMsgOk);
    root.WriteFile("w.xml", xml);
    auto write = [&](const SQLPmn::AttachDBMsg& m) {
        std::string text;
        EXPECT_EQ(m.serialize(text), kMsgOk);
        root.WriteFile("c.xml", text);
        return root.File("c.xml");
    };
    SQLPmn::AttachDBMsg out;
    EXPECT_TRUE(job.getAttachMsgFromMetadata(write(OneDatabase({"/d/a.mdf"})), writer, out, "t"));
    EXPECT_EQ(Files(out), std::vector<std::string>{"/d/a.mdf"});
    for (const auto& bad : std::vector<std::vector<std::string>>{{}, {"relative.mdf"}, {"/d/../x.mdf"}}) {
        SQLPmn::AttachDBMsg none;
        EXPECT_FALSE(job.getAttachMsgFromMetadata(write(OneDatabase(bad)), writer, none, "t"));
        EXPECT_FALSE(none.isSet(SQLPmn::AttachDBMsg::kDatabases));
    }
    // A control character in a name or path could make it name something
    // else once handed on: refused, with a cause naming the database.
    ASSERT_TRUE(job.Journal("setPendingCause").empty());
    for (const auto& [name, file] : std::vector<std::pair<std::string, std::string>>{{"Sa\x01les", "/d/a.mdf"},
                                                                                    {"Sales", "/d/a\n/etc/x.mdf"}}) {
        SQLPmn::AttachDBMsg none;
        EXPECT_FALSE(job.getAttachMsgFromMetadata(write(OneDatabase({file}, name)), writer, none, "t"));
        EXPECT_FALSE(none.isSet(SQLPmn::AttachDBMsg::kDatabases));
    }
    const auto causes = job.Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 2u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseCheckAttach));
    EXPECT_EQ(causes[0].List("args"), std::vector<std::string>{"Sa\\x01les"});
    EXPECT_EQ(causes[1].List("args"), std::vector<std::string>{"Sales"});

    root.WriteFile("c.xml", "<truncated");
    SQLPmn::AttachDBMsg none;
    EXPECT_FALSE(job.getAttachMsgFromMetadata(root.File("c.xml"), writer, none, "t"));
    EXPECT_FALSE(job.getAttachMsgFromMetadata(root.File("c.xml"), root.File("missing.xml"), none, "t"));
}

// Each database reaches SQL Server as its serialised attach entry: a name
// holding a line break cannot add a file of its own. After a failed attach
// the check detaches every database it attached, wherever its files lie,
// and touches no database it did not attach.
TEST_F(IntegrityCheckTest, FailedAttachLeavesNothingTheCheckAttachedAndNoNameAddsAFile) {
    StepsJob job(99);
    job.m_integrityMountBase = root.File("mounts");
    root.WriteFile("outside/first.mdf", std::string(8192, 'f'));
    root.WriteFile("outside/evil.mdf", std::string(8192, 'e'));
    root.WriteFile("mounts/v1/evil_copy.mdf", std::string(8192, 'c'));
    SQLPmn::AttachDBMsg message;
    message.setstring(SQLPmn::AttachDBMsg::kInstanceName, "HOST/CHK");
    message.addlistobject(SQLPmn::AttachDBMsg::kDatabases, Entry("First", {root.File("outside/first.mdf")}));
    message.addlistobject(SQLPmn::AttachDBMsg::kDatabases,
                          Entry("Evil\n" + root.File("outside/evil.mdf"), {root.File("mounts/v1/evil_copy.mdf")}));

    EXPECT_FALSE(job.attachDatabasesForIntegrityCheck(message));
    EXPECT_FALSE(HasDatabase("HOST/CHK", "Evil")) << "the name's second line never became a file";
    EXPECT_FALSE(HasDatabase("HOST/CHK", "First")) << "attached by the check, so detached again";
    const auto causes = job.Journal("setPendingCause");
    ASSERT_EQ(causes.size(), 1u);
    EXPECT_EQ(causes[0].Get("cause"), jobmanager::JournalId(kCauseCheckAttach));
    for (const auto& e : job.Journal("event")) {
        EXPECT_NE(e.Get("id"), jobmanager::JournalId(kCauseCheckDetach))
            << "no detach of a database that was never attached";
    }
}

}  // namespace
