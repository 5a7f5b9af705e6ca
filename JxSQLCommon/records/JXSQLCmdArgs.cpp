// JXSQLCmdArgs: the parsed command-line values of the agent's tools.
#include "JxSQLCommon/records/JXSQLCmdArgs.h"

#include <strings.h>

#include <cstdlib>

bool JXSQLCmdArgs::setJobId(const std::string& text) {
    if (text.empty()) return false;
    m_jobId = static_cast<uint64_t>(std::atol(text.c_str()));
    m_jobIdSet = true;
    return true;
}

bool JXSQLCmdArgs::setJobId(unsigned long long jobId) {
    if (jobId == 0) return false;
    m_jobId = jobId;
    m_jobIdSet = true;
    return true;
}

bool JXSQLCmdArgs::setJobToken(const std::string& token) {
    if (token.empty()) return false;
    m_jobToken = token;
    return true;
}

void JXSQLCmdArgs::setCommandLine(const std::string& line) { m_commandLine = line + " -O "; }

bool JXSQLCmdArgs::setApplicationNumber(const std::string& text) {
    const std::string::size_type colon = text.find(':');
    if (colon == std::string::npos || colon + 1 == text.size()) return false;
    m_applicationNumberFirst = std::strtoul(text.substr(0, colon).c_str(), nullptr, 10);
    m_applicationNumberSecond = std::strtoul(text.c_str() + colon + 1, nullptr, 10);
    m_applicationNumberSet = true;
    return true;
}

bool JXSQLCmdArgs::setApplicationNumber(unsigned long first, unsigned long second) {
    if (first == 0 || second == 0) return false;
    m_applicationNumberFirst = first;
    m_applicationNumberSecond = second;
    m_applicationNumberSet = true;
    return true;
}

bool JXSQLCmdArgs::setPercentage(const std::string& text) {
    if (text.empty()) return false;
    m_percentage = std::atoi(text.c_str());
    m_percentageSet = true;
    return true;
}

bool JXSQLCmdArgs::setVirtualMachine(const std::string& name) {
    if (name.empty()) return false;
    m_virtualMachine = name;
    m_virtualMachineSet = true;
    return true;
}

bool JXSQLCmdArgs::setClientMachine(const std::string& name) {
    if (name.empty()) return false;
    m_clientMachine = name;
    m_clientMachineSet = true;
    return true;
}

bool JXSQLCmdArgs::setBackupTypeInteractive(const std::string& type) {
    int level = 0;
    if (strcasecmp(type.c_str(), "full") == 0) level = kFull;
    else if (strcasecmp(type.c_str(), "log") == 0) level = kLog;
    else if (strcasecmp(type.c_str(), "diff") == 0) level = kDifferential;
    else return false;
    m_backupType = level;
    m_interactiveBackupTypeSet = true;
    return true;
}

bool JXSQLCmdArgs::setBackupType(const std::string& type) {
    if (type.empty()) return false;
    switch (type[0]) {
        case 'D': m_backupType = kFull; break;
        case 'L': m_backupType = kLog; break;
        case 'I': m_backupType = kDifferential; break;
        default: return false;
    }
    m_backupTypeSet = true;
    return true;
}

bool JXSQLCmdArgs::setSqlServerInstance(const std::string& instance) {
    if (instance.empty()) return false;
    m_instance = instance;
    m_instanceSet = true;
    return true;
}

bool JXSQLCmdArgs::setSqlDatabaseName(const std::string& database) {
    if (database.empty()) return false;
    m_database = database;
    m_databaseSet = true;
    return true;
}

bool JXSQLCmdArgs::setBackupDescription(const std::string& description) {
    m_description = description;
    m_descriptionSet = true;
    return true;
}

bool JXSQLCmdArgs::setRestoreTaskId(const std::string& text) {
    if (text.empty()) return false;
    m_restoreTaskId = std::strtoul(text.c_str(), nullptr, 10);
    m_restoreTaskIdSet = true;
    return true;
}

void JXSQLCmdArgs::databaseBackupTypeOverride() {
    m_savedBackupType = m_backupType;
    m_backupType = kFull;
    m_backupTypeOverridden = true;
}

bool JXSQLCmdArgs::validateBackupOptions() const {
    return !m_restoreTaskIdSet && m_jobIdSet && m_applicationNumberSet && m_backupTypeSet && m_virtualMachineSet;
}

bool JXSQLCmdArgs::validateInteractiveBackupOptions() const {
    return !m_restoreTaskIdSet && m_interactiveBackupTypeSet && m_databaseSet && m_instanceSet &&
           m_virtualMachineSet;
}

bool JXSQLCmdArgs::validateRestoreOptions() const {
    const bool anyBackupValue = m_applicationNumberSet || m_backupTypeSet || m_percentageSet || m_descriptionSet ||
                                m_toolFlag1 || m_toolFlag2 || m_interactiveBackupTypeSet || m_instanceSet ||
                                m_databaseSet;
    return !anyBackupValue && m_jobIdSet && m_restoreTaskIdSet && m_virtualMachineSet;
}
