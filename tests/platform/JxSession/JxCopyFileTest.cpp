// JxCopyFile: connection to a known client, whole-file replacement, and
// refusal of what it cannot copy safely.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "JxSession/JxCopyFile.h"
#include "JxSession/jxsTargets.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/TestRoot.h"

namespace {

class JxCopyFileTest : public jxtest::RootedTest {
protected:
    void SetUp() override { ASSERT_TRUE(jxsRegisterTarget("client2", 5555)); }

    _JXS_FILE_COPY_INFO Record(const std::string& folder, const std::string& name, const std::string& destination) {
        _JXS_FILE_COPY_INFO info;
        std::strncpy(info.sourceFolder, folder.c_str(), sizeof info.sourceFolder - 1);
        std::strncpy(info.request.fileName, name.c_str(), sizeof info.request.fileName - 1);
        std::strncpy(info.request.destinationFolder, destination.c_str(), sizeof info.request.destinationFolder - 1);
        return info;
    }
    std::vector<std::string> Names(const std::string& folder) {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(folder)) names.push_back(e.path().filename().string());
        return names;
    }
};

class CancelAfter : public JxCopyFileMonitor {
public:
    explicit CancelAfter(int calls) : m_left(calls) {}
    bool IsCancelled() override { return m_left-- <= 0; }

private:
    int m_left;
};

TEST_F(JxCopyFileTest, ConnectsOnlyToKnownClients) {
    JxCopyFile copy;
    EXPECT_TRUE(copy.GetConnection("client9", "client1", false).IsError());
    EXPECT_TRUE(copy.GetConnection("", "client1", false).IsError());
    std::vector<_JXS_FILE_COPY_INFO> none;
    EXPECT_TRUE(copy.CopyFiles(none, false, nullptr, "", "").IsError());
    ASSERT_TRUE(copy.GetConnection("client2", "client1", false).IsSuccess());
    EXPECT_TRUE(copy.CopyFiles(none, false, nullptr, "", "").IsSuccess());
    EXPECT_TRUE(copy.Disconnect().IsSuccess());
    EXPECT_FALSE(copy.IsConnected());
}

TEST_F(JxCopyFileTest, ReplacesTheDestinationAndKeepsTheSourceMode) {
    root.WriteFile("src/a.bin", std::string("\0\1\2new", 6));
    root.WriteFile("dst/a.bin", "old");
    ::chmod(root.File("src/a.bin").c_str(), 0640);
    JxCopyFile copy;
    ASSERT_TRUE(copy.GetConnection("client2", "client1", false).IsSuccess());
    std::vector<_JXS_FILE_COPY_INFO> files = {Record(root.path() + "/src/", "a.bin", root.path() + "/dst")};
    ASSERT_TRUE(copy.CopyFiles(files, false, nullptr, "", "").IsSuccess());
    EXPECT_EQ(std::string("\0\1\2new", 6), root.ReadFile("dst/a.bin"));
    struct stat st {};
    ASSERT_EQ(0, ::stat(root.File("dst/a.bin").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 0777);
    EXPECT_EQ(1u, Names(root.path() + "/dst").size());
}

TEST_F(JxCopyFileTest, CancelledCopyLeavesTheOldDestination) {
    root.WriteFile("src/a.bin", std::string(200 * 1024, 'n'));
    root.WriteFile("dst/a.bin", "old");
    JxCopyFile copy;
    ASSERT_TRUE(copy.GetConnection("client2", "client1", false).IsSuccess());
    std::vector<_JXS_FILE_COPY_INFO> files = {Record(root.path() + "/src/", "a.bin", root.path() + "/dst")};
    for (int calls : {0, 2, 5}) {  // before the first block, midway, before the rename
        CancelAfter monitor(calls);
        CWzError e = copy.CopyFiles(files, false, &monitor, "", "");
        EXPECT_TRUE(e.IsError()) << calls;
        EXPECT_EQ("old", root.ReadFile("dst/a.bin"));
        EXPECT_EQ(1u, Names(root.path() + "/dst").size());
    }
}

TEST_F(JxCopyFileTest, RefusesIncompleteRecordsAndDirectories) {
    root.WriteFile("src/dir/x", "x");
    JxCopyFile copy;
    ASSERT_TRUE(copy.GetConnection("client2", "client1", false).IsSuccess());
    _JXS_FILE_COPY_INFO unterminated = Record(root.path() + "/src/", "a.bin", root.path() + "/dst");
    std::memset(unterminated.request.fileName, 'a', sizeof unterminated.request.fileName);
    for (const _JXS_FILE_COPY_INFO& record : {unterminated, Record(root.path() + "/src/", "", root.path() + "/dst"),
                                              Record(root.path() + "/src/", "dir", root.path() + "/dst")}) {
        std::vector<_JXS_FILE_COPY_INFO> files = {record};
        EXPECT_TRUE(copy.CopyFiles(files, false, nullptr, "", "").IsError());
    }
    EXPECT_FALSE(std::filesystem::exists(root.path() + "/dst/dir"));
}

TEST_F(JxCopyFileTest, AFullOrFailingDiskLeavesTheDestinationAsItWas) {
    root.WriteFile("src/a.bin", std::string(200 * 1024, 'n'));  // several blocks
    root.WriteFile("dst/a.bin", "old");
    using jxtest::FsCall;
    struct Fault {
        FsCall kind;
        int nth;
        int error;
    };
    for (const Fault& fault : {Fault{FsCall::kWrite, 2, ENOSPC}, Fault{FsCall::kFchmod, 1, EIO},
                               Fault{FsCall::kFsync, 1, EIO}, Fault{FsCall::kRename, 1, EIO},
                               Fault{FsCall::kRead, 2, EIO}}) {
        jxtest::FaultyFileSystem faulty;
        wz::ScopedFileSystem use(faulty);
        faulty.FailCall(fault.kind, fault.nth, fault.error);
        JxCopyFile copy;
        ASSERT_TRUE(copy.GetConnection("client2", "client1", false).IsSuccess());
        std::vector<_JXS_FILE_COPY_INFO> files{Record(root.path() + "/src", "a.bin", root.path() + "/dst")};
        CWzError e = copy.CopyFiles(files, false, nullptr, "", "");
        ASSERT_TRUE(e.IsError());
        EXPECT_EQ(FXErrorUtil::GetErrNo(e), fault.error) << e.AsString();
        EXPECT_EQ(faulty.Fired(fault.kind), 1);
        EXPECT_EQ(root.ReadFile("dst/a.bin"), "old");
        EXPECT_EQ(Names(root.path() + "/dst"), std::vector<std::string>{"a.bin"});
    }
}

}  // namespace
