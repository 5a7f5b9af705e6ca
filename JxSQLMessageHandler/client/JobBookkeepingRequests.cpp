// Small questions and reports of the backup and restore jobs to the central
// server, each one request through sendAndReceiveMessage.
#include <set>
#include <string>
#include <vector>

#include "JXAppMgr/ApplicationId.h"
#include "JXAppMgr/JXClient.h"
#include "JxSQLCommon/records/SqlCentralServerRecords.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

// Job-information reply code meaning "nothing to tell": a success.
constexpr uint32_t kJobInfoNothing = 3;

const char* TrueFalse(bool value) { return value ? "True" : "False"; }

}  // namespace

bool CSQLClientDll::getMarkName(std::string, unsigned long sourceInstanceId, std::string databaseName,
                                unsigned long pointInTime, std::string& markName) {
    SQLLogMarkNameReq_t request;
    request.sourceInstanceId = sourceInstanceId;
    request.pointInTime = pointInTime;
    request.databaseName = databaseName.data();
    SQLLogMarkNameRsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlMarkNameReq, kSqlMarkNameRsp)) return false;
    bool found = reply.status == 0;
    if (found) markName = reply.markName != nullptr ? reply.markName : "";
    return FreeReceivedMessage(kSqlMarkNameRsp).IsSuccess() && found;
}

bool CSQLClientDll::checkBackupConversionRules() {
    return sendAndReceiveMessage(2, kSqlConversionRulesReq, kSqlConversionRulesRsp);
}

bool CSQLClientDll::cleanUncommitedEntries(unsigned long long jobId, unsigned long backupType,
                                           std::string databaseName, std::vector<std::string>& cleanedDatabases) {
    EV_DEBUG(m_event, 2, "JobId = %llu, backupType = %ld, DatabaseName = %s", jobId, static_cast<long>(backupType),
             databaseName.c_str());
    SqlCleanupTablesReq_t request;
    request.jobId = jobId;
    request.backupType = backupType;
    request.databaseName = databaseName.data();
    SqlCleanupTablesRsp_V1_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlCleanupReq, kSqlCleanupRsp)) {
        EV_ERROR(m_event, "Failed to get the response");
        return false;
    }
    EV_DEBUG(m_event, 2, "Total db cleaned = %ld", static_cast<long>(reply.count));
    for (uint64_t i = 0; reply.entries != nullptr && i < reply.count; ++i) {
        const char* name = reply.entries[i].databaseName;
        cleanedDatabases.push_back(name != nullptr ? name : "");
    }
    bool succeeded = reply.status == 0;
    return FreeReceivedMessage(kSqlCleanupRsp).IsSuccess() && succeeded;
}

bool CSQLClientDll::cleanUncommitedEntriesForAzure(unsigned long long jobId, std::string databaseName) {
    EV_DEBUG(m_event, 2, "JobId = %llu, DatabaseName = %s", jobId, databaseName.c_str());
    SqlCleanupTablesReq_Azure_t request;
    request.jobId = jobId;
    request.databaseName = databaseName.data();
    SqlCleanupTablesRsp_Azure_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlAzureCleanupReq, kSqlAzureCleanupRsp)) {
        EV_ERROR(m_event, "Failed to get the response");
        return false;
    }
    bool succeeded = reply.status == 0;
    return FreeReceivedMessage(kSqlAzureCleanupRsp).IsSuccess() && succeeded;
}

bool CSQLClientDll::getLastVssFullBackupTime(unsigned long first, std::string text, unsigned long second,
                                             std::string& time) {
    SqlGetLastVssFullTimeReq_t request;
    request.first = first;
    request.second = second;
    request.text = text.data();
    SqlGetLastVssFullTimeRsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlLastVssFullReq, kSqlLastVssFullRsp)) return false;
    time = reply.time != nullptr ? reply.time : "";
    bool succeeded = reply.status == 0;
    return FreeReceivedMessage(kSqlLastVssFullRsp).IsSuccess() && succeeded;
}

bool CSQLClientDll::updateACLInfo(int instanceId, unsigned long jxCellId, std::string aclInfo) {
    SQLACLInfoReq_t request;
    request.instanceId = instanceId;
    request.jxCellId = jxCellId;
    request.aclInfo = aclInfo.data();
    SQLACLInfoRsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlACLInfoReq, kSqlACLInfoRsp)) {
        EV_WARN(m_event, "Failed to update jxserve with ACL info with error code [%d].",
                static_cast<int>(reply.errorCode));
        return false;
    }
    const uint32_t error = reply.errorCode;
    (void)FreeReceivedMessage(kSqlACLInfoRsp);  // logged there; the reply's code is already read
    if (error != 0) {
        EV_WARN(m_event, "The central server refused the ACL info with error code [%u].", error);
        return false;
    }
    return true;
}

bool CSQLClientDll::getSqlJobInfo(unsigned long jobId, unsigned long jxCellId, std::string& jobInfo) {
    jobInfo.clear();
    try {
        EV_DEBUG(m_event, 6, "Get Job Info from CS for job id [%lu] and Jxcell ID [%lu].", jobId, jxCellId);
        SqlGetJobInfoReq_t request;
        request.jobId = jobId;
        request.jxCellId = jxCellId;
        SqlGetJobInfoRsp_t reply;
        if (!exchangeWithCentralServer(request, reply, kSqlJobInfoReq, kSqlJobInfoRsp)) {
            EV_ERROR(m_event, "Failed to send and receive message while fetching job info.");
            return false;
        }
        bool result = true;
        if (reply.code == 0 || reply.code == kJobInfoNothing) {
            EV_DEBUG(m_event, 2, "Received response from CS [%s].", reply.jobInfo != nullptr ? reply.jobInfo : "");
            if (reply.code == 0 && reply.jobInfo != nullptr) jobInfo = reply.jobInfo;
        } else {
            EV_ERROR(m_event, "Failed to fetch job info with error [%d][%s].", static_cast<int>(reply.code),
                     reply.jobInfo != nullptr ? reply.jobInfo : "");
            result = false;
        }
        if (CJxNetwork::FreeReceivedMessage(kSqlJobInfoRsp, m_receivedBuffer).IsError()) {
            unsigned long last = 0;
            std::string text;
            (void)m_session->GetLastErrorGenericText(&last, text, 0);  // only reads the session's record
            EV_ERROR(m_event, "Failed to free received message with error [%lu].", last);
            result = false;
        }
        return result;
    } catch (...) {
        EV_ERROR(m_event, "Unknown exception caught during sql info retrieval.");
        return false;
    }
}

bool CSQLClientDll::lookupSpContentDBbyClientId(unsigned long jxCellId, std::string instanceName,
                                                unsigned long sqlClientId, std::set<std::string>& skipSet) {
    EV_DEBUG(m_event, 2, "Using Client id [%lu] to get list of databases being protected using SPPmn. ",
             sqlClientId);
    SpContentDBSkipBackupListReq_t request;
    request.sqlClientId = sqlClientId;
    SpContentDBSkipBackupListRsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlSpContentReq, kSqlSpContentRsp)) return false;
    if (reply.error != 0) {
        EV_ERROR(m_event, "Failed to get the SharePoint subclients of client [%lu] with error [%lu].", sqlClientId,
                 static_cast<unsigned long>(reply.error));
        (void)FreeReceivedMessage(kSqlSpContentRsp);  // logged there; the request failed anyway
        return false;
    }
    if (reply.count == 0 || reply.subclientIds == nullptr) {
        EV_WARN(m_event, "Empty database list received from server..");
        (void)FreeReceivedMessage(kSqlSpContentRsp);  // logged there; the (empty) answer is read
        return true;
    }
    std::string hostName;
    if (JXClient(static_cast<uint64_t>(sqlClientId)).getNetworkHostname(hostName) != 0 || hostName.empty()) {
        EV_ERROR(m_event, "Failed to get host name for the given sql client [%lu].", sqlClientId);
    }
    for (uint64_t i = 0; i < reply.count; ++i) {
        ApplicationId application(jxCellId, reply.subclientIds[i]);
        MsSqlSubclient* subclient = application.getSubclient();
        std::string server;
        int rc = subclient != nullptr ? subclient->getSharepointContentDBServerName(server) : -1;
        if (rc != 0) {
            EV_ERROR(m_event, "Failed to get sharepoint content database server name:[%s], with error code:[%d].",
                     server.c_str(), rc);
            continue;
        }
        if (!CompareInstanceNameOnHostName(instanceName, server, hostName)) {
            EV_DEBUG(m_event, 5,
                     "Found sharepoint client using MSSQL instance: [%s] to backup content DB. However, current "
                     "instance is [%s]. NOT match, we skip it.",
                     server.c_str(), instanceName.c_str());
            continue;
        }
        EV_DEBUG(m_event, 2, "Found sharepoint client using MSSQL instance: [%s] to backup content DB",
                 server.c_str());
        std::vector<std::string> databases;
        if (int e = subclient->getSharepointContentDBName(databases); e != 0) {
            EV_ERROR(m_event, "Failed to get sharepoint content databases with error code:[%d].", e);
        }
        for (const std::string& database : databases) {
            EV_DEBUG(m_event, 2, "add [%s] to skipSet", database.c_str());
            skipSet.insert(database);
        }
    }
    (void)FreeReceivedMessage(kSqlSpContentRsp);  // logged there; the answer is read
    return true;
}

bool CSQLClientDll::getMSSQLAuthentication(unsigned long clientId, unsigned long instanceId, bool skipInstance,
                                           bool cloudServer, unsigned long& authType, std::string& userName,
                                           std::string& password, unsigned long& level) {
    MSSQLAuthentication_Req_t request;
    request.clientId = clientId;
    request.instanceId = instanceId;
    request.skipInstance = skipInstance ? 1 : 0;
    request.cloudServer = cloudServer ? 1 : 0;
    MSSQLAuthentication_Rsp_t reply;
    if (!exchangeWithCentralServer(request, reply, kSqlAuthenticationReq, kSqlAuthenticationRsp)) {
        EV_ERROR(m_event,
                 "Failed to get MSSQL authtication information, ClientId [%lu], InstanceId [%lu], SkipInstance [%s], "
                 "CloudServer [%s].",
                 clientId, instanceId, TrueFalse(skipInstance), TrueFalse(cloudServer));
        return false;
    }
    authType = reply.authType;
    userName = reply.userName != nullptr ? reply.userName : "";
    password = reply.password != nullptr ? reply.password : "";
    level = reply.level;
    return FreeReceivedMessage(kSqlAuthenticationRsp).IsSuccess();
}
