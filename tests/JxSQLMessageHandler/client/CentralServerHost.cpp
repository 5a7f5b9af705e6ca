// In-process host fixture for the requester tests.
#include "tests/JxSQLMessageHandler/client/CentralServerHost.h"

#include <sqlite3.h>
#include <string>

#include "JxLib/JXPlatformInfo.h"
#include "JxLib/MangleHostName.h"
#include "JxSQLMessageHandler/client/RemoteReplyTimeout.h"
#include "JxSession/jxsTargets.h"
#include "WzUtils/PlatformRoot.h"
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

void DropColumnFromStore(const char* table, const char* column) {
    sqlite3* db = nullptr;
    const int opened = sqlite3_open(wz::PlatformPath("jxserve/jxserve.db").c_str(), &db);
    const std::string drop = std::string("ALTER TABLE ") + table + " DROP COLUMN " + column;
    const int dropped = opened == SQLITE_OK ? sqlite3_exec(db, drop.c_str(), nullptr, nullptr, nullptr) : opened;
    sqlite3_close(db);
    ASSERT_EQ(opened, SQLITE_OK);
    ASSERT_EQ(dropped, SQLITE_OK) << drop;
}

}  // namespace jxtest
