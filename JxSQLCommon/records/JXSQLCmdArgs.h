// JXSQLCmdArgs: the parsed command-line values of the agent's backup and
// restore tools, one setter per option and three validity tests.
//
// Which option letter feeds which setter is the tools' choice. Every setter
// that refuses its input returns false and changes nothing; a value that a
// setter accepts raises that value's "set" flag.
#pragma once

#include <cstdint>
#include <string>

class JXSQLCmdArgs {
public:
    // Backup levels.
    static constexpr int kFull = 1;
    static constexpr int kLog = 2;
    static constexpr int kDifferential = 3;

    JXSQLCmdArgs() { setDatabaseBackupOn(); }

    bool setJobId(const std::string& text);  // non-empty; atol
    bool setJobId(unsigned long long jobId);  // nonzero
    bool setJobToken(const std::string& token);  // non-empty
    void setCommandLine(const std::string& line);  // stored followed by " -O "
    // "first:second" in decimal; false without ':' or with nothing after it.
    bool setApplicationNumber(const std::string& text);
    bool setApplicationNumber(unsigned long first, unsigned long second);  // both nonzero
    bool setPercentage(const std::string& text);  // non-empty; atoi
    bool setVirtualMachine(const std::string& name);  // non-empty
    bool setClientMachine(const std::string& name);  // non-empty
    // "full", "log" or "diff" in any case; raises the interactive flag only.
    bool setBackupTypeInteractive(const std::string& type);
    // First character 'D' (full), 'L' (log) or 'I' (differential), exact case.
    bool setBackupType(const std::string& type);
    bool setSqlServerInstance(const std::string& instance);  // non-empty
    bool setSqlDatabaseName(const std::string& database);  // non-empty
    bool setBackupDescription(const std::string& description);  // anything; always true
    bool setRestoreTaskId(const std::string& text);  // non-empty; strtoul base 10
    void setDatabaseBackupOn() { m_databaseBackupOn = true; }
    // Keeps the current level as the saved one and makes the backup a full one.
    void databaseBackupTypeOverride();

    // A scheduled backup: no restore task, and job id, application number,
    // backup type and virtual machine set.
    bool validateBackupOptions() const;
    // An interactive backup: no restore task, and interactive backup type,
    // database, instance and virtual machine set.
    bool validateInteractiveBackupOptions() const;
    // A restore: job id, restore task id and virtual machine set, and none of
    // the backup values set.
    bool validateRestoreOptions() const;

    const std::string& commandLine() const { return m_commandLine; }
    bool databaseBackupOn() const { return m_databaseBackupOn; }
    uint64_t jobId() const { return m_jobId; }
    const std::string& jobToken() const { return m_jobToken; }
    uint64_t applicationNumberFirst() const { return m_applicationNumberFirst; }
    uint64_t applicationNumberSecond() const { return m_applicationNumberSecond; }
    int percentage() const { return m_percentage; }
    int backupType() const { return m_backupType; }
    int savedBackupType() const { return m_savedBackupType; }
    bool backupTypeOverridden() const { return m_backupTypeOverridden; }
    const std::string& backupDescription() const { return m_description; }
    const std::string& virtualMachine() const { return m_virtualMachine; }
    const std::string& clientMachine() const { return m_clientMachine; }
    const std::string& sqlServerInstance() const { return m_instance; }
    const std::string& sqlDatabaseName() const { return m_database; }
    uint64_t restoreTaskId() const { return m_restoreTaskId; }

private:
    std::string m_commandLine;
    bool m_databaseBackupOn = false;
    bool m_jobIdSet = false;
    uint64_t m_jobId = 0;
    std::string m_jobToken;
    bool m_applicationNumberSet = false;
    uint64_t m_applicationNumberSecond = 0;
    uint64_t m_applicationNumberFirst = 0;
    bool m_percentageSet = false;
    int m_percentage = 0;
    bool m_backupTypeSet = false;
    bool m_backupTypeOverridden = false;
    int m_backupType = 0;
    int m_savedBackupType = 0;
    bool m_descriptionSet = false;
    std::string m_description;
    // Two values of the tools' own, never set here; a restore must have neither.
    bool m_toolFlag1 = false;
    bool m_toolFlag2 = false;
    std::string m_virtualMachine;
    bool m_virtualMachineSet = false;
    std::string m_clientMachine;
    bool m_clientMachineSet = false;
    bool m_interactiveBackupTypeSet = false;
    std::string m_instance;
    bool m_instanceSet = false;
    std::string m_database;
    bool m_databaseSet = false;
    uint64_t m_restoreTaskId = 0;
    bool m_restoreTaskIdSet = false;
};
