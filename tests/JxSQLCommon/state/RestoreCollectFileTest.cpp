// Behaviour of restore collect files: scanning dump folders, LSN order,
// saving and reading back.
#include "JxSQLCommon/state/RestoreCollectFile.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/JxSQLCommon/state/DumpFiles.h"
#include "tests/JxSQLCommon/state/DumpFolderTest.h"
#include "tests/support/TestRoot.h"

namespace {

class RestoreCollectFileTest : public statetest::DumpFolderTest {
protected:
    static statetest::DumpFields Dump(const std::string& first, const std::string& last) {
        statetest::DumpFields fields;
        fields.firstLSN = first;
        fields.lastLSN = last;
        return fields;
    }
    static std::string Paths(const LSNS& lsns) {
        std::string out;
        for (const auto& [key, info] : lsns) out += info.backupFile.substr(info.backupFile.rfind('/') + 1) + " ";
        return out;
    }
    RestoreCollectFile rcf;
};

TEST_F(RestoreCollectFileTest, CollectFileListsExactlyTheCompleteReadablePairsInLSNOrder) {
    const std::string mp = Folder("mp1");
    const std::string b3 = statetest::WriteDump(mp, "sales_log_backup_3", Dump("300", "400"));
    const std::string b1 = statetest::WriteDump(mp, "sales_log_backup_1", Dump("99", "200"));
    statetest::WriteDump(mp, "sales_log_backup_2", Dump("200", "300"), false);        // no .xml
    statetest::WriteDump(mp, "sales_log_backup_4", Dump("400", "500"));
    statetest::WriteText(mp + "/sales_log_backup_4.xml", "<broken");                  // damaged .xml
    statetest::WriteDump(mp, "other_log_backup_1", Dump("1", "2"));                   // another database
    statetest::WriteDump(mp, "sales_full_1", Dump("1", "2"));                         // not a log dump
    wz::MakeDirectoryTree(mp + "/sales_log_backup_dir.bak");                          // a folder

    DumpRestoreSettings settings;
    settings.jobID = "4711";
    settings.databases["Sales"].mountPaths = {mp, Folder("empty"), root.path() + "/missing"};
    ASSERT_FALSE(rcf.Create(settings).IsError());
    const LSNS& found = settings.databases["Sales"].logFiles;
    EXPECT_EQ("sales_log_backup_1.bak sales_log_backup_3.bak ", Paths(found));
    EXPECT_EQ(mp, found.begin()->second.folder);

    const std::string out = Folder("out");
    ASSERT_FALSE(rcf.Save(settings.databases, out, settings.jobID, true).IsError());
    EXPECT_EQ("[99] [200] " + b1 + "\n[300] [400] " + b3 + "\n", jxtest::ReadWholeFile(out + "/Sales_4711.rcf"));
    ASSERT_FALSE(rcf.Save(found, out + "/short.rcf", false).IsError());
    EXPECT_EQ(b1 + "\n" + b3 + "\n", jxtest::ReadWholeFile(out + "/short.rcf"));
}

TEST_F(RestoreCollectFileTest, DumpsWithTheSameFirstLSNAreBothKept) {
    const std::string mp = Folder("mp1");
    statetest::WriteDump(mp, "sales_log_backup_2", Dump("500", "700"));
    statetest::WriteDump(mp, "sales_log_backup_1", Dump("500", "500"));  // no activity: first = last
    LSNS lsns;
    ASSERT_FALSE(rcf.GetDatabaseFiles("SALES", mp, lsns).IsError());
    EXPECT_EQ("sales_log_backup_1.bak sales_log_backup_2.bak ", Paths(lsns));
}

TEST_F(RestoreCollectFileTest, TheSameDumpOnTwoMountPathsIsTakenFromTheFirst) {
    const std::string a = Folder("a");
    const std::string b = Folder("b");
    statetest::WriteDump(a, "sales_log_backup_1", Dump("1", "2"));
    statetest::WriteDump(b, "sales_log_backup_1", Dump("1", "2"));
    statetest::WriteDump(b, "sales_log_backup_2", Dump("2", "3"));
    DumpRestoreSettings settings;
    settings.jobID = "1";
    settings.databases["Sales"].mountPaths = {b, a};  // set order: a first
    ASSERT_FALSE(rcf.Create(settings).IsError());
    const LSNS& lsns = settings.databases["Sales"].logFiles;
    ASSERT_EQ(2u, lsns.size());
    EXPECT_EQ(a, lsns.begin()->second.folder);
}

TEST_F(RestoreCollectFileTest, DatabaseWithoutDumpsGetsNoFile) {
    DumpRestoreSettings settings;
    settings.jobID = "9";
    settings.databases["Empty"].mountPaths = {Folder("mp")};
    ASSERT_FALSE(rcf.Create(settings).IsError());
    const std::string out = Folder("out");
    EXPECT_FALSE(rcf.Save(settings.databases, out, "9", true).IsError());
    EXPECT_NE(0, ::access((out + "/Empty_9.rcf").c_str(), F_OK));
    CWzError e = rcf.Save(LSNS(), out + "/x.rcf", true);
    EXPECT_FALSE(e.IsError());
    EXPECT_EQ("LSNs empty", e.GetMessage());
}

TEST_F(RestoreCollectFileTest, ReadGivesBackWhatWasSavedAndSkipsSweptDumps) {
    const std::string mp = Folder("mp]1");  // "]" in a path must not confuse the detailed form
    statetest::WriteDump(mp, "sales_log_backup_1", Dump("10", "20"));
    const std::string b2 = statetest::WriteDump(mp, "sales_log_backup_2", Dump("20", "30"));
    LSNS saved;
    ASSERT_FALSE(rcf.GetDatabaseFiles("Sales", mp, saved).IsError());
    const std::string path = Folder("out") + "/Sales_1.rcf";
    for (bool detailed : {true, false}) {
        ASSERT_FALSE(rcf.Save(saved, path, detailed).IsError());
        LSNS read;
        ASSERT_FALSE(rcf.Read(read, path).IsError());
        ASSERT_EQ(2u, read.size());
        EXPECT_EQ(Paths(saved), Paths(read));
        EXPECT_EQ(mp, read.rbegin()->second.folder);
        EXPECT_EQ("30", read.rbegin()->second.lastLSN);
    }
    ASSERT_EQ(0, ::unlink(b2.c_str()));
    LSNS partly;
    ASSERT_FALSE(rcf.Read(partly, path).IsError());
    EXPECT_EQ(1u, partly.size());
    ASSERT_EQ(0, ::unlink((mp + "/sales_log_backup_1.bak").c_str()));
    LSNS none;
    EXPECT_EQ("No LSN files found", rcf.Read(none, path).GetMessage());
    EXPECT_TRUE(rcf.Read(none, path + ".missing").IsError());
}

TEST_F(RestoreCollectFileTest, AFailedSaveLeavesThePreviousFileWholeAndNothingBeside) {
    const std::string mp = Folder("mp");
    statetest::WriteDump(mp, "sales_log_backup_1", Dump("10", "20"));
    statetest::WriteDump(mp, "sales_log_backup_2", Dump("20", "30"));
    LSNS saved;
    ASSERT_FALSE(rcf.GetDatabaseFiles("Sales", mp, saved).IsError());
    const std::string folder = Folder("out");
    const std::string path = folder + "/Sales_1.rcf";
    root.WriteFile("out/Sales_1.rcf", "previous\n");
    using jxtest::FsCall;
    struct Fault {
        FsCall kind;
        int error;
        const char* text;
    };
    for (const Fault& fault : {Fault{FsCall::kOpen, ENOSPC, "No space left on device"},
                               Fault{FsCall::kWrite, ENOSPC, "No space left on device"},
                               Fault{FsCall::kFsync, EIO, "Input/output error"},
                               Fault{FsCall::kRename, EIO, "Input/output error"}}) {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCall(fault.kind, 1, fault.error);
        CWzError e = rcf.Save(saved, path, true);
        ASSERT_TRUE(e.IsError());
        EXPECT_NE(std::string::npos, e.GetMessage().find(fault.text)) << e.GetMessage();
        EXPECT_EQ(1, faulty.Fired(fault.kind));
        EXPECT_EQ("previous\n", jxtest::ReadWholeFile(path));
        EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
    }
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailWritesAfter(10, ENOSPC);  // the disk fills in the middle of the first line
    EXPECT_TRUE(rcf.Save(saved, path, true).IsError());
    EXPECT_EQ("previous\n", jxtest::ReadWholeFile(path));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

TEST_F(RestoreCollectFileTest, AnEntryWithALineBreakIsRefusedBeforeAnythingIsWritten) {
    const std::string mp = Folder("mp");
    statetest::WriteDump(mp, "sales_log_backup_1", Dump("10", "20"));
    statetest::WriteDump(mp, "sales_log_backup_2", Dump("20", "30"));
    LSNS saved;
    ASSERT_FALSE(rcf.GetDatabaseFiles("Sales", mp, saved).IsError());
    saved.rbegin()->second.lastLSN = "30\n" + mp + "/forged.bak";
    const std::string path = Folder("out") + "/Sales_1.rcf";
    root.WriteFile("out/Sales_1.rcf", "previous\n");
    CWzError e = rcf.Save(saved, path, true);
    ASSERT_TRUE(e.IsError());
    EXPECT_NE(std::string::npos, e.GetMessage().find("breaks the line")) << e.GetMessage();
    EXPECT_EQ("previous\n", jxtest::ReadWholeFile(path));
    EXPECT_FALSE(rcf.Save(saved, path, false).IsError());  // without LSNs the entry is one line
}

TEST_F(RestoreCollectFileTest, FileNameKeepsTheDatabaseCase) {
    std::string out;
    ASSERT_FALSE(rcf.BuildFilePath(out, "Sales", "/f", "4711").IsError());
    EXPECT_EQ("/f/Sales_4711.rcf", out);
    EXPECT_EQ("db is empty", rcf.BuildFilePath(out, "", "/f", "1").GetMessage());
    EXPECT_EQ("jobID is empty", rcf.BuildFilePath(out, "d", "/f", "").GetMessage());
    EXPECT_EQ("folder empty", rcf.BuildFilePath(out, "d", "", "1").GetMessage());
    EXPECT_TRUE(rcf.BuildFilePath(out, "a/../../b", "/f", "1").IsError());
}

TEST_F(RestoreCollectFileTest, RefusesEmptyArguments) {
    DumpRestoreSettings settings;
    EXPECT_EQ("databases is empty", rcf.Create(settings).GetMessage());
    settings.databases["x"];
    EXPECT_EQ("jobID is empty", rcf.Create(settings).GetMessage());
    EXPECT_EQ("folder is empty", rcf.Save(settings.databases, "", "1", true).GetMessage());
    EXPECT_EQ("lsns empty", rcf.Save(DB_LSNS(), "/f", "1", true).GetMessage());
    EXPECT_EQ("fullPath is empty", rcf.Save(LSNS(), "", true).GetMessage());
    LSNS lsns;
    EXPECT_EQ("db is empty", rcf.GetDatabaseFiles("", "/f", lsns).GetMessage());
    EXPECT_EQ("path is empty", rcf.GetDatabaseFiles("d", "", lsns).GetMessage());
}

}  // namespace
