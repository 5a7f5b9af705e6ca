// CSQLBackup: the integrity check of a snapshot backup, seen from the source
// job. The check runs in this process when the subclient's integrity proxy
// is this client; otherwise the backup program is started on the proxy with
// "-integcheck", gets the initialisation and attach records, and its one
// response becomes the check's result. A check that attached no database
// proves nothing and is reported as not checked.
#include <cinttypes>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "JXAppMgr/JXClient.h"
#include "JXAppMgr/Subclient.h"
#include "JXSnapHandler/JXSnapClientAPI.h"
#include "JxJobClient/JXJobClient.h"
#include "JxJobClient/JXJobCtrlClient.h"
#include "JxLib/JXPIAgent.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/backup/CSQLBackup.h"
#include "JxSQLCommon/backup/SqlVersionParts.h"
#include "JxSQLCommon/records/SqlIntegrityCheckRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/SqlMessageCodes.h"
#include "JxSQLMessageHandler/service/sqlRecordCodecs.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsDatabuf_v2.h"

namespace {

constexpr int kImpersonationError = 1000;
constexpr int kReceiveSeconds = 30;
constexpr int64_t kDefaultWaitSeconds = 86400;

std::string OwnClientName() {
    std::string name;
    JXPI_JxClient().getClientName(name);
    return name;
}

}  // namespace

bool CSQLBackup::launchSQLIntegrityCheck(std::string& user) {
    try {
        if (m_pSubclient == nullptr) {
            EV_ERROR(m_logger, "Failed to check use proxy status with error [%d] [%s].", -1, "no subclient");
            return false;
        }
        bool useProxy = false;
        if (int rc = m_pSubclient->getUseProxy(useProxy); rc != 0) {
            EV_ERROR(m_logger, "Failed to check use proxy status with error [%d] [%s].", rc,
                     MsSqlSubclient::getErrorText(rc).c_str());
            return false;
        }
        const std::string ownName = OwnClientName();
        if (!useProxy) {
            EV_ERROR(m_logger, "SQL integrity check is not supported on source client [%s].", ownName.c_str());
            RaisePendingCause(kCauseCheckNotConfigured, ownName);
            return false;
        }
        unsigned long proxyId = 0;
        if (int rc = m_pSubclient->getIntegritySQLProxy(proxyId); rc != 0) {
            EV_ERROR(m_logger, "Failed to look up proxy client with error [%d] [%s].", rc,
                     MsSqlSubclient::getErrorText(rc).c_str());
            return false;
        }
        if (proxyId == 0) {
            EV_ERROR(m_logger, "Proxy client id is zero. Cannot continue with integrity check.");
            return false;
        }
        uint64_t ownId = m_clientId;
        if (ownId == 0) {
            std::string hostName;
            (void)getClientInfo(ownId, hostName);  // logs its failure; id 0 then matches no proxy
        }
        if (proxyId == ownId) {
            std::string name, password;
            if (int rc = m_pSubclient->getUserNameforProxyServer(name); rc != 0) {
                EV_WARN(m_logger, "Failed to get proxy client username with error [%d] [%s].", rc,
                        MsSqlSubclient::getErrorText(rc).c_str());
            }
            if (!name.empty()) {
                if (int rc = m_pSubclient->getUserPasswordforProxyServer(password); rc != 0) {
                    EV_WARN(m_logger, "Failed to get proxy client password with error [%d] [%s].", rc,
                            MsSqlSubclient::getErrorText(rc).c_str());
                } else if (password.empty()) {
                    EV_WARN(m_logger, "Empty password for proxy client recieved from CS.");
                }
            }
            if (!name.empty() && !password.empty()) {
                setUserName(name);
                setPassword(password);
                if (!jxImpersonateUser(user)) {
                    EV_WARN(m_logger, "Failed to Impersonate [%s] with last error code [%u].", user.c_str(),
                            static_cast<unsigned>(errno));
                }
            }
            EV_DEBUG(m_logger, 2, "Using user currently impersonated.");
            return performIntegrityCheckOnSrc(user);
        }

        std::string host;
        if (JXClient(static_cast<uint64_t>(proxyId)).getNetworkHostnameMangled(host) != 0 || host.empty()) {
            EV_ERROR(m_logger, "Failed to get mangled hostname for proxy [%ld]", static_cast<long>(proxyId));
            RaisePendingCause(kCauseProxyHostName, "JXClient::getNetworkHostnameMangled");
            return false;
        }
        jxsExecuteRemoteCommandType command;
        command.program = "SQLBackup.exe";
        // Each argument its own word: a job token with blanks stays one argument.
        command.arguments = {"-a",    std::to_string(m_jxCellId) + ":" + std::to_string(m_appNumber),
                             "-j",    std::to_string(m_jobId),
                             "-jt",   m_jobToken,
                             "-scid", std::to_string(ownId),
                             "-integcheck"};
        std::string line;
        for (const std::string& word : command.arguments) line += (line.empty() ? "" : " ") + word;
        EV_DEBUG(m_logger, 2, "Launching integrity check on proxy [%s] [%s]", host.c_str(), line.c_str());
        SqlRegisterRecordCodecs();
        CJxNetwork session;
        if (CWzError e = session.Attach_RemoteCommand(host, &command, nullptr, nullptr,
                                                      static_cast<int>(m_networkTimeout), m_networkFlag);
            e.IsError()) {
            unsigned long code = 0;
            std::string text;
            (void)session.GetLastErrorGenericText(&code, text, 0);  // the error itself carries the same text
            EV_ERROR(m_logger, "dataAgentAttach() failed: ERROR = %ld DISCRIPTION = %s\n", static_cast<long>(code),
                     text.c_str());
            if (m_pJobClnt != nullptr) *m_pJobClnt << host.c_str();
            RaisePendingCause(kCauseProxyLaunch, host);
            return false;
        }
        auto sendFailed = [&]() {
            if (m_pJobClnt != nullptr) *m_pJobClnt << "JXSQL_V2_SQLINTEGRITYCHECK_REQ" << ownName.c_str();
            RaisePendingCause(kCauseCheckSend, host);
            return false;
        };
        if (!sendIntegrityCheckInitMsg(session)) {
            EV_ERROR(m_logger, "Failed to send init msg to proxy [%s]", host.c_str());
            return sendFailed();
        }
        if (!sendIntegrityCheckDataMsg(session)) {
            EV_ERROR(m_logger, "Failed to send data msg to proxy [%s]", host.c_str());
            return sendFailed();
        }
        const bool checked = handleMessagesFromProxy(session);
        // The check no longer needs the metadata files (a converted
        // differential phase keeps them for the full phase that follows).
        if (!(m_bkpPhase == JXSQL_BACKUP_DIFF && m_bFullConversion)) (void)cleanupSnapMetaDataFiles();
        if (!checked) {
            EV_ERROR(m_logger, "Integrity check failed.");
            return false;
        }
        return true;
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception in launching the integrity check.");
        return false;
    }
}

bool CSQLBackup::formSQLDBAttachMsg(std::string& out) {
    std::string directory;
    if (GetJobresultsDir(directory, m_jxCellId, m_appNumber) != 0) {
        EV_ERROR(m_logger, "Failed to get job results directory [%ld/%ld]", static_cast<long>(m_jxCellId),
                 static_cast<long>(m_appNumber));
        return false;
    }
    const std::string job = std::to_string(m_jobId);
    const std::string tag = "_jxjob_" + job;
    const std::string writer = directory + "/" + job + "_" + m_backupLevelName + "_WRT.xml";
    const std::string components = directory + "/" + job + "_" + m_backupLevelName + "_BCD.xml";
    SQLPmn::AttachDBMsg message;
    if (!getAttachMsgFromMetadata(components, writer, message, tag)) {
        EV_ERROR(m_logger, "Failed to parse metadata files [%s] [%s]", writer.c_str(), components.c_str());
        return false;
    }
    if (message.serialize(out) != kMsgOk) {
        EV_ERROR(m_logger, "Failed to serialize SQLPmn::AttachDBMsg message");
        out.clear();
        return false;
    }
    EV_DEBUG(m_logger, 2, "Attach MSG !!!! = [%s]", out.c_str());
    // The metadata files are removed only once the check has what it needs
    // from them (a converted differential phase keeps them for its full).
    return true;
}

namespace {

// Sends `text` as one request record of `kind`.
bool SendRequest(CJxNetwork& session, uint32_t kind, const std::string& text, uint32_t timeout, bool& flag,
                 EvEvent& logger) {
    auto buffer = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(buffer.get(), text.c_str(), text.size() + 1);
    SQLIntegrityCheckReq_t request;
    request.kind = kind;
    request.text = buffer.get();
    jxsDatabuf_v2 data;
    data.setExternalBuffer(&request, sizeof request);
    if (session.SendXDRMessage(kSqlIntegrityCheckReq, &data, 0, static_cast<int>(timeout), flag).IsError()) {
        unsigned long code = 0;
        std::string error;
        (void)session.GetLastErrorGenericText(&code, error, 0);  // only the code is reported
        EV_ERROR(logger, "JXSession::sendMessage() returned error, code [%lu]", code);
        return false;
    }
    return true;
}

}  // namespace

bool CSQLBackup::sendIntegrityCheckInitMsg(CJxNetwork& session) {
    try {
        using I = SQLPmn::SQLIntegrityCheckInit;
        const SqlVersionParts version = ParseSqlVersionParts(m_sqlVersion);
        std::string instance, user, password;
        if (m_pSubclient != nullptr) {
            // Missing settings stay empty: the proxy then fails the check clearly.
            (void)m_pSubclient->getIntegritySQLServer(instance);
            (void)m_pSubclient->getUserNameforProxyServer(user);
            (void)m_pSubclient->getUserPasswordforProxyServer(password);
        }
        uint64_t ownId = m_clientId;
        std::string hostName;
        if (ownId == 0) (void)getClientInfo(ownId, hostName);  // logs its failure
        I init;
        init.setint64(I::kJobId, static_cast<int64_t>(m_jobId));
        init.setint64(I::kApplicationId, static_cast<int64_t>(m_appNumber));
        init.setint64(I::kInstanceId, static_cast<int64_t>(static_cast<int32_t>(m_instanceId)));
        init.setint64(I::kJxCellId, static_cast<int64_t>(m_jxCellId));
        init.setint64(I::kSourceClientId, static_cast<int64_t>(ownId));
        init.setint64(I::kMajorVersion, version.major);
        init.setint64(I::kMinorVersion, version.minor);
        init.setint64(I::kBuildNumber, version.build);
        init.setstring(I::kVersionText, m_sqlEdition);
        init.setstring(I::kCheckInstance, instance);
        init.setstring(I::kProxyUser, user);
        init.setstring(I::kProxyPassword, password);
        std::string text;
        if (init.serialize(text) != kMsgOk) {
            EV_ERROR(m_logger, "Failed to serialize SQLPmn::SQLIntegrityCheckInit message");
            return false;
        }
        EV_DEBUG(m_logger, 3, "SQLPmn::SQLIntegrityCheckInit message : [%s]", text.c_str());
        return SendRequest(session, kIntegrityCheckInit, text, m_networkTimeout, m_networkFlag, m_logger);
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception in sending the integrity check init message.");
        return false;
    }
}

bool CSQLBackup::sendIntegrityCheckDataMsg(CJxNetwork& session) {
    try {
        std::string text;
        if (!formSQLDBAttachMsg(text) || text.empty()) {
            EV_ERROR(m_logger, "formSQLDBAttachMsg failed.");
            return false;
        }
        return SendRequest(session, kIntegrityCheckData, text, m_networkTimeout, m_networkFlag, m_logger);
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception in sending the integrity check data message.");
        return false;
    }
}

bool CSQLBackup::handleMessagesFromProxy(CJxNetwork& session) {
    try {
        int64_t limit = kDefaultWaitSeconds;
        uint64_t hours = 0;
        if (JXPlatformInfo().getNumber("MSSQLAgent", "nIntegCheckMaxWaitHours", &hours)) {
            EV_DEBUG(m_logger, 2, "Found integrity check override registry flag value [%d].", static_cast<int>(hours));
            // 0 keeps the default: a silent proxy must not hold the job for ever.
            if (hours != 0 && hours < 24u * 365) limit = static_cast<int64_t>(hours) * 3600;
        }
        int64_t waited = 0;
        SQLIntegrityCheckResponse_t response;
        jxsDatabuf_v2 buffer;
        buffer.setExternalBuffer(&response, sizeof response);
        for (;;) {
            unsigned long code = 0;
            bool timedOut = false;
            CWzError e = session.ReceiveXDRMessage(&code, &buffer, nullptr, 0, kReceiveSeconds, timedOut);
            if (e.IsError() && !timedOut) {
                EV_ERROR(m_logger, "Error receiving initialization data.");
                return false;
            }
            if (e.IsSuccess() && code != kSqlIntegrityCheckRsp) {
                EV_ERROR(m_logger, "Received [%lu] message instead of [%lu]", code, kSqlIntegrityCheckRsp);
                (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // nothing of it is kept
                return false;
            }
            if (e.IsSuccess() && response.text != nullptr) {
                const std::string text = response.text;
                (void)CJxNetwork::FreeReceivedMessage(code, &buffer);  // the text is copied
                EV_DEBUG(m_logger, 2, "Received message [%s]", text.c_str());
                SQLPmn::SQLIntegrityCheckResponse reply;
                if (reply.unserialize(text) != kMsgOk) {
                    EV_ERROR(m_logger, "Failed to unserialize [%s]", text.c_str());
                    return false;
                }
                const bool passed = reply.getint64(SQLPmn::SQLIntegrityCheckResponse::kStatus) == 0;
                EV_INFO(m_logger, "Integrity check status [%s].", passed ? "true" : "false");
                if (m_pJobClnt == nullptr) return passed;
                if (passed) {
                    *m_pJobClnt << std::to_string(m_jobId).c_str();
                    m_pJobClnt->InfoEvent(kEventIntegrityCheckPassed);
                } else if (reply.getint64(SQLPmn::SQLIntegrityCheckResponse::kErrorCode) == kImpersonationError) {
                    RaisePendingCause(kCauseProxyImpersonation,
                                      reply.getstring(SQLPmn::SQLIntegrityCheckResponse::kErrorText));
                } else {
                    *m_pJobClnt << std::to_string(m_jobId).c_str();
                    m_pJobClnt->CriticalEvent(kEventIntegrityCheckFailed);
                }
                return passed;
            }
            // A time-out, or a response without text (freed): both count
            // toward the wait limit.
            if (e.IsSuccess()) (void)CJxNetwork::FreeReceivedMessage(code, &buffer);
            if (waited > limit) {
                EV_ERROR(m_logger, "Operation runtime [%d] exceeded time limit [%d] seconds.", static_cast<int>(waited),
                         static_cast<int>(limit));
                return false;
            }
            waited += kReceiveSeconds;
            EV_DEBUG(m_logger, 2, "Activity check [%d] seconds : STILL ACTIVE", static_cast<int>(waited));
        }
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception while waiting for the proxy.");
        return false;
    }
}

bool CSQLBackup::performIntegrityCheckOnSrc(std::string&) {
    using I = SQLPmn::SQLIntegrityCheckInit;
    try {
        bool result = true;
        bool mounted = false;
        I init;
        SQLPmn::AttachDBMsg message;
        SMVolSnapInfo snaps;
        std::map<std::string, std::string> volumes;
        const SqlVersionParts version = ParseSqlVersionParts(m_sqlVersion);
        std::string instance;
        if (m_pSubclient != nullptr) (void)m_pSubclient->getIntegritySQLServer(instance);  // empty fails below
        uint64_t ownId = m_clientId;
        std::string hostName;
        if (ownId == 0) (void)getClientInfo(ownId, hostName);  // logs its failure
        init.setint64(I::kApplicationId, static_cast<int64_t>(m_appNumber));
        init.setint64(I::kJxCellId, static_cast<int64_t>(m_jxCellId));
        init.setint64(I::kInstanceId, static_cast<int64_t>(static_cast<int32_t>(m_instanceId)));
        init.setint64(I::kJobId, static_cast<int64_t>(m_jobId));
        init.setint64(I::kSourceClientId, static_cast<int64_t>(ownId));
        init.setstring(I::kCheckInstance, instance);
        init.setint64(I::kMajorVersion, version.major);
        init.setint64(I::kMinorVersion, version.minor);
        init.setint64(I::kBuildNumber, version.build);
        init.setstring(I::kVersionText, m_sqlEdition);

        std::string directory, text;
        bool attempted = false;   // the steps got as far as attaching
        bool attachedAny = false;
        if (GetJobresultsDir(directory, m_jxCellId, m_appNumber) != 0) {
            EV_ERROR(m_logger, "Failed to get job results directory [%" PRIu64 "].", m_jobId);
            result = false;
        } else if (quit()) {
            EV_ERROR(m_logger, "JM issued job termination.");
            result = false;
        } else {
            const std::string mountBase = directory + "/" + std::to_string(m_jobId);
            if (!formSQLDBAttachMsg(text) || text.empty()) {
                EV_ERROR(m_logger, "formSQLDBAttachMsg failed.");
                return false;
            }
            if (!mountSnapsForIntegrityCheck(init, snaps, mountBase, volumes)) {
                EV_ERROR(m_logger, "Failed to mount snaps on proxy.");
                result = false;
            } else {
                mounted = true;
                if (message.unserialize(text) != kMsgOk) {
                    EV_ERROR(m_logger, "Failed to unserialize attach message [%s]", text.c_str());
                    if (!JXSnapClientAPI::unmountVolumes(snaps)) {
                        EV_ERROR(m_logger, "Failed to unmount snapshots");
                        EV_DEBUG(m_logger, 1, "%s", snaps.dump().c_str());
                    }
                    return false;
                }
                message.setstring(SQLPmn::AttachDBMsg::kInstanceName, instance);
                std::vector<SQLPmn::AttachDB> databases;
                (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, databases);  // unreadable: empty
                attachedAny = !databases.empty();
                if (!replaceFileNamesWithMountPath(message, volumes)) {
                    EV_ERROR(m_logger, "Failed to replace original database filenames.");
                    result = false;
                } else if (!isSqlServerRunning(instance)) {
                    EV_ERROR(m_logger, "SQL services for instance [%s] is not running.", instance.c_str());
                    RaisePendingCause(kCauseCheckServiceDown, instance);
                    result = false;
                } else if (!checkIfDatabaseFilesExists(message)) {
                    EV_ERROR(m_logger, "Integrity check failed.");
                    result = false;
                } else if (quit()) {
                    EV_ERROR(m_logger, "JM issued job termination.");
                    result = false;
                } else if (!performSQLVersionCompatibilityCheck(instance, version.major, version.minor, version.build,
                                                                 m_sqlEdition)) {
                    result = false;
                } else {
                    attempted = true;
                    if (!attachDatabasesForIntegrityCheck(message)) {
                        EV_ERROR(m_logger, "Integrity check operation failed.");
                        result = false;
                    }
                }
            }
        }
        if (mounted && !JXSnapClientAPI::unmountVolumes(snaps)) {
            EV_ERROR(m_logger, "Failed to unmount snapshots");
            EV_DEBUG(m_logger, 1, "%s", snaps.dump().c_str());
            result = false;
        }
        if (result && attempted && !attachedAny) {
            // Nothing was attached, so nothing was checked: not a pass.
            EV_ERROR(m_logger, "The snapshot metadata lists no database: nothing was checked.");
            RaisePendingCause(kCauseCheckAttach, "");
            result = false;
        }
        // The check no longer needs the metadata files (a converted
        // differential phase keeps them for the full phase that follows).
        if (!(m_bkpPhase == JXSQL_BACKUP_DIFF && m_bFullConversion)) (void)cleanupSnapMetaDataFiles();
        if (m_pJobClnt != nullptr) {
            *m_pJobClnt << std::to_string(m_jobId).c_str();
            // A failed check fails the job's data protection: critical.
            if (result) {
                m_pJobClnt->InfoEvent(kEventIntegrityCheckPassed);
            } else {
                m_pJobClnt->CriticalEvent(kEventIntegrityCheckFailed);
            }
        }
        return result;
    } catch (...) {
        EV_ERROR(m_logger, "Caught exception in the integrity check.");
        return false;
    }
}
