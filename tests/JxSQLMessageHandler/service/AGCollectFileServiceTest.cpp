// The availability-group collect-file service: the file it writes, the
// request entries it refuses, and what a failure leaves on disk.
#include <dirent.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "tests/JxSQLMessageHandler/service/XmlRequestExchange.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

using jxtest::ReadErrorReply;

class AGCollectFileTest : public jxtest::RootedTest {
protected:
    void SetUp() override {
        results = root.path() + "/JobResults";
        root.WriteFile("JobResults/.keep", "");
        JXPlatformInfo settings;
        settings.setString("", "sPhysicalNodeName", "node1");
        settings.setString("Machines/node1", "dJOBRESULTSDIR", results);
    }

    // Runs the service on a document whose field 8 holds `entries`.
    jxtest::ErrorReply Collect(const std::vector<std::string>& entries) {
        SQLPmn::SQLAGCollectFile request;
        request.setliststring(SQLPmn::SQLAGCollectFile::kDatabases, entries);
        std::string reply;
        service.ProcessAGCollectFile(jxtest::XmlOf(request), reply);
        return ReadErrorReply(reply);
    }

    // Names in the job-results directory other than ".keep".
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        DIR* dir = opendir(results.c_str());
        while (dirent* e = dir ? readdir(dir) : nullptr) {
            std::string name = e->d_name;
            if (name != "." && name != ".." && name != ".keep") names.push_back(name);
        }
        if (dir) closedir(dir);
        return names;
    }

    std::string results;
    CSQLClientDll service{nullptr, nullptr, 0x1e0000ff};
};

TEST_F(AGCollectFileTest, WritesTheInstanceThenTheDatabasesOnePerLine) {
    jxtest::ErrorReply reply = Collect({"42|INST1"});
    EXPECT_EQ(reply.code, 0);
    EXPECT_EQ(reply.message, "");
    EXPECT_EQ(root.ReadFile("JobResults/42_OSCCollectFile.jxf"), "INST1\n");

    EXPECT_EQ(Collect({"42|HOST/INST2", "db1", "it's <db>"}).code, 0);
    EXPECT_EQ(root.ReadFile("JobResults/42_OSCCollectFile.jxf"), "HOST/INST2\ndb1\nit's <db>\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"42_OSCCollectFile.jxf"});
}

TEST_F(AGCollectFileTest, JobIdIsCutToItsLow32Bits) {
    EXPECT_EQ(Collect({"4294967338|INST1", "db"}).code, 0);  // 2^32 + 42
    EXPECT_EQ(root.ReadFile("JobResults/42_OSCCollectFile.jxf"), "INST1\ndb\n");
}

TEST_F(AGCollectFileTest, BadEntriesAreRefusedAndLeaveTheOldFile) {
    ASSERT_EQ(Collect({"7|INST", "old"}).code, 0);
    const std::vector<std::vector<std::string>> bad = {
        {},                          // no databases
        {"7INST", "db"},             // no "|"
        {"seven|INST", "db"},        // job id not a number
        {"-7|INST", "db"},
        {"|INST", "db"},
        {"7|INST", "two\nlines"},    // a name that would become two lines
        {"7|IN\rST", "db"},
    };
    for (const auto& entries : bad) {
        jxtest::ErrorReply reply = Collect(entries);
        EXPECT_EQ(reply.code, 102) << (entries.empty() ? "" : entries.back());
        EXPECT_FALSE(reply.message.empty());
    }
    EXPECT_EQ(root.ReadFile("JobResults/7_OSCCollectFile.jxf"), "INST\nold\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"7_OSCCollectFile.jxf"});
}

TEST_F(AGCollectFileTest, UndecodableRequestAnswers118) {
    std::string reply;
    EXPECT_FALSE(service.ProcessAGCollectFile("<SQLPmn_SQLAGCollectFile", reply));
    EXPECT_EQ(ReadErrorReply(reply).code, 118);
}

TEST_F(AGCollectFileTest, MissingSettingsGiveNoPathAndNoFile) {
    JXPlatformInfo().setString("", "sPhysicalNodeName", "");
    jxtest::ErrorReply reply = Collect({"1|INST", "db"});
    EXPECT_EQ(reply.code, 122);
    EXPECT_EQ(reply.message, "Failed to create collect as file path is empty.");

    JXPlatformInfo().setString("", "sPhysicalNodeName", "node2");  // no Machines/node2
    EXPECT_EQ(service.GetOscCollectFilePath(1, false), "");
    EXPECT_TRUE(Files().empty());
}

TEST_F(AGCollectFileTest, PathNamesTheVariant) {
    EXPECT_EQ(service.GetOscCollectFilePath(12, true), results + "/12_DS_OSCCollectFile.jxf");
    EXPECT_EQ(service.GetOscCollectFilePath(12, false), results + "/12_OSCCollectFile.jxf");
}

TEST_F(AGCollectFileTest, AFailedWriteLeavesNothingBehind) {
    JXPlatformInfo().setString("Machines/node1", "dJOBRESULTSDIR", results + "/missing");
    jxtest::ErrorReply reply = Collect({"3|INST", "db"});
    EXPECT_EQ(reply.code, 122);
    EXPECT_EQ(reply.message, "Failed to create collect file.");
    EXPECT_TRUE(Files().empty());
}

TEST_F(AGCollectFileTest, AFullOrFailingDiskKeepsThePreviousFileWhole) {
    ASSERT_EQ(Collect({"7|INST", "old"}).code, 0);
    using jxtest::FsCall;
    struct Fault {
        FsCall kind;
        int error;
    };
    for (const Fault& fault : {Fault{FsCall::kOpen, ENOSPC}, Fault{FsCall::kWrite, ENOSPC}, Fault{FsCall::kFsync, EIO},
                               Fault{FsCall::kClose, EIO}, Fault{FsCall::kRename, EIO}}) {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCall(fault.kind, 1, fault.error);
        jxtest::ErrorReply reply = Collect({"7|INST", "new1", "new2"});
        EXPECT_EQ(reply.code, 122);
        EXPECT_EQ(reply.message, "Failed to create collect file.");
        EXPECT_EQ(faulty.Fired(fault.kind), 1);
        EXPECT_EQ(root.ReadFile("JobResults/7_OSCCollectFile.jxf"), "INST\nold\n");
        EXPECT_EQ(Files(), std::vector<std::string>{"7_OSCCollectFile.jxf"});
    }
    jxtest::FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailWritesAfter(6, ENOSPC);  // full after "INST\nn"
    EXPECT_EQ(Collect({"7|INST", "new1", "new2"}).code, 122);
    EXPECT_EQ(root.ReadFile("JobResults/7_OSCCollectFile.jxf"), "INST\nold\n");
    EXPECT_EQ(Files(), std::vector<std::string>{"7_OSCCollectFile.jxf"});
}

}  // namespace
