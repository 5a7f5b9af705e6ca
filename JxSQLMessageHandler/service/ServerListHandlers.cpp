// Served requests that let the central server find this client's SQL Server
// instances and check logins before it stores them: the server list, the SQL
// and Analysis Services login checks, and the (always empty) cloud inventory.
#include <algorithm>
#include <exception>

#include "JXAppMgr/JXClient.h"
#include "JxLib/EvEvent.h"
#include "JxLib/JXPassword.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLCommon/records/SqlServerListRecords.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "JxSQLMessageHandler/service/ServiceRecordHelpers.h"
#include "JxSession/jxsFrame.h"
#include "JxsqlAMO/CsqlAMO.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "WzUtils/FXString.h"
#include "WzUtils/WzFormat.h"
#include "WzUtils/WzRecordMemory.h"

namespace {

constexpr int kPasswordCapacity = 511;

}  // namespace

bool CSQLClientDll::getSQLServerList(std::string host, SQLServerInfo_t& info) {
    try {
        CsqlDMO dmo;
        return dmo.getSQLServerInfo(host, info);
    } catch (const std::exception&) {
        m_event.Debug("getSQLServerList", "Caught exception!!!");
        return false;
    }
}

bool CSQLClientDll::getAnalysisServerList(std::string host, SQLServerInfo_t& info) {
    try {
        CsqlAMO amo;
        std::list<AnalysisServerInfo_t2> servers;
        bool ok = amo.getAnalysisServerInfo(host, servers);
        if (ok) {
            for (const AnalysisServerInfo_t2& server : servers) {
                info.clustered.push_back("no");
                info.instances.push_back(server.name);
                info.versions.push_back(server.version);
                info.states.push_back(server.state);
            }
        }
        return ok;
    } catch (const std::exception&) {
        m_event.Debug("getAnalysisServerList", "Caught exception!!!");
        return false;
    }
}

bool CSQLClientDll::getAzureSQLServerList(std::string, SQLServerInfo_t&) { return false; }

bool CSQLClientDll::getAwsSQLServerList(std::string, SQLServerInfo_t&) { return false; }

unsigned long CSQLClientDll::sendServerList(const SQLServerInfo_t& info) {
    SQLServerListRsp_VER1_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));
    // The entries sent are those lists 1, 2 and 4 all have; the count says
    // how many.
    size_t filled = std::min({info.instances.size(), info.versions.size(), info.states.size()});
    jxsScopedRecordFree<SQLServerListRsp_VER1_t> freeReply(kSqlServerListRsp, reply);
    reply.servers = wz::NewRecordArray<SQL_ServerInfo_VER1_t>(filled);
    reply.count = static_cast<uint32_t>(filled);
    auto instance = info.instances.begin();
    auto version = info.versions.begin();
    auto state = info.states.begin();
    for (size_t i = 0; i < filled; ++i) {
        reply.servers[i].instanceName = wz::CopyText(*instance++);
        reply.servers[i].version = wz::CopyText(*version++);
        reply.servers[i].state = wz::CopyText(*state++);
    }
    unsigned long sent = sendReply(kSqlServerListRsp);
    if (!ReleaseReceivedRequest(m_session, m_receivedBuffer, m_requestCode)) return 0;
    return sent;
}

unsigned long CSQLClientDll::getServerList() {
    std::string clientName = TextOf(ReceivedRecord<SQLServerListReq_t>(m_receivedBuffer)->clientName);
    SQLServerInfo_t info;
    uint64_t clientId = 0;
    JXClient(clientName).getClientId(clientId);
    int hypervisorType = 0;
    int rc = ClientProperties(clientId).getCloudHypervisorType(hypervisorType, nullptr);
    if (rc != 0) {
        // Answered with an empty list rather than left unanswered, so the
        // requester does not wait for its time-out.
        EV_ERROR(m_event, "Failed to getCloudHypervisorType, errorCode [%d].", rc);
    } else if (hypervisorType == 0 && !getSQLServerList(clientName, info)) {
        m_event.Debug("getServerList", "Failed to get SQL Server List");
    }
    return sendServerList(info);
}

unsigned long CSQLClientDll::getAzureSqlServerList(std::string host) {
    SQLServerInfo_t info;
    if (!getAzureSQLServerList(host, info)) {
        m_event.Debug("getAzureSqlServerList", "Failed to get Azure SQL Server List");
    }
    return sendServerList(info);
}

unsigned long CSQLClientDll::verifyUser() {
    auto* request = ReceivedRecord<SQLVerifyUserReq_t>(m_receivedBuffer);
    SQLVerifyUserRsp_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));
    std::string userName = TextOf(request->userName);
    std::string message;
    EvEvent event;
    if (request->instanceName == nullptr || request->instanceName[0] == '\0') {
        reply.failed = 1;
        message = wz::Format("Failed to verify user [%s].", userName.c_str());
        event << "No valid instance" << "";
        event.CriticalEvent(kEventLoginFailed);
    } else {
        if (request->password == nullptr) m_event.debugLvl(2, "verifyUser: EMPTY password..");
        CsqlDMO dmo;
        if (!dmo.verifyUser(userName, TextOf(request->password), request->instanceName)) {
            reply.failed = 1;
            message = wz::Format("Failed to verify user [%s].", userName.c_str());
            event << request->instanceName << userName.c_str();
            event.CriticalEvent(kEventLoginFailed);
        }
    }
    if (reply.failed == 1) reply.message = message.data();
    sendReply(kSqlVerifyUserRsp);
    reply.message = nullptr;
    if (!ReleaseReceivedRequest(m_session, m_receivedBuffer, kSqlVerifyUserReq)) return 0;
    return reply.failed == 0 ? 1 : 0;
}

unsigned long CSQLClientDll::SqlAnalysisVerifyUser() {
    auto* request = ReceivedRecord<SQLAnalysisVerifyUserReq_t>(m_receivedBuffer);
    SQLAnalysisVerifyUserRsp_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));
    reply.failed = 1;
    std::string message;
    std::string serverName = parseInstanceName(TextOf(request->instanceName));
    std::string password;
    bool havePassword = true;
    if (request->password != nullptr) {
        wchar_t plain[kPasswordCapacity + 1] = {};
        if (JXPassword::decrypt(request->password, plain, kPasswordCapacity) == 0) {
            EV_ERROR(m_event, "Failed to decrypt the password.");
            message = "Failed to decrypt password.";
            havePassword = false;
        } else {
            password = FXString::ToString(plain);
        }
    } else {
        m_event.debugLvl(2, "SqlAnalysisVerifyUser: EMPTY password..");
    }
    if (havePassword) {
        CsqlAMO amo;
        if (amo.verifyUser(TextOf(request->userName), password, serverName)) {
            reply.failed = 0;
        } else {
            EV_ERROR(m_event, "Failed to verify username and password.");
            message = "Failed to verify username and password.";
        }
    }
    if (reply.failed == 1) reply.message = message.data();
    sendReply(kSqlAnalysisVerifyUserRsp);
    reply.message = nullptr;
    return ReleaseReceivedRequest(m_session, m_receivedBuffer, kSqlAnalysisVerifyUserReq) ? 1 : 0;
}

unsigned long CSQLClientDll::getAzureInventoryList() {
    SQLAzureInventoryInfoRsp_t reply;
    m_sendBuffer.setExternalBuffer(&reply, sizeof(reply));
    unsigned long sent = sendReply(kSqlAzureInventoryRsp);
    if (!ReleaseReceivedRequest(m_session, m_receivedBuffer, kSqlAzureInventoryReq)) return 0;
    return sent;
}
