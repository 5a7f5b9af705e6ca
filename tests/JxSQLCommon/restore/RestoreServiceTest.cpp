// Service control around system-database restores: systemctl answers as
// the real one does, single-user mode runs the server program as a child
// that is always reaped, and the hooks undo exactly what they did.
#include <signal.h>
#include <sys/wait.h>

#include <fstream>

#include "JxLib/JXPlatformInfo.h"
#include "WzUtils/WzClock.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimService.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "tests/JxSQLCommon/restore/RestoreJobFixture.h"
#include "tests/JxSQLCommon/restore/ServiceScripts.h"

namespace {

struct ServiceJob : ScriptedRestoreJob {
    using CSQLRestoreBase::activateMultiUserMode;
    using CSQLRestoreBase::activateSingleUserMode;
    using CSQLRestoreBase::startSqlServer;
    using CSQLRestoreBase::stopSqlServer;
};

class RestoreService : public RestoreJobTest {
protected:
    void SetUp() override {
        // The commands start real programs: 1 platform second = 10 real ms,
        // so their bounds outlast a loaded sanitizer build.
        wz::SetTimeScale(0.01);
        RestoreJobTest::SetUp();
        InstallServiceScripts(root);
        service.m_sServername = "node1/INST";
    }
    bool Active() {
        bool active = false;
        EXPECT_TRUE(SqlSimService(instance).IsActive(active).IsSuccess());
        return active;
    }
    bool SingleUser() {
        bool single = false;
        EXPECT_TRUE(SqlSimService(instance).IsSingleUser(single).IsSuccess());
        return single;
    }
    // Whether `pid` is still a process of ours (a zombie counts).
    static bool ChildExists(pid_t pid) { return pid > 0 && ::waitpid(pid, nullptr, WNOHANG) == 0; }

    ServiceJob service;
};

TEST_F(RestoreService, StopAndStartFollowTheUnitState) {
    EXPECT_TRUE(service.stopSqlServer());
    EXPECT_FALSE(Active());
    EXPECT_TRUE(service.startSqlServer());
    EXPECT_TRUE(Active());
    EXPECT_EQ(root.ReadFile("chown.log"), "-R mssql:mssql " + root.path() + "/var/opt/mssql/\n");

    JXPlatformInfo().setString("MSSQLAgent", "sSQLServerUser", "sqlsvc");
    EXPECT_TRUE(service.startSqlServer());
    EXPECT_NE(root.ReadFile("chown.log").find("-R sqlsvc:sqlsvc "), std::string::npos);
}

TEST_F(RestoreService, OnlyAnInactiveAnswerWithExitThreeIsAStop) {
    InstallScript(root, "systemctl", "systemctl", "echo 'Active: active (running)'\nexit 0\n");
    EXPECT_FALSE(service.stopSqlServer());
    InstallScript(root, "systemctl", "systemctl",
                  "case \"$1\" in status) echo 'Active: inactive (dead)'; exit 3;; esac\nexit 0\n");
    EXPECT_TRUE(service.stopSqlServer());
    InstallScript(root, "systemctl", "systemctl", "echo 'Failed to stop mssql-server.service'\nexit 0\n");
    EXPECT_FALSE(service.stopSqlServer());
    EXPECT_FALSE(service.startSqlServer());
}

TEST_F(RestoreService, SingleUserServerEndsAfterMasterIsRestoredAndIsReaped) {
    ASSERT_TRUE(service.activateSingleUserMode());
    const pid_t pid = static_cast<pid_t>(service.m_singleUserServerPid);
    ASSERT_GT(pid, 0);
    EXPECT_FALSE(Active());
    EXPECT_TRUE(SingleUser());
    EXPECT_TRUE(CsqlDMO().initialize("node1/INST"));  // the single-user engine answers

    // A restore of master rewrites its data file and brings it online.
    std::string masterFile;
    {
        SimSqlStatement q = instance.Db().Prepare("SELECT physical_path FROM files WHERE database_id = 1 LIMIT 1");
        ASSERT_TRUE(q.Step());
        masterFile = q.Text(0);
    }
    ASSERT_EQ(masterFile.rfind(root.path(), 0), 0u);
    std::ofstream(masterFile, std::ios::binary | std::ios::trunc) << "restored master";

    service.m_singleUserMode = true;
    SqlRestoreDbInfo_t master = Database("master", 1);
    EXPECT_TRUE(service.activateMultiUserMode(master));
    EXPECT_FALSE(ChildExists(pid));
    EXPECT_TRUE(Active());
    EXPECT_FALSE(SingleUser());
    EXPECT_EQ(service.m_singleUserServerPid, 0u);
}

TEST_F(RestoreService, SingleUserServerThatDoesNotEndIsTerminatedAndReaped) {
    InstallScript(root, "/opt/mssql/bin/sqlservr", "sqlservr", "trap 'exit 0' TERM\nwhile :; do sleep 0.01; done\n");
    ASSERT_TRUE(service.activateSingleUserMode());
    const pid_t pid = static_cast<pid_t>(service.m_singleUserServerPid);
    service.m_singleUserMode = true;
    SqlRestoreDbInfo_t master = Database("master", 1);
    EXPECT_TRUE(service.activateMultiUserMode(master));
    EXPECT_FALSE(ChildExists(pid));
    EXPECT_TRUE(Active());
}

TEST_F(RestoreService, SingleUserServerThatCannotStartFails) {
    InstallScript(root, "/opt/mssql/bin/sqlservr", "sqlservr", "exit 1\n");
    EXPECT_FALSE(service.activateSingleUserMode());
    EXPECT_EQ(service.m_singleUserServerPid, 0u);

    JxProcess::SetProgramPath("/opt/mssql/bin/sqlservr", root.path() + "/no/such/program");
    EXPECT_FALSE(service.activateSingleUserMode());
}

TEST_F(RestoreService, HooksAroundMasterAndMsdb) {
    // master: single-user mode only (it stops the server itself).
    ServiceJob hooks;
    hooks.m_sServername = "node1/INST";
    InstallScript(root, "/opt/mssql/bin/sqlservr", "sqlservr", "trap 'exit 0' TERM\nwhile :; do sleep 0.01; done\n");
    SqlRestoreDbInfo_t master = Database("master", 1);
    SqlAFilesPerBackup_t full = Backup('D', 1);
    hooks.initializeForPreDBRestore(master, full);
    EXPECT_TRUE(hooks.m_singleUserMode);
    EXPECT_TRUE(hooks.m_stopSqlServer);
    EXPECT_TRUE(hooks.m_stopSqlAgent);
    EXPECT_FALSE(Active());
    hooks.initializeForPostDBRestore(master, full);
    EXPECT_FALSE(hooks.m_singleUserMode);
    EXPECT_FALSE(hooks.m_stopSqlServer);
    EXPECT_TRUE(Active());
    EXPECT_FALSE(SingleUser());

    // msdb with the stop-agent bit: only the agent, which needs nothing here.
    SqlRestoreDbInfo_t msdb = Database("msdb", 4);
    hooks.m_restoreOptions.optionFlags = kRstStopSqlAgent;
    hooks.initializeForPreDBRestore(msdb, full);
    EXPECT_TRUE(hooks.m_stopSqlAgent);
    EXPECT_FALSE(hooks.m_stopSqlServer);
    EXPECT_TRUE(Active());
}

TEST_F(RestoreService, VerifyingABackupLeavesTheServiceAlone) {
    ServiceJob hooks;
    hooks.m_sServername = "node1/INST";
    hooks.m_verifyOnly = true;
    hooks.m_restoreOptions.optionFlags = kRstStopSqlAgent;
    SqlRestoreDbInfo_t master = Database("master", 1);
    SqlAFilesPerBackup_t full = Backup('D', 1);
    SqlAFilesPerBackup_t snapshot = Backup('D', 2);
    snapshot.vssFlag = true;
    for (SqlAFilesPerBackup_t* backup : {&full, &snapshot}) {
        for (const SqlRestoreDbInfo_t& db : {master, Database("msdb", 4)}) {
            SqlRestoreDbInfo_t copy = db;
            hooks.initializeForPreDBRestore(copy, *backup);
            EXPECT_FALSE(hooks.m_singleUserMode) << db.sDbName;
            EXPECT_FALSE(hooks.m_stopSqlServer) << db.sDbName;
            EXPECT_FALSE(hooks.m_stopSqlAgent) << db.sDbName;
            EXPECT_TRUE(Active()) << db.sDbName;
            EXPECT_FALSE(SingleUser()) << db.sDbName;
            hooks.initializeForPostDBRestore(copy, *backup);
            EXPECT_TRUE(Active()) << db.sDbName;
        }
    }
    EXPECT_EQ(hooks.m_singleUserServerPid, 0u);
}

}  // namespace
