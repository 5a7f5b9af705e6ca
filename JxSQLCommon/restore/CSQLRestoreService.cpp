// CSQLRestoreBase: control of the local SQL Server service around restores
// of system databases: stop and start the service, run the server program
// in single-user mode while master is restored, and bring the service back
// in multi-user mode. Every command goes through the one process runner.
#include <signal.h>
#include <strings.h>

#include "JxLib/JxProcess.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzClock.h"

namespace {

constexpr const char* kStartService = "systemctl start mssql-server";
constexpr const char* kStopService = "systemctl stop mssql-server";
constexpr const char* kServiceStatus = "systemctl status mssql-server";
constexpr const char* kServerProgram = "/opt/mssql/bin/sqlservr";
constexpr int kStatusInactiveExitCode = 3;

// Waits of the service control, in platform milliseconds.
constexpr uint32_t kServerStartWaitMs = 60000;
constexpr uint32_t kSingleUserPollWaitMs = 30000;
constexpr int kSingleUserPolls = 2;

// A command succeeded when it exited with 0 and did not report "Failed".
bool Succeeded(int exitCode, const std::string& output) {
    return exitCode == 0 && output.find("Failed") == std::string::npos;
}

}  // namespace

int CSQLRestoreBase::RunServiceCommand(const std::string& command, std::string& output) {
    std::string error;
    const int exitCode = JxProcess::system(command, output, error, 0);
    if (!error.empty()) EV_DEBUG(m_logger, 2, "[%s]: %s", command.c_str(), error.c_str());
    return exitCode;
}

bool CSQLRestoreBase::stopSSA() { return true; }

bool CSQLRestoreBase::startSSA() { return false; }

bool CSQLRestoreBase::startSqlServer() {
    const std::string user = SqlServerUser();
    const std::string chown = "chown -R " + user + ":" + user + " " + wz::PlatformPath("var/opt/mssql") + "/";
    std::string output;
    int exitCode = RunServiceCommand(chown, output);
    if (!Succeeded(exitCode, output)) {
        EV_ERROR(m_logger, "Failed to change file ownership to %s with error code [%d].", user.c_str(), exitCode);
        return false;
    }
    EV_DEBUG(m_logger, 1, "Changed file user owner to %s.", user.c_str());

    output.clear();
    exitCode = RunServiceCommand(kStartService, output);
    if (!Succeeded(exitCode, output)) {
        EV_ERROR(m_logger, "Failed to start SQL Server service with error code [%d].", exitCode);
        return false;
    }
    EV_DEBUG(m_logger, 1, "Started SQL Server service successfully.");

    output.clear();
    exitCode = RunServiceCommand(kServiceStatus, output);
    if (exitCode != 0 || output.find("Active: active") == std::string::npos) {
        EV_ERROR(m_logger, "SQL Server service status is not active. Error code [%d].", exitCode);
        return false;
    }
    EV_DEBUG(m_logger, 1, "Status of SQL server is active.");
    EV_DEBUG(m_logger, 1, "Wait 60 seconds for starting SQL server properly.");
    WZSLEEP_InTeRnAl(kServerStartWaitMs);
    m_stopSqlServer = false;
    return true;
}

bool CSQLRestoreBase::stopSqlServer() {
    std::string output;
    int exitCode = RunServiceCommand(kStopService, output);
    if (!Succeeded(exitCode, output)) {
        EV_ERROR(m_logger, "Failed to stop SQL Server service with error code [%d].", exitCode);
        return false;
    }
    EV_DEBUG(m_logger, 1, "Stopped SQL Server service successfully.");

    output.clear();
    exitCode = RunServiceCommand(kServiceStatus, output);
    if (exitCode == kStatusInactiveExitCode && output.find("Active: inactive") != std::string::npos) {
        EV_DEBUG(m_logger, 1, "Status of SQL Server service is inactive.");
        return true;
    }
    EV_ERROR(m_logger, "Failed to stop SQL Server service with error code [%d].", exitCode);
    return false;
}

bool CSQLRestoreBase::isSqlAgentServiceStopped() {
    std::string name;
    getNameofNamedInstance(name);
    const std::string service = name.empty() ? "SQLSERVERAGENT" : "SQLAgent$" + name;
    return isServiceStopped(service);
}

void CSQLRestoreBase::getNameofNamedInstance(std::string& name) {
    const size_t slash = m_sServername.find('/');
    if (slash != std::string::npos) name = m_sServername.substr(slash + 1);
}

bool CSQLRestoreBase::activateSingleUserMode() {
    if (!stopSqlServer()) {
        EV_ERROR(m_logger, "Failed to stop SQL Server Service.");
        return false;
    }
    std::string error;
    const pid_t pid = JxProcess::StartChild(std::string(kServerProgram) + " -m", error, true);
    if (pid < 0) {
        EV_ERROR(m_logger, "Failed to start SQL server with Single User Mode, error [%s]: %s", kServerProgram,
                 error.c_str());
        return false;
    }
    m_singleUserServerPid = static_cast<uint32_t>(pid);
    EV_DEBUG(m_logger, 1, "SQL server wtih Single User Mode starts successfully with [%s].", kServerProgram);
    WZSLEEP_InTeRnAl(kServerStartWaitMs);
    // A server that ended while it was starting serves no restore.
    int exitCode = 0;
    if (JxProcess::ChildEnded(pid, &exitCode)) {
        m_singleUserServerPid = 0;
        EV_ERROR(m_logger, "SQL server in Single User Mode [%s] ended while starting with exit code [%d].",
                 kServerProgram, exitCode);
        return false;
    }
    return true;
}

bool CSQLRestoreBase::activateMultiUserMode(SqlRestoreDbInfo_t&) {
    if (!m_singleUserMode) return true;
    const pid_t pid = static_cast<pid_t>(m_singleUserServerPid);
    bool ended = false;
    for (int count = 1; count <= kSingleUserPolls; ++count) {
        if (JxProcess::ChildEnded(pid)) {
            ended = true;
            m_stopSqlServer = true;
            EV_DEBUG(m_logger, 1, "SQL server process already terminated successfully.");
            break;
        }
        EV_ERROR(m_logger, "Not terminated SQL server process automatically after restoring master DB, Count [%d].",
                 count);
        WZSLEEP_InTeRnAl(kSingleUserPollWaitMs);
    }
    if (!ended) {
        EV_ERROR(m_logger, "Forced terminating SQL server process.");
        if (!JxProcess::EndChild(pid, SIGTERM, kSingleUserPollWaitMs / 1000)) {
            EV_ERROR(m_logger, "Failed to terminate SQL server process.");
            return false;
        }
        m_stopSqlServer = true;
        EV_DEBUG(m_logger, 1, "SQL server process terminated successfully.");
    }
    m_singleUserServerPid = 0;
    if (!startSqlServer()) {
        EV_ERROR(m_logger, "Failed to bring back the SQL Server to multiuser mode.");
        return false;
    }
    EV_DEBUG(m_logger, 1, "SQL Server is back to multiuser mode.");
    return true;
}

bool CSQLRestoreBase::isStopSSARequired(SqlRestoreDbInfo_t& db) {
    return strcasecmp(TargetName(db).c_str(), "msdb") == 0 &&
           (m_restoreOptions.optionFlags & kRstStopSqlAgent) != 0;
}
