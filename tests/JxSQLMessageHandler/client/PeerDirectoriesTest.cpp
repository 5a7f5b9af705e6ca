// Directories on a peer.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlPeerRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "WzUtils/WzFileSystem.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"
#include "tests/support/FaultyFileSystem.h"
#include "tools/requester/JxsRequester.h"

namespace fs = std::filesystem;

namespace jxtest {
namespace {

using PeerDirectoriesTest = PeerHostsTest;

TEST_F(PeerDirectoriesTest, CreateMakesMissingParentsAndDeleteRemovesContents) {
    CSQLClientDll client;
    std::string error;
    std::string nested = root.File("jobs") + "/a/b/c";
    ASSERT_TRUE(client.CreateDirectoryOnRemoteMachine(kPeerClient, nested, error)) << error;
    EXPECT_TRUE(fs::is_directory(nested));
    MakeFile("jobs/a/b/c/file.txt", "x");

    ASSERT_TRUE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, root.File("jobs") + "/a", error)) << error;
    EXPECT_FALSE(fs::exists(root.File("jobs") + "/a"));

    error.clear();
    EXPECT_FALSE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, root.File("jobs") + "/a", error));
    EXPECT_FALSE(error.empty());
}

// A folder of the test's own beside the platform root, removed afterwards.
class FolderBesideRoot {
public:
    explicit FolderBesideRoot(const std::string& root) {
        std::string name = (fs::path(root).parent_path() / "jxsql-beside-XXXXXX").string();
        if (::mkdtemp(name.data()) != nullptr) m_path = name;
    }
    ~FolderBesideRoot() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    const std::string& path() const { return m_path; }

private:
    std::string m_path;
};

struct DirectoryReply {
    int64_t code = -1;
    std::string text;
};

// Sends one directory request straight to the peer and reads the reply.
DirectoryReply SendDirectoryRequest(unsigned long requestCode, const char* directory) {
    SqlRegisterRecordCodecs();
    JxsRequester requester;
    DirectoryReply result;
    if (!requester.Attach("host2", "sLNSQLClient61", "sLPSQLMSG").IsSuccess()) return result;
    std::string path = directory != nullptr ? directory : "";
    SQLCreateDeleteDirectoryReq_t request;
    if (directory != nullptr) request.directory = path.data();
    SQLXmlTextRecord_t reply;
    jxsDatabuf_v2 out, in;
    out.setExternalBuffer(&request, sizeof request);
    in.setExternalBuffer(&reply, sizeof reply);
    unsigned long code = 0;
    if (!requester.Send(requestCode, &out).IsSuccess() || !requester.Receive(code, &in).IsSuccess()) return result;
    SQLPmn::ErrorMessage message;
    if (code == requestCode + 1 && reply.xml != nullptr && message.unserialize(reply.xml) == 0) {
        result.code = message.getint64(SQLPmn::ErrorMessage::kErrorCode);
        result.text = message.getstring(SQLPmn::ErrorMessage::kMessage);
    }
    (void)CJxNetwork::FreeReceivedMessage(code, &in);  // the reply was read; a failed release changes no result
    return result;
}

TEST_F(PeerDirectoriesTest, DirectoriesOutsideTheJobResultsDirectoryAreRefusedUntouched) {
    MakeFile("jobs/keep/file.txt", "x");
    MakeFile("elsewhere/file.txt", "x");
    FolderBesideRoot beside(root.path());
    ASSERT_FALSE(beside.path().empty());
    std::ofstream(beside.path() + "/file.txt") << "x";
    fs::create_directory_symlink(beside.path(), root.File("jobs/escape"));

    FaultyFileSystem watched;
    wz::ScopedFileSystem use(watched);
    struct Refusal {
        unsigned long request;
        std::string path;
        const char* why;
    };
    const std::string jobs = root.path() + "/jobs";
    for (const Refusal& r : std::vector<Refusal>{
             {kSqlDeleteDirectoryReq, "//.", "does not lie under the job-results directory"},
             {kSqlDeleteDirectoryReq, "/", "does not lie under the job-results directory"},
             {kSqlDeleteDirectoryReq, beside.path(), "does not lie under the job-results directory"},
             {kSqlDeleteDirectoryReq, root.path() + "/elsewhere", "does not lie under the job-results directory"},
             {kSqlDeleteDirectoryReq, jobs, "does not lie under the job-results directory"},
             {kSqlDeleteDirectoryReq, jobs + "/escape", "does not lie under the job-results directory"},
             {kSqlDeleteDirectoryReq, jobs + "/other/../keep", "holds a \"..\" level"},
             {kSqlDeleteDirectoryReq, "keep", "is not an absolute path"},
             {kSqlCreateDirectoryReq, jobs + "/escape/new", "It leads to ["},
             {kSqlCreateDirectoryReq, root.path() + "/elsewhere/new", "does not lie under the job-results directory"},
         }) {
        DirectoryReply reply = SendDirectoryRequest(r.request, r.path.c_str());
        EXPECT_EQ(reply.code, 2) << r.path;
        EXPECT_NE(reply.text.find(r.why), std::string::npos) << r.path << ": " << reply.text;
    }
    EXPECT_EQ(watched.ChangingCalls(), 0);
    EXPECT_TRUE(root.Escapes().empty());
    EXPECT_TRUE(fs::exists(beside.path() + "/file.txt"));
    EXPECT_FALSE(fs::exists(beside.path() + "/new"));
    EXPECT_TRUE(fs::exists(root.path() + "/elsewhere/file.txt"));
    EXPECT_FALSE(fs::exists(root.path() + "/elsewhere/new"));
    EXPECT_TRUE(fs::exists(jobs + "/keep/file.txt"));
    EXPECT_TRUE(fs::is_symlink(jobs + "/escape"));
}

TEST_F(PeerDirectoriesTest, ALinkInsideTheJobResultsDirectoryIsFollowedForCreationAndRemoval) {
    MakeFile("jobs/real/old/file.txt", "x");
    fs::create_directory_symlink(root.path() + "/jobs/real", root.path() + "/jobs/alias");
    CSQLClientDll client;
    std::string error;
    ASSERT_TRUE(client.CreateDirectoryOnRemoteMachine(kPeerClient, root.path() + "/jobs/alias/new", error)) << error;
    EXPECT_TRUE(fs::is_directory(root.path() + "/jobs/real/new"));
    ASSERT_TRUE(client.DeleteDirectoryOnRemoteMachine(kPeerClient, root.path() + "/jobs/alias/old", error)) << error;
    EXPECT_FALSE(fs::exists(root.path() + "/jobs/real/old"));
}

TEST_F(PeerDirectoriesTest, AFailedRemovalIsAnsweredWithCodeTwoAndTheSystemError) {
    MakeFile("jobs/a/b.txt", "x");
    FaultyFileSystem faulty;
    wz::ScopedFileSystem use(faulty);
    faulty.FailCall(FsCall::kRmdir, 1, EIO);
    DirectoryReply reply = SendDirectoryRequest(kSqlDeleteDirectoryReq, (root.path() + "/jobs/a").c_str());
    EXPECT_EQ(reply.code, 2);
    EXPECT_EQ(faulty.Fired(FsCall::kRmdir), 1);
    EXPECT_NE(reply.text.find("cannot remove"), std::string::npos) << reply.text;
}

TEST_F(PeerDirectoriesTest, RequestWithoutAPathIsAnsweredWithCodeOne) {
    FaultyFileSystem watched;
    wz::ScopedFileSystem use(watched);
    DirectoryReply reply = SendDirectoryRequest(kSqlDeleteDirectoryReq, nullptr);
    EXPECT_EQ(reply.code, 1);
    EXPECT_EQ(reply.text, "Failed to get folder path for deletion request.");
    EXPECT_EQ(watched.ChangingCalls(), 0);
}

}  // namespace
}  // namespace jxtest
