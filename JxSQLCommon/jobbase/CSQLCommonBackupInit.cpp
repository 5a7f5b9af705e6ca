// CSQLCommon: backup job initialisation.
//
// Reads the job's identities from the command line, the job base's settings
// and global parameters, registers the job with the job manager, tells an
// availability-group master that its child started, and reads the
// subclient's and the instance's properties. Once the job is registered,
// every failure reaches the job manager as a pending cause.
#include <cinttypes>
#include <cstdlib>
#include <vector>

#include "EvTaskApiNet/EvBkpTask.h"
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/DocumentumInstance.h"
#include "JXAppMgr/JXJxCell.h"
#include "JXAppMgr/MSSQLAGInstance.h"
#include "JXAppMgr/MSSQLAuthentication.h"
#include "JobResults/StoreResults.h"
#include "JxCommandLineParser/BackupOptionsParser.h"
#include "JxJobClient/JXBkpJobClient.h"
#include "JxJobClient/JobRegistration.h"
#include "JxLib/JXPIPlatformBase.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "JxSQLCommon/jobbase/SQLTunableSettings.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSession/CJxNetwork.h"
#include "WzUtils/CStopWatch.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

constexpr const char* kAgentSection = "MSSQLAgent";
constexpr const char* kDatabaseEngine = "DataBase Engine";

// The availability-group master answers the child within this bound
// (platform seconds); a master that does not fails the child instead of
// holding it for ever.
constexpr int kMasterTimeoutSeconds = 300;

// Task options of a backup.
constexpr unsigned long kOptionChecksum = 914693182;
constexpr unsigned long kOptionContinueAfterError = 1141550510;
constexpr unsigned long kOptionSnapFlag = 486714503;
constexpr unsigned long kOptionPluginBackup = 350958534;

bool IsCloudServerType(const std::string& type) {
    return type == "Aws DataBase Engine" || type == "Azure DataBase Engine" || type == "Azure Managed DataBase Engine";
}

// The fields of a job token "id:phase:attempt[:...]": separated by ":",
// a double-quoted part keeps its ":", a backslash takes the next character
// as it is.
std::vector<std::string> SplitJobToken(const std::string& token) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (size_t i = 0; i < token.size(); ++i) {
        char c = token[i];
        if (c == '\\' && i + 1 < token.size()) {
            fields.back() += token[++i];
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ':' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

// The leading decimal digits of a token field (0 when none).
uint32_t FieldNumber(const std::string& field) { return static_cast<uint32_t>(std::strtoul(field.c_str(), nullptr, 10)); }

// Sends one message to the availability-group master, bounded in time.
CWzError SendToMaster(CJxNetwork* master, const CNMessageBase& message) {
    if (master == nullptr) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "no session to the master process");
    }
    bool timedOut = false;
    return master->SendXMLMessage(message, 0, kMasterTimeoutSeconds, timedOut);
}

// A VDI tunable of the backup from the subclient (when given) and the task;
// the reader answers its default for a value below 1.
uint32_t ReadTunable(SQLTunableSetting&& reader, EvTask& task, MsSqlSubclient* subclient) {
    reader.setTaskPtr(&task);
    reader.setSubclientPtr(subclient);
    int value = 0;
    reader.getOptionValue(value, false);
    return static_cast<uint32_t>(value);
}

}  // namespace

bool CSQLCommon::initializeBackup(BackupOptionsParser& parser, bool& registered) {
    registered = false;
    ReadJobParameters(parser);
    const bool tokenComplete = ReadJobToken(parser);
    ReadBackupSettings();
    if (!RegisterBackupJob(parser, registered)) return false;
    if (!tokenComplete) return FailMalformedJobToken();
    if (m_isAGChild && !TellMasterStarted()) return false;

    std::unique_ptr<MsSqlInstance> ownedInstance;
    MsSqlInstance* instance = nullptr;
    if (!ReadSubclientAndInstance(parser, ownedInstance, instance)) return false;
    std::string user;
    std::string password;
    ReadCredentials(parser, user, password);
    if (!ReadServerName(*instance)) return false;
    if (!UseCredentials(user, password)) return false;
    if (!CheckSqlServerRunning()) return false;
    if (!ReadSqlVersion(*instance)) return false;
    if (!ReadCentralServerHostName()) return false;
    if (m_isAGChild && !ReadAvailabilityGroup()) return false;

    m_initiatedFrom = GetInitiatedFrom(m_jobId, false);
    m_sendOptionalHeader = isSendOptionalHeaderEnabled();
    return true;
}

void CSQLCommon::ReadJobParameters(BackupOptionsParser& parser) {
    m_isRBSJob = parser.isRBSJob();
    if (m_isRBSJob) {
        EV_DEBUG(m_logger, 1, "This is a RBS JOB.");
    } else {
        EV_DEBUG(m_logger, 1, "Checking registry key bEnableRBSJob to see if RBS needs to be enabled.");
        int enable = 0;
        m_isRBSJob = JXPlatformInfo().getNumber(kAgentSection, "bEnableRBSJob", &enable) != 0 && enable != 0;
        EV_DEBUG(m_logger, 1, m_isRBSJob ? "This is a RBS JOB." : "This is not a RBS JOB.");
    }

    m_parserText = parser.getClientName();
    m_jobId = parser.getJobId();
    if (m_jobId == 0) EV_INFO(m_logger, "Info only:JobId not present in Commandline");
    m_logger.setJobId(m_jobId);
    m_jxCellId = parser.getJxCellId();
    if (m_jxCellId == 0) EV_INFO(m_logger, "Info only:JxCellId not present in Commandline");
    m_appNumber = parser.getApplicationNumber();
    if (m_appNumber == 0) EV_INFO(m_logger, "Info only:AppId not present in Commandline.");
    m_fullRestartString = parser.getFullRestartString();
    m_restartString = m_fullRestartString;
    if (!parser.getMediaAgent().empty()) {
        m_mediaAgent = parser.getMediaAgent();
    } else {
        EV_INFO(m_logger, "Info only:MediaAgent not present in Commandline");
    }
}

bool CSQLCommon::ReadJobToken(BackupOptionsParser& parser) {
    // The phase and attempt are the token's second and third fields; a token
    // without them fails the job once it is registered.
    m_jobToken = parser.getJobToken();
    std::vector<std::string> fields = SplitJobToken(m_jobToken);
    const bool tokenComplete = fields.size() >= 3;
    m_jobPhase = tokenComplete ? FieldNumber(fields[1]) : 0;
    m_attempt = tokenComplete ? FieldNumber(fields[2]) : 0;
    EV_DEBUG(m_logger, 1, "Job Phase Number = [%u] attempt Number = [%u]", m_jobPhase, m_attempt);
    return tokenComplete;
}

void CSQLCommon::ReadBackupSettings() {
    unsigned long genericOptions = 0;
    m_genericOptions.getOptionValue(genericOptions, true);
    EV_DEBUG(m_logger, 1, "Generic options [%lu].", genericOptions);
    ReadVdiTimeoutRetryLimit();
    doLoadBackupConfigs();
}

bool CSQLCommon::FailMalformedJobToken() {
    const std::string text = "Malformed job token [" + m_jobToken + "]: it does not hold the job phase and attempt.";
    EV_ERROR(m_logger, "%s", text.c_str());
    *m_pBkpJobClnt << text.c_str();
    return FailWithCause(kCauseMalformedJobToken);
}

bool CSQLCommon::TellMasterStarted() {
    SQLPmn::SQLAGClientStartedFinish started;
    started.setint64(SQLPmn::SQLAGClientStartedFinish::kStarted, 1);
    if (CWzError err = SendToMaster(m_pMasterConnection, started); err.IsError()) {
        EV_ERROR(m_logger, "Failed to send start message to master process with error [%s].", err.AsString().c_str());
        return FailAvailabilityGroup();
    }
    EV_DEBUG(m_logger, 1, "Sent start message to master process.");
    return true;
}

bool CSQLCommon::ReadServerName(MsSqlInstance& instance) {
    if (!ReadInstanceName(instance)) return false;
    if (m_sServername.empty()) {
        *m_pBkpJobClnt << static_cast<unsigned long>(m_instanceId);
        return FailWithCause(kCauseInstanceProperties);
    }
    EV_DEBUG(m_logger, 2, "Retrieved SQL Server [%s]", m_sServername.c_str());
    return true;
}

bool CSQLCommon::UseCredentials(const std::string& user, const std::string& password) {
    if (user.empty()) {
        EV_DEBUG(m_logger, 2, "Empty USERNAME.");
        EV_DEBUG(m_logger, 2, "Using Local System authentication.");
        return true;
    }
    m_sqlUser = user;
    m_sqlPassword = password;
    setUserName(user);
    setPassword(password);
    std::string impersonated;
    if (!jxImpersonateUser(impersonated)) {
        EV_ERROR(m_logger, "Failed to Impersonate [%s]", impersonated.c_str());
        *m_pBkpJobClnt << impersonated.c_str();
        return FailWithCause(kCauseImpersonation);
    }
    return true;
}

bool CSQLCommon::CheckSqlServerRunning() {
    if (m_serverType != kDatabaseEngine || isSqlServerRunning("")) return true;
    EV_ERROR(m_logger,
             "Failed to check status of SQL Server services. Please check if the SQL Services are running for "
             "server [%s].",
             m_sServername.c_str());
    *m_pBkpJobClnt << m_sServername.c_str();
    return FailWithCause(kCauseSqlServerNotRunning);
}

bool CSQLCommon::ReadSqlVersion(MsSqlInstance& instance) {
    if (m_isRBSJob || instance.getSQLVersion(m_sqlVersion) == 0) return true;
    EV_ERROR(m_logger,
             "AppManager failed to get instance version. AppManager instanceprop lookup failed for "
             "instanceId = [%" PRIu64 "].",
             m_instanceId);
    *m_pBkpJobClnt << static_cast<unsigned long>(m_instanceId);
    return FailWithCause(kCauseInstanceProperties);
}

bool CSQLCommon::ReadCentralServerHostName() {
    std::string jxServer = JXPI_PlatformBase(4).getJxServerHostName();
    if (jxServer.empty()) {
        EV_ERROR(m_logger, "Failed to get the jxserver hostname from the registry under Base. Please check the "
                           "registry settings.");
        *m_pBkpJobClnt << "jxserver hostname" << "Base";
        return FailWithCause(kCauseCentralServerHostName);
    }
    m_jxServerHostName = jxServer;
    return true;
}

bool CSQLCommon::RegisterBackupJob(BackupOptionsParser& parser, bool& registered) {
    // A repeated initialisation replaces the earlier registration.
    m_pJobCtrlClnt = nullptr;
    m_pJobClnt = nullptr;
    m_pBkpJobClnt = nullptr;
    m_pJobResults = nullptr;
    delete m_pJobRegistration;
    m_pJobRegistration = new JobRegistration(parser);
    CStopWatch watch;
    if (!m_pJobRegistration->registerJob()) {
        const int lastError = m_pJobRegistration->getLastError();
        if (lastError == JobRegistration::kResultsDirectoryInaccessible) {
            EV_ERROR(m_logger, "Failed to register job with Job Manager. Please check the job results directory as it "
                               "is not accessible.");
            m_pBkpJobClnt = m_pJobRegistration->getBkpJobControllObject();
            if (m_pBkpJobClnt != nullptr) FailWithCause(kCauseDirectoryNotAccessible);
        } else {
            EV_ERROR(m_logger, "Failed to register job with Job Manager with last error [%d].", lastError);
        }
        return false;
    }
    watch.Stop();
    EV_DEBUG(m_logger, 1, "Job Manager initialized.");
    EV_DEBUG(m_logger, 1, "Time taken to register Job with job manager = %f", watch.Time());
    m_pJobCtrlClnt = m_pJobRegistration->getJobControllObject();
    m_pJobResults = m_pJobRegistration->getJobResultsObject();
    m_pBkpJobClnt = m_pJobRegistration->getBkpJobControllObject();
    m_pJobClnt = m_pJobRegistration->getJobClientObject();
    m_jobResultsDirectory = m_pJobResults->getDirectory();
    registered = true;
    return true;
}

bool CSQLCommon::ReadSubclientAndInstance(BackupOptionsParser& parser, std::unique_ptr<MsSqlInstance>& ownedInstance,
                                          MsSqlInstance*& instance) {
    m_applicationId = ApplicationId(m_jxCellId, m_appNumber);
    m_pSubclient = m_applicationId.getSubclient();
    if (m_pSubclient == nullptr) {
        EV_ERROR(m_logger, "m_applicationId.getSubclient() failed. Check for JXSession connection errors!");
        return FailWithCause(kCauseSubclientProperties);
    }
    bool flag = false;
    if (m_pSubclient->isAutoDiscover(flag) == 0) m_autoDiscoverSubclient = flag;
    flag = false;
    if (m_pSubclient->isDisableAutoDiscovery(flag) == 0) m_disableAutoDiscovery = flag;
    unsigned int subclientType = 0;
    if (!m_isRBSJob && m_pSubclient->getSQLSubclientType(subclientType) != 0) subclientType = 0;
    m_subclientType = m_isRBSJob ? 1 : subclientType;

    JXJxCell(m_jxCellId).getJxCellNumber(m_jxCellNumber);
    if (JXClient* client = m_applicationId.getClient(); client != nullptr) client->getClientId(m_clientId);

    if (m_pSubclient->lookupProperties(m_refTime) != 0) {
        EV_ERROR(m_logger, "AppManager failed to lookup properties.");
        return FailWithCause(kCauseSubclientProperties);
    }

    if (m_isRBSJob) {
        m_bufferSize = 2048;
    } else if (m_pSubclient->getReadBufferSizeInKiloBytes(m_bufferSize) != 0 || m_bufferSize == 0) {
        m_bufferSize = 64;
    }
    EV_DEBUG(m_logger, 1, "Buffer Size is set to [%" PRIu64 "]", m_bufferSize);

    EvBkpTask task(m_jobId, 0, nullptr);
    MsSqlSubclient* tunableSubclient = m_isRBSJob ? nullptr : m_pSubclient;
    m_vdiBufferCount = ReadTunable(GetTunableBufferCount(20, SQL_OPERATION_BACKUP), task, tunableSubclient);
    EV_DEBUG(m_logger, 1, "BufferCount is set to [%u].", m_vdiBufferCount);
    m_vdiBlockSize = ReadTunable(GetTunableBlockSize(65536, SQL_OPERATION_BACKUP), task, tunableSubclient);
    EV_DEBUG(m_logger, 1, "Block Size is set to [%u].", m_vdiBlockSize);
    m_maxTransferSize = ReadTunable(GetTunableMaxTransferSize(2097152, SQL_OPERATION_BACKUP), task, tunableSubclient);
    EV_DEBUG(m_logger, 1, "Max transfer size [%u].", m_maxTransferSize);

    flag = false;
    if (m_pSubclient->isDisableLogConsistency(flag) == 0) m_disableLogConsistency = flag;
    EV_DEBUG(m_logger, 1, "Disable Log Consistency Check [%s]", m_disableLogConsistency ? "Yes" : "No");

    task.getOptionBool(kOptionChecksum, m_bChecksum);
    task.getOptionBool(kOptionContinueAfterError, m_bContinueAfterError);
    task.getOptionBool(kOptionSnapFlag, m_taskOptionFlag);
    if (parser.isTLToSnapJob()) {
        m_originalJobId = task.getOriginalJobId();
        EV_DEBUG(m_logger, 1, "This is TL to SNAP job. Original Jobid is [%" PRIu64 "].", m_originalJobId);
    }

    CStopWatch setupWatch;  // "Backup setup environment time"
    if (m_isAGChild && m_isRBSJob) {
        if (!AskMasterForSqlServer(&m_masterInstanceId)) return false;
        ownedInstance = std::make_unique<MsSqlInstance>(m_masterInstanceId);
        instance = ownedInstance.get();
        if (!instance->exists()) instance = nullptr;
    } else {
        instance = m_applicationId.getInstance();
    }
    if (instance == nullptr) {
        return FailNoInstance();
    }
    m_instanceId = instance->getId();
    if (m_instanceId == 0) {
        EV_ERROR(m_logger, "AppManager failed to get instance id for appid[%" PRIu64 "] and jxcellid[%" PRIu64 "].",
                 m_appNumber, m_jxCellId);
        AddApplicationArguments();
        return FailWithCause(kCauseInstanceId);
    }

    if (m_isRBSJob) {
        m_serverType = kDatabaseEngine;
        return true;
    }
    int code = 0;
    if (instance->getServerType(m_serverType, code) != 0) {
        EV_ERROR(m_logger, "AppManager failed to get server type for instance = %" PRIu64 " ", m_instanceId);
        *m_pBkpJobClnt << static_cast<unsigned long>(m_instanceId);
        return FailWithCause(kCauseInstanceProperties);
    }
    return true;
}

void CSQLCommon::ReadCredentials(BackupOptionsParser& parser, std::string& user, std::string& password) {
    unsigned long authType = 0;
    if (!m_isRBSJob) {
        if (IsCloudServerType(m_serverType)) {
            EV_WARN(m_logger, "skipping to get MSSQL authentication info from cloud [%s] instance.",
                    m_serverType.c_str());
        } else {
            MSSQLAuthentication authentication;
            if (authentication.getMSSQLAuthentication(m_instanceId, authType, user, password, false, nullptr,
                                                      nullptr) != 0) {
                EV_WARN(m_logger, "Failed to retrieve authentication information. Error [%s].",
                        authentication.getLastErrorText().c_str());
            }
        }
    } else if (parser.isDctmJob()) {
        MsSqlInstance* instance = m_applicationId.getInstance();
        if (instance == nullptr) {
            EV_WARN(m_logger, "Failed to retrieve remote DocumentumInstance Id for m_applicationId");
            user.clear();
        } else {
            DocumentumInstance documentum(instance->getId());
            if (int rc = documentum.getSQLUser(user); rc != 0) {
                EV_WARN(m_logger, "Failed to retrieve SQL Server user name with error [%d].", rc);
            } else if (int rc2 = documentum.getSQLUserPasswd(password); rc2 != 0) {
                EV_WARN(m_logger, "Failed to retrieve  SQL Server user password with error [%d].", rc2);
                user.clear();
            }
            EV_WARN(m_logger, "SQL user name  [%s].", user.c_str());
        }
    } else {
        ApplicationTypeSharePointV2Doc* type = m_applicationId.getApplicationType();
        if (int rc = type->getRemoteSQLSrvUserName(user); rc != 0) {
            EV_WARN(m_logger, "Failed to retrieve remote SQL Server user name with error [%d].", rc);
        } else if (int rc2 = type->getRemoteSQLSrvUserPassword(password); rc2 != 0) {
            EV_WARN(m_logger, "Failed to retrieve remote SQL Server user password with error [%d].", rc2);
            user.clear();
        }
    }
    EV_DEBUG(m_logger, 2, "User Name = [%s], type = [%lu]", user.c_str(), authType);
}

bool CSQLCommon::ReadInstanceName(MsSqlInstance& instance) {
    if (m_isRBSJob && m_isAGChild) {
        if (int rc = instance.getInstanceName(m_virtualInstanceName); rc != 0) {
            EV_WARN(m_logger, "AppManager failed to get virtual instance name. AppManager instanceprop lookup failed "
                              "for instanceId = [%" PRIu64 "] with error [%d].", m_instanceId, rc);
        } else {
            EV_DEBUG(m_logger, 1, "Virtual instance name is [%s].", m_virtualInstanceName.c_str());
        }
        MsSqlInstance* own = m_applicationId.getInstance();
        if (own == nullptr) {
            return FailNoInstance();
        }
        m_instanceId = own->getId();
    } else if (m_isRBSJob) {
        if (int rc = m_pSubclient->getSharepointContentDBServerName(m_sServername); rc != 0) {
            EV_ERROR(m_logger, "Failed to get retrieve SP Content DB Server Name with error code [%d]", rc);
        }
    } else if (m_isAGChild) {
        if (int rc = instance.getInstanceName(m_virtualInstanceName); rc != 0) {
            EV_WARN(m_logger, "AppManager failed to get virtual instance name. AppManager instanceprop lookup failed "
                              "for instanceId = [%" PRIu64 "] with error [%d].", m_instanceId, rc);
        } else {
            EV_DEBUG(m_logger, 1, "Virtual instance name is [%s].", m_virtualInstanceName.c_str());
            std::string name = m_virtualInstanceName;
            reformattingVirtualInstanceName(name);
        }
        if (!AskMasterForSqlServer(nullptr)) return false;
    } else if (int rc = instance.getInstanceName(m_sServername); rc != 0) {
        EV_ERROR(m_logger, "AppManager failed to get instance name. AppManager instanceprop lookup failed for "
                           "instanceId = [%" PRIu64 "] with error [%d].", m_instanceId, rc);
    }
    return true;
}

bool CSQLCommon::AskMasterForSqlServer(uint64_t* instanceId) {
    CWzError err = SendToMaster(m_pMasterConnection, SQLPmn::SQLAGSQLServerToUseForBackup());
    if (err.IsError()) {
        EV_ERROR(m_logger, "Failed to send request for SQL Server to use for backup to master process with error [%s].",
                 err.AsString().c_str());
        return FailAvailabilityGroup();
    }
    EV_DEBUG(m_logger, 1, "Sent request for SQL Server to use for backup to master process.");

    CNMessageBase* received = nullptr;
    bool timedOut = false;
    err = m_pMasterConnection->ReceiveXMLMessage(nullptr, received, nullptr, 0, kMasterTimeoutSeconds, timedOut);
    std::unique_ptr<CNMessageBase> reply(received);
    SQLPmn::SQLAGSQLServerToUseForBackup answer;
    if (err.IsSuccess() && answer.copyFrom(*reply) != 0) {
        err = FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "the master answered with message (%d, %d)",
                                        reply->getModule(), reply->getMessage());
    }
    if (err.IsError()) {
        EV_ERROR(m_logger, "Failed to receive SQL Server to use for backup from master process with error [%s].",
                 err.AsString().c_str());
        return FailAvailabilityGroup();
    }
    m_sServername = answer.getstring(SQLPmn::SQLAGSQLServerToUseForBackup::kServerName);
    EV_DEBUG(m_logger, 1, "Received SQL Server [%s] to use for backup from master process.", m_sServername.c_str());
    if (instanceId != nullptr) {
        *instanceId = static_cast<uint64_t>(answer.getint64(SQLPmn::SQLAGSQLServerToUseForBackup::kInstanceId));
    }
    return true;
}

bool CSQLCommon::ReadAvailabilityGroup() {
    uint64_t id = m_masterInstanceId;
    if (!m_isRBSJob) {
        MsSqlInstance* instance = m_applicationId.getInstance();
        id = instance != nullptr ? instance->getId() : 0;
    }
    std::string xml;
    if (int rc = MSSQLAGInstance(id).getAvailabilityGroup(xml); rc != 0) {
        EV_ERROR(m_logger, "Failed to fetch availabilty group properties of MSSQLAGInstance with error [%d].", rc);
        return FailAvailabilityGroup();
    }
    if (xml.empty()) {
        EV_ERROR(m_logger, "Empty availability group retrieved from MSSQLAGInstance.");
        return FailAvailabilityGroup();
    }
    EV_DEBUG(m_logger, 1, "Got availability group [%s]", xml.c_str());
    App::SQLAvailabilityGroup group;
    if (int rc = group.unserialize(xml); rc != 0) {
        EV_ERROR(m_logger, "Failed to unserialize message [%s] with error [%d].", xml.c_str(), rc);
        return FailAvailabilityGroup();
    }
    m_agName = group.getstring(App::SQLAvailabilityGroup::kName);
    return true;
}

bool CSQLCommon::FailWithCause(uint32_t cause) {
    m_pBkpJobClnt->setPendingCauseAndCriticalEvent(static_cast<int>(cause), 0, false, kPendingCauseEventType, false, 0,
                                                   0, 0, 0);
    return false;
}

bool CSQLCommon::FailNoInstance() {
    EV_ERROR(m_logger, "ApplicationId.getInstance() failed for appId[%" PRIu64 "] and jxcellid[%" PRIu64 "].",
             m_appNumber, m_jxCellId);
    AddApplicationArguments();
    return FailWithCause(kCauseNoInstance);
}

bool CSQLCommon::FailAvailabilityGroup() {
    AddApplicationArguments();
    return FailWithCause(kCauseInstanceId);
}

void CSQLCommon::AddApplicationArguments() {
    *m_pBkpJobClnt << static_cast<unsigned long>(m_appNumber) << static_cast<unsigned long>(m_jxCellId);
}

void CSQLCommon::doLoadBackupConfigs() {
    m_markSkippedItemFailed = m_genericOptions.isMarkSkippedItemFailed();
    JXPlatformInfo settings;
    int64_t value = 0;
    if (settings.getNumber(kAgentSection, "bSQLSetCWEOnSkippedCount", &value) != 0) {
        m_markSkippedItemFailed = value != 0;
    } else {
        EV_WARN_AT(m_logger, 2, "Failed to read registry key [bSQLSetCWEOnSkippedCount] with last error [%d].",
                   settings.getLastError());
    }
    EV_DEBUG(m_logger, 6, "Config to mark status failed for skipped database is [%s]",
             m_markSkippedItemFailed ? "SET" : "NOT SET");
}

int CSQLCommon::GetInitiatedFrom(uint64_t jobId, bool skip) {
    int result = 1;
    if (skip) return result;
    EvBkpTask task(jobId, 0, nullptr);
    switch (task.getInitiatedFrom()) {
        case 6: result = 2; break;
        case 2: result = 4; break;
        default: result = 1; break;
    }
    bool plugin = false;
    if (int rc = task.getOptionBool(kOptionPluginBackup, plugin); rc != 0) {
        EV_DEBUG(m_logger, 1, "Failed to get SQL plugin enabled backup option with erorr [%d].", rc);
    }
    if (plugin) result = 3;
    return result;
}

bool CSQLCommon::isSendOptionalHeaderEnabled() {
    int disable = 1;
    if (JXPlatformInfo().getNumber(kAgentSection, "disableOptionalHeader", &disable) == 0) {
        EV_DEBUG(m_logger, 5, "Disable Optional Header regkey not found.");
        // Without the key optional headers stay on.
        return true;
    }
    return disable != 1;
}

bool CSQLCommon::reformattingVirtualInstanceName(std::string& name) {
    size_t slash = name.find('/');
    if (slash == std::string::npos) {
        EV_WARN(m_logger, "Please make sure virtual instance Name in the format: (Listener Name)\\\\(AG Name).");
        return false;
    }
    size_t next = name.find('/', slash + 1);
    std::string group = name.substr(slash + 1, next == std::string::npos ? std::string::npos : next - slash - 1);
    m_virtualInstanceName = group + "/" + name.substr(0, slash);
    EV_DEBUG(m_logger, 1, "Reformatting virtual instance name to [%s].", m_virtualInstanceName.c_str());
    return true;
}
