// Two-client fixture of the peer request tests.
#include "tests/JxSQLMessageHandler/client/PeerHosts.h"

#include "JXAppMgr/AppModel.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLMessageHandler/client/PeerPathRoots.h"
#include "JxSession/jxsTargets.h"
#include "tools/host/HostBindings.h"

namespace jxtest {

void PeerHostsTest::SetUp() {
    ASSERT_TRUE(ownHost.Start(0).IsSuccess());
    ASSERT_TRUE(peerHost.Start(0).IsSuccess());
    ASSERT_TRUE(jxsRegisterTarget("host1", ownHost.Port()));
    ASSERT_TRUE(jxsRegisterTarget("host2", peerHost.Port()));
    ASSERT_TRUE(SetHostBinding("sLNSQLClient61", "sLPSQLMSG", {JX_SQL_LIBRARY, "sqlMessageHandler"}));
    ASSERT_TRUE(SetHostBinding("sLNSQLCOMM", "sLPSQLMSGPROCESSOR", {JX_MSGPROCESSOR_LIBRARY, "sqlMessageProcessor"}));
    ASSERT_TRUE(AppModel::Set("client/1", "name", "client1"));
    ASSERT_TRUE(AppModel::Set("client/1", "hostName", "host1"));
    ASSERT_TRUE(AppModel::Set("client/2", "name", "client2"));
    ASSERT_TRUE(AppModel::Set("client/2", "hostName", "host2"));
    ASSERT_TRUE(JXPlatformInfo().setString("", "sPhysicalNodeName", "client1"));
    ASSERT_TRUE(JXPlatformInfo().setString("Machines/client1", "dJOBRESULTSDIR", root.path() + "/jobs"));
    std::string roots;
    for (const char* folder : {"/jobs", "/peer", "/fs", "/data"}) roots += (roots.empty() ? "" : ":") + root.path() + folder;
    ASSERT_TRUE(JXPlatformInfo().setString(kPeerPathRootsSection, kPeerPathRootsKey, roots));
}

void PeerHostsTest::TearDown() {
    ownHost.Stop();
    peerHost.Stop();
}

std::string PeerHostsTest::MakeFile(const std::string& relative, const std::string& content) {
    root.WriteFile(relative, content);
    return root.File(relative);
}

}  // namespace jxtest
