// CSQLCommon: credential, instance, service, client and switch services.
#include <algorithm>
#include <cinttypes>
#include <ctime>

#include "EvTaskApiNet/EvRstTask.h"
#include "JXAppMgr/ApplicationId.h"
#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/IndexingVersion.h"
#include "JXAppMgr/JXClient.h"
#include "JxLib/CGuidFactory.h"
#include "JxLib/JXDate.h"
#include "JxLib/JXPIAgent.h"
#include "JxLib/JXPassword.h"
#include "JxLib/JXPlatformInfo.h"
#include "JxLib/JxProcess.h"
#include "JxSQLCommon/jobbase/CSQLCommon.h"
#include "JxSQLCommon/records/CompatFunctions.h"
#include "JxSQLCommon/records/SqlConvert.h"
#include "WzUtils/FXString.h"

namespace {

constexpr const char* kAgentSection = "MSSQLAgent";
constexpr const char* kDatabaseEngine = "DataBase Engine";
constexpr uint64_t kServiceRunning = 4;

// "MSSQLSERVER" style name of a service of the instance named in `instance`
// (host, optionally "/" and the instance name).
std::string ServiceNameOf(const std::string& instance, const char* defaultName, const char* prefix) {
    size_t slash = instance.find('/');
    std::string suffix = slash == std::string::npos ? std::string() : instance.substr(slash + 1);
    return suffix.empty() ? std::string(defaultName) : std::string(prefix) + "$" + suffix;
}

}  // namespace

// ---- Credentials --------------------------------------------------------------

void CSQLCommon::setUserName(const std::string& loginName) { parseUserName(loginName, m_domain, m_userName); }

void CSQLCommon::parseUserName(const std::string& loginName, std::wstring& domain, std::wstring& user) {
    if (loginName.find('@') != std::string::npos) {
        user = FXString::ToWstring(loginName);
        return;
    }
    size_t slash = loginName.find('/');
    if (slash != std::string::npos) {
        domain = FXString::ToWstring(loginName.substr(0, slash));
        user = FXString::ToWstring(loginName.substr(slash + 1));
        return;
    }
    domain = L".";
    user = FXString::ToWstring(loginName);
}

void CSQLCommon::setPassword(const std::string& encrypted) {
    if (encrypted.empty()) {
        EV_DEBUG(m_logger, 2, "EMPTY password..");
        m_password.clear();
        return;
    }
    wchar_t clear[512] = {};
    if (JXPassword::decrypt(encrypted, clear, 511) == 0) {
        EV_ERROR(m_logger, "Failed to decrypt the password");
        return;
    }
    m_password = clear;
    std::fill(std::begin(clear), std::end(clear), L'\0');
}

// ---- Running state and service names ------------------------------------------

bool CSQLCommon::isSqlServerRunning(std::string) {
    const std::string command = "systemctl status mssql-server";
    std::string output;
    std::string error;
    uint64_t state = kServiceRunning;
    int status = JxProcess::system(command, output, error, 0);
    if (status == 0 && output.find("running") != std::string::npos) {
        EV_DEBUG(m_logger, 1, "SQL Service status for [%s] [%" PRIu64 "]", command.c_str(), state);
        return true;
    }
    EV_ERROR(m_logger, "Failed to get SQL Service status for [%s]", command.c_str());
    return false;
}

bool CSQLCommon::getServiceName(const std::string& instanceName, std::string& serviceName) {
    serviceName = ServiceNameOf(instanceName.empty() ? m_sServername : instanceName, "MSSQLSERVER", "MSSQL");
    return true;
}

bool CSQLCommon::getAnalysisServiceName(const std::string& instanceName, std::string& serviceName) {
    serviceName =
        ServiceNameOf(instanceName.empty() ? m_sServername : instanceName, "MSSQLServerOLAPService", "MSOLAP");
    return true;
}

bool CSQLCommon::isSqlAnalysisServerRunning(const std::string& instanceName) {
    std::string serviceName;
    if (!getAnalysisServiceName(instanceName, serviceName)) {
        EV_ERROR(m_logger, "Failed to get SQL Service Name for SQL Server [%s]", m_sServername.c_str());
        return false;
    }
    uint64_t state = kServiceRunning;
    if (!getServiceStatus(serviceName.c_str(), state)) {
        EV_ERROR(m_logger, "Failed to get SQL Service status for [%s]", serviceName.c_str());
        return false;
    }
    EV_DEBUG(m_logger, 1, "SQL Service status for [%s] [%" PRIu64 "]", serviceName.c_str(), state);
    return state == kServiceRunning;
}

bool CSQLCommon::getServiceStatus(const char*, uint64_t&) { return true; }

// ---- Editions -------------------------------------------------------------------

bool CSQLCommon::EditionContains(const char* text) {
    m_sqlEdition = SqlConvert::ToLower(m_sqlEdition);
    return m_sqlEdition.find(text) != std::string::npos;
}

bool CSQLCommon::isSQLEnterpriseEdition() { return EditionContains("enterprise edition"); }

bool CSQLCommon::isSQLStandardEdition() { return EditionContains("standard edition"); }

bool CSQLCommon::isSQLBIEdition() { return EditionContains("business intelligence edition"); }

bool CSQLCommon::isSQLDeveloperEdition() { return EditionContains("developer"); }

bool CSQLCommon::isSQLDataCenterEdition() { return EditionContains("data center edition"); }

// ---- Instance, server type and client -------------------------------------------

std::string CSQLCommon::parseInstanceName(const std::string& name) {
    size_t at = name.find("Analysis Services");
    if (at == std::string::npos || at == 0) return name;
    return name.substr(0, at - 1);
}

std::string CSQLCommon::parseInstanceName(const char* name) {
    return parseInstanceName(std::string(name != nullptr ? name : ""));
}

std::string CSQLCommon::getServerTypeForBackup(uint64_t jxCellId, uint64_t appNumber) {
    std::string type = kDatabaseEngine;
    EV_DEBUG(m_logger, 1, " App ID [%" PRIu64 "] Jxcell Id [%" PRIu64 "]", appNumber, jxCellId);
    ApplicationId application(jxCellId, appNumber);
    MsSqlInstance* instance = application.getInstance();
    if (instance == nullptr) {
        EV_DEBUG(m_logger, 1, "ApplicationId.getInstance() failed for appId[%" PRIu64 "] and jxcellid[%" PRIu64 "].",
                 appNumber, jxCellId);
    } else {
        int code = 0;
        if (instance->getServerType(type, code) != 0) {
            EV_DEBUG(m_logger, 1, "AppManager failed to get server type for instance = %" PRIu64 " ", appNumber);
        }
        if (code == JXAPPMGR_PROP_NOT_SET) instance->setServerType(kDatabaseEngine);
    }
    EV_DEBUG(m_logger, 1, "Server type : [%s]", type.c_str());
    return type;
}

std::string CSQLCommon::getServerTypeForRestore(uint64_t jobId) {
    std::string type = kDatabaseEngine;
    EvRstTask task(jobId, 0, nullptr, false);
    EV_DEBUG(m_logger, 1, " Job ID [%" PRIu64 "]", jobId);
    uint64_t instanceId = 0;
    task.getInstanceId(instanceId);
    EV_DEBUG(m_logger, 1, " Instance ID [%" PRIu64 "]", instanceId);
    if (instanceId != 0) {
        int code = 0;
        MsSqlInstance(instanceId).getServerType(type, code);
    }
    EV_DEBUG(m_logger, 1, "Server type : [%s]", type.c_str());
    return type;
}

bool CSQLCommon::isClientAlsoJxServer() { return !JXPI_JxServer().invalidJXPlatform(); }

bool CSQLCommon::isJxServerInstance(const std::string& instanceName) {
    size_t slash = instanceName.find('/');
    if (slash == std::string::npos) return false;
    const char* suffix = instanceName.c_str() + slash + 1;
    return _stricmp(suffix, "VELTRASSADRAVENT") == 0 || _stricmp(suffix, "VELTRASSAORVANE") == 0;
}

bool CSQLCommon::getClientInfo(uint64_t& clientId, std::string& hostName) {
    std::string clientName;
    JXPI_JxClient platform;
    platform.getClientName(clientName);
    JXClient client(clientName);
    if (int rc = client.getClientId(clientId); rc != 0) {
        EV_ERROR(m_logger, "Failed to get client id from name '%s' - %d", clientName.c_str(), rc);
        clientId = 0;
        return false;
    }
    if (client.getNetworkHostnameMangled(hostName) != 0) {
        EV_ERROR(m_logger, "Failed to get getNetworkHostnameMangled");
        clientId = 0;
        return false;
    }
    return true;
}

bool CSQLCommon::getMangledClientName(std::string& hostName, uint64_t clientId) {
    if (JXClient(clientId).getNetworkHostnameMangled(hostName) != 0) {
        EV_ERROR(m_logger, "Failed to get mangled network hostname for clientId = %" PRIu64, clientId);
        return false;
    }
    return true;
}

bool CSQLCommon::getSubclientType(eSubClientTypes& type) {
    if (m_pSubclient == nullptr) return false;
    unsigned int value = 0;
    if (int rc = m_pSubclient->getSQLSpecialSubclientType(value); rc != 0) {
        EV_ERROR(m_logger, "Failed to get subclient type with error code [%u]", static_cast<unsigned>(rc));
        return false;
    }
    type = static_cast<eSubClientTypes>(value);
    if (value < 1 || value > 4) {
        EV_WARN(m_logger, "Invalid value returned for the subclient type [%u].", value);
        return false;
    }
    EV_DEBUG(m_logger, 1, "SubclientType [%u]", value);
    return true;
}

bool CSQLCommon::GetUserNameInCurrentThread(std::string&) { return false; }

void CSQLCommon::displayError() {}

// ---- Switches and versions ------------------------------------------------------

bool CSQLCommon::IsKeepStagedFilesSet() {
    JXPlatformInfo settings;
    int64_t value = 0;
    if (!settings.getNumber(kAgentSection, "bKEEPSTAGEDFILES", &value)) {
        EV_DEBUG(m_logger, 3, "bKeepStagedFiles key not present");
        return false;
    }
    EV_DEBUG(m_logger, 3, "bKeepStagedFiles key  present");
    return value != 0;
}

bool CSQLCommon::isSkipSharepointContentDB() {
    JXPlatformInfo settings;
    int64_t value = 0;
    if (!settings.getNumber(kAgentSection, "nSkipSpDb", &value)) {
        EV_DEBUG(m_logger, 1,
                 "Register key [nSkipRBSdb] NOT found, by default, skipping sharepoint content database.");
        return true;
    }
    EV_DEBUG(m_logger, 1, "Skipping of Sharepoint databases are [%s].", value != 0 ? "Enabled" : "disabled");
    return value != 0;
}

bool CSQLCommon::IsTransportableSnapshotEligible() {
    EV_DEBUG(m_logger, 1, "Machine is eligible for transportable snapshots.");
    return true;
}

int CSQLCommon::GetIndexingVersion(uint64_t entityId, uint64_t entityType) {
    bool useV2 = false;
    if (shouldUseIndexingV2(entityId, static_cast<int>(entityType), useV2) != 0) {
        EV_WARN(m_logger, "Unable to fetch the index version. will default to v1.");
        useV2 = false;
    }
    EV_DEBUG(m_logger, 1, "Using indexing version [%d].", useV2 ? 2 : 1);
    return useV2 ? 2 : 1;
}

int CSQLCommon::GetClientIndexingVersion(uint64_t clientId, uint64_t timeSeconds) {
    EV_DEBUG(m_logger, 3, "Get the indexing version property for client [%" PRIu64 "] at given time [%" PRIu64 "].",
             clientId, timeSeconds);
    ClientProperties properties(clientId);
    properties.setRefTime(JXDate(timeSeconds == 0 ? std::time(nullptr) : static_cast<time_t>(timeSeconds)));
    bool useV2 = false;
    if (int rc = properties.getUseIndexingV2ForMSSQL(useV2); rc != 0) {
        EV_ERROR(m_logger, "Failed to get indexing property for SQL instance with error [%d]", rc);
        return 0;
    }
    return useV2 ? 2 : 1;
}

std::string CSQLCommon::getGUID() { return CGuidFactory::get_guid_nosalt(""); }

