// The move of a restored database to an instance of another client: its
// files are copied there and that client's agent attaches them.
#include <filesystem>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "tests/JxSQLCommon/restore/TestRestoreJob.h"
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"
#include "tests/JxSQLMessageHandler/service/SimInstanceSetup.h"

namespace fs = std::filesystem;

namespace jxtest {
namespace {

struct CopyingJob : TestRestoreJob {
    using CSQLRestoreBase::m_snapCopyToDestination;
    using CSQLRestoreBase::m_snapFileMap;
};

class OutOfPlaceToAnotherClient : public PeerHostsTest {
protected:
    void SetUp() override {
        PeerHostsTest::SetUp();
        CreateSimInstance(own, "client1/INST", {"sales"});
        CreateSimInstance(peer, "client2/INST1", {});
        ASSERT_TRUE(AppModel::Set("instance/9", "name", "client2/INST1"));
        job.m_sServername = "client1/INST";
        job.m_restoreOptions.sourceClientId = kOwnClient;
        job.m_restoreOptions.snapDestination.clientId = kPeerClient;
        job.m_restoreOptions.snapDestination.instanceId = 9;

        CsqlDMO dmo;
        std::string error;
        ASSERT_TRUE(dmo.getDatabaseFilePaths("client1/INST", "sales", files, error)) << error;
        db.sDbName = "sales";
        job.m_snapCopyToDestination = true;
        for (const std::string& file : files) {
            const fs::path path(file);
            const std::string name = path.filename().string();
            job.m_snapFileMap.sourceFolders[name] = path.parent_path().string();
            job.m_snapFileMap.destinationFolders[name] = root.path() + "/fs/copied";
            db.newFiles.push_back(root.path() + "/fs/copied/" + name);
        }
    }

    SqlSimInstance own;
    SqlSimInstance peer;
    CopyingJob job;
    SqlRestoreDbInfo_t db;
    std::vector<std::string> files;
};

TEST_F(OutOfPlaceToAnotherClient, FilesAreCopiedAndThePeerAttachesThem) {
    ASSERT_TRUE(job.doCopyAndAttachDatabaseOnDestination(db));
    CsqlDMO dmo;
    std::vector<std::string> attached;
    std::string error;
    ASSERT_TRUE(dmo.getDatabaseFilePaths("client2/INST1", "sales", attached, error)) << error;
    EXPECT_EQ(attached, std::vector<std::string>(db.newFiles.begin(), db.newFiles.end()));
    for (size_t i = 0; i < files.size(); ++i) EXPECT_EQ(ReadWholeFile(attached[i]), ReadWholeFile(files[i]));
}

TEST_F(OutOfPlaceToAnotherClient, ThePeersRefusalFailsTheMove) {
    SqlSimDatabaseSpec taken;
    taken.name = "sales";
    ASSERT_TRUE(peer.AddDatabase(taken).IsSuccess());
    EXPECT_FALSE(job.doCopyAndAttachDatabaseOnDestination(db));
}

}  // namespace
}  // namespace jxtest
