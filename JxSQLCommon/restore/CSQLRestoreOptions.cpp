// CSQLRestoreBase: the restore options of the job.
//
// The first step of every restore sequence: the task's options from the
// central server, the kind of destination (an instance, a disk location
// without any instance, a cloud engine, or the back-end instance of a
// SharePoint farm), the destination instance with its credentials, whether
// its SQL Server can be reached, and the list of databases to restore.
#include <cstdlib>
#include <list>
#include <string>
#include <vector>

#include "EvTaskApiNet/EvRstTask.h"
#include "EvTaskApiNet/SchedularInterfaceNet.h"
#include "JXAppMgr/ApplicationId.h"
#include "JXAppMgr/MSSQLAuthentication.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/records/TMMsgMessages.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"
#include "JxSQLCommon/restore/RestoreOptionBits.h"
#include "JxSQLMessageHandler/service/CSQLClientDll.h"
#include "WzUtils/FXString.h"

namespace {

constexpr const char* kAgentSection = "MSSQLAgent";
constexpr const char* kAzureEngine = "Azure DataBase Engine";
constexpr const char* kAwsEngine = "Aws DataBase Engine";
constexpr const char* kAzureManagedEngine = "Azure Managed DataBase Engine";
constexpr const char* kDatabaseEngine = "DataBase Engine";
constexpr unsigned long kCloudStagingOption = 0x3915F8D7;
constexpr unsigned long kStagingInstanceOption = 0x5619054B;
constexpr unsigned long kRestoreStreamsOption = 0x3BE21468;
constexpr unsigned long kSharePointAppTypeOption = 0x4B92869E;
constexpr int kRevertRestoreOption = 7;  // ER_EX_REVERT_RESTORE
constexpr uint64_t kDefaultVdiTimeoutSecs = 300;
constexpr int64_t kSharePointServerEntry = 1011;
constexpr int64_t kSharePointOverwrite = 2;

}  // namespace

bool CSQLRestoreBase::getRestoreOptions() {
    {
        CSQLClientDll client;
        CWzError e = client.GetRestoreTaskOptions(m_restoreTaskId, m_restoreOptions);
        if (e.IsError()) {
            const std::string text = "Failed to get restore options with error [" + e.AsString() + "].";
            EV_ERROR(m_logger, "%s", text.c_str());
            if (m_pRstJobClnt) {
                *m_pRstJobClnt << text.c_str();
                (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseRestoreOptionsUnavailable);  // failing anyway
            }
            return false;
        }
    }
    if (m_restoreOptions.destinationInstanceId == 0) m_applessRestore = m_restoreToDisk && !m_restoreToDiskAttach;
    EV_DEBUG(m_logger, 3, "Appless restore is [%s].", m_applessRestore ? "ENABLED" : "DISABLED");

    std::string serverType;
    MsSqlInstance destination(m_restoreOptions.destinationInstanceId);
    if (!m_applessRestore) {
        int code = 0;
        if (destination.getServerType(serverType, code) != 0) serverType.clear();
        m_destinationAzure = serverType == kAzureEngine;
        m_destinationAws = serverType == kAwsEngine;
        m_destinationAzureManaged = serverType == kAzureManagedEngine;
    }
    EvRstTask task(m_jobId);
    const bool cloudJob = m_azureRestoreJob || m_awsRestoreJob;
    const bool azureDestination = m_destinationAzure || m_destinationAzureManaged;
    if (cloudJob || azureDestination || m_destinationAws) {
        std::string staging;
        unsigned long stagingInstance = 0;
        (void)task.getOptionString(kCloudStagingOption, staging);  // absent: nothing staged
        if (task.getOptionULong(kStagingInstanceOption, stagingInstance) == 0) {
            m_restoreOptions.stagingInstanceId = stagingInstance;
        }
        EV_DEBUG(m_logger, 3, "Cloud staging [%s], staging instance [%lu].", staging.c_str(), stagingInstance);
    }
    if (!cloudJob && azureDestination) {
        if (m_restoreOptions.stagingInstanceId == 0) {
            EV_DEBUG(m_logger, 1, "Staging instance id is missing, default to source instance id.");
            m_restoreOptions.stagingInstanceId = m_restoreOptions.sourceInstanceId;
        }
        m_restoreOptions.requestedDestinationInstanceId = m_restoreOptions.destinationInstanceId;
        m_restoreOptions.destinationInstanceId = m_restoreOptions.stagingInstanceId;
        destination = MsSqlInstance(m_restoreOptions.destinationInstanceId);
        EV_DEBUG(m_logger, 1, "Using SQL instance [%lu] to stage database.",
                 static_cast<unsigned long>(m_restoreOptions.destinationInstanceId));
    }

    std::string user, password;
    if (m_isRBSJob) {
        // SharePoint farm: the back-end instance and its login come from the
        // farm's restore metadata and application type.
        std::string xml;
        if (int rc = task.getXMLOptions(m_restoreTaskId, xml); rc != 0) {
            EV_ERROR(m_logger, "Failed to retrieve sharepoint restore options with error code [%d]", rc);
            return false;
        }
        TMMsg::JobOption jobOption;
        if (int rc = jobOption.unserialize(xml); rc != kMsgOk) {
            EV_ERROR(m_logger, "Failed to unserialize sharepoint restore metadata [%s] with error code [%d]",
                     xml.c_str(), rc);
            return false;
        }
        const CNMessageBase* spOption = jobOption.getObjectAccessor(TMMsg::JobOption::kSharePointRestoreOption);
        if (spOption == nullptr) {
            EV_ERROR(m_logger, "SharePoint db restore option is not set in restore metadata [%s]", xml.c_str());
            return false;
        }
        if (spOption->getint64(TMMsg::JobOption::kSharePointRestoreValue) == kSharePointOverwrite) {
            m_restoreOptions.optionFlags |= kRstOverwrite | kRstDropDbConnections;
        }
        std::string server;
        std::vector<TMMsg::SharePointMetaData> entries;
        if (spOption->getlistobject(TMMsg::JobOption::kSharePointMetaData, entries)) {
            for (const TMMsg::SharePointMetaData& entry : entries) {
                const std::string text = entry.getstring(TMMsg::SharePointMetaData::kText);
                if (entry.getint64(TMMsg::SharePointMetaData::kType) == kSharePointServerEntry && !text.empty()) {
                    server = text;
                    break;
                }
            }
        }
        if (server.empty()) {
            EV_ERROR(m_logger, "Failed to find sharepoint database server name from sharepoin meta data.");
            return false;
        }
        std::string backend;
        JXPlatformInfo settings;
        if (settings.getString(kAgentSection, "sSharepointBackendInstance", backend) != 0 && !backend.empty()) {
            server = backend;
        }
        EV_DEBUG(m_logger, 1, "Found Sharepoint db server [%s]", server.c_str());
        m_sServername = server;
        m_wideName = FXString::ToWstring(server);

        uint64_t clientId = 0;
        unsigned long appTypeId = 0;
        const int clientRc = task.getDestinationClientId(clientId);
        const int appTypeRc = task.getOptionULong(kSharePointAppTypeOption, appTypeId);
        if (clientRc != 0) {
            EV_ERROR(m_logger, "Failed to retrieve source client ID with error code [%d].", clientRc);
        } else if (appTypeRc != 0) {
            EV_ERROR(m_logger, "Failed to retrieve source client apptype ID with error code [%d].", appTypeRc);
        } else {
            EV_DEBUG(m_logger, 1, "Destination client ID is [%ld].", static_cast<long>(clientId));
            EV_DEBUG(m_logger, 3, "Destination client AppTypeID is [%ld].", static_cast<long>(appTypeId));
            ApplicationTypeSharePointV2Doc farm(appTypeId);
            if (int rc = farm.getRemoteSQLSrvUserName(user); rc != 0) {
                EV_WARN(m_logger, "Failed to retrieve remote SQL Server user name with error [%d].", rc);
                user.clear();
            } else if (int prc = farm.getRemoteSQLSrvUserPassword(password); prc != 0) {
                EV_WARN(m_logger, "Failed to retrieve remote SQL Server user password with error [%d].", prc);
                user.clear();
            }
        }
        uint64_t appId = 0;
        if (int rc = task.getAppId(appId); rc != 0) {
            EV_ERROR(m_logger, "Failed to retrieve source sub client ID with error code [%d].", rc);
        } else if (appId > 0) {
            unsigned long timeout = 0;
            if (int trc = SubclientConf(appId).getVDITimeout(timeout); trc != 0) {
                EV_ERROR(m_logger, "Failed to retrieve VDI time out from subclient ID [%d] with error code [%d].",
                         static_cast<int>(appId), trc);
            } else {
                m_vdiTimeout = timeout;
            }
        }
        if (m_vdiTimeout == 0) m_vdiTimeout = kDefaultVdiTimeoutSecs;
    } else {
        if (!m_applessRestore) {
            std::string name;
            if (destination.getInstanceName(name) != 0) {
                EV_ERROR(m_logger, "AppManager failed to get instance name.");
                return false;
            }
            m_sServername = name;
            m_instanceId = m_restoreOptions.destinationInstanceId;
            m_wideName = FXString::ToWstring(name);
            if ((cloudJob && azureDestination) || m_destinationAws) return true;
            m_vdiTimeout = kDefaultVdiTimeoutSecs;
            EV_DEBUG(m_logger, 1, "Using [%lu] as VDI TIMEOUT", static_cast<unsigned long>(m_vdiTimeout));
            bool useVss = false;
            (void)destination.isUseVSS(useVss);  // unreadable: no VSS, the default
            m_vss.setVSS(useVss);
            m_vss.setVSSWriter(VSS_WRITER_MSDE);
            unsigned long authType = 0;
            MSSQLAuthentication authentication;
            if (authentication.getMSSQLAuthentication(m_restoreOptions.destinationInstanceId, authType, user, password,
                                                      false, nullptr, nullptr) != 0) {
                EV_WARN(m_logger, "Error: Failed to retrieve authentication information. Error [%s].",
                        authentication.getLastErrorText().c_str());
                EV_DEBUG(m_logger, 1, "Using Local System authentication.");
                user.clear();
                password.clear();
            }
        } else if (m_dumpLocation.compare(0, 2, "\\\\") == 0) {
            unsigned long authType = 0, level = 0;
            CSQLClientDll client;
            if (!client.getMSSQLAuthentication(m_restoreOptions.destinationClientId, 0, /*skipInstance=*/false,
                                               /*cloudServer=*/true, authType, user, password, level)) {
                EV_WARN(m_logger, "Failed to retrieve authentication information using clientid [%lu]",
                        static_cast<unsigned long>(m_restoreOptions.destinationClientId));
            }
            EV_DEBUG(m_logger, 1, "Using authentication information: User [%s], AuthType [%lu], Level [%lu]",
                     user.empty() ? "Local System" : user.c_str(), authType, level);
        }
        readSnapDestinationRestoreOptionsIfPresent();
        long streams = 2;
        if (int rc = task.getOptionLong(kRestoreStreamsOption, streams); rc != 0 && rc != EVTASK_ERR_NOT_FOUND) {
            EV_ERROR(m_logger, "Failed to get restore streams with error [%d].", rc);
        }
        EV_DEBUG(m_logger, 2, "Number of restore streams is [%ld].", streams > 1 ? streams : 2L);
    }

    if (!user.empty()) {
        m_sqlUser = user;
        m_sqlPassword = password;
        setUserName(user);
        setPassword(password);
        if (jxImpersonateUser(user)) m_impersonated = true;
    }
    if (!m_applessRestore) {
        if (serverType == kDatabaseEngine && !isSqlServerRunning("")) {
            EV_ERROR(m_logger,
                     "Unable to get the SQL Version for the server [%s]. Please check if the SQL Services are "
                     "running.",
                     m_sServername.c_str());
            if (m_pRstJobClnt) {
                *m_pRstJobClnt << m_sServername.c_str();
                (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseSqlServerNotRunning);  // fails through the result
            }
            return false;
        }
        if (!initializeInstanceVersion()) {
            EV_ERROR(m_logger, "Failed to connect to SQL Server. Please check if SQL Services are running.");
            if (m_pRstJobClnt) {
                *m_pRstJobClnt << m_sServername.c_str();
                (void)m_pRstJobClnt->setPendingCauseAndCriticalEvent(kCauseNoInstanceVersion);  // fails through the result
            }
            return false;
        }
    }
    {
        CSQLClientDll client;
        if (!client.populateRestoreTaskOptions(m_sServername, m_restoreOptions, m_restoreDbList, m_applessRestore)) {
            EV_ERROR(m_logger, "Failed to populate restore options.");
            return false;
        }
    }
    if (!m_applessRestore) {
        setIsInstanceClustered(m_sServername);
        if (isInstanceClustered() && ::setenv("_VIRTUAL_SERVER_NAME_", m_sServername.c_str(), 1) != 0) {
            EV_ERROR(m_logger, "Failed to set _VIRTUAL_SERVER_NAME_ environment variable for [%s].",
                     m_sServername.c_str());
            return false;
        }
    }
    bool revert = false;
    if (SchedularInterfaceNet::GetTaskOptionBoolean(m_jobId, kRevertRestoreOption, revert, 0x40) != 0) {
        EV_ERROR(m_logger,
                 "Error getting ER_EX_REVERT_RESTORE option from AppManager. Will assume non-revert restore");
        revert = false;
    }
    m_revertRestore = revert;
    EV_DEBUG(m_logger, 1, "Got restoreOptions. Destination Instance is [%s]", m_sServername.c_str());
    return true;
}
