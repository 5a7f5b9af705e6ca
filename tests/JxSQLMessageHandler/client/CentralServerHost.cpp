// In-process host fixture for the requester tests.
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

#include "JxLib/JXPlatformInfo.h"
#include "JxLib/MangleHostName.h"
#include "JxSQLMessageHandler/client/RemoteReplyTimeout.h"
#include "JxSession/jxsTargets.h"
#include "tools/host/HostBindings.h"

namespace jxtest {

void CentralServerTest::SetUp() {
    ASSERT_TRUE(host.Start(0).IsSuccess());
    JXPlatformInfo settings;
    ASSERT_NE(settings.setString("Base", "sJxServerHostName", "cs1"), 0);
    ASSERT_NE(settings.setString("Base", "sJxServerClientName", "cs1client"), 0);
    ASSERT_TRUE(jxsRegisterTarget(MangleHostName("cs1", "cs1client", 8400, 8402), host.Port()));
    ASSERT_TRUE(SetHostBinding("sLNSQLServer61", "sLPSQLMSG", {JX_SERVE_LIBRARY, "jxServeMessageHandler"}));
    giTimeoutSecondsArg = 21600;
    bFetchTimeOutString = true;
}

}  // namespace jxtest
