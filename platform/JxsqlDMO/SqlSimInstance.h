// SqlSimInstance: one simulated SQL Server instance and its setup API.
//
// The instance is a catalogue (an SQLite file, see SqlSimInstanceName for
// where) holding the server, its databases with their file groups and files,
// logins with their server roles, availability groups with their replicas,
// and the backup history that msdb would keep. The database files are real
// files at the physical paths the catalogue names.
//
// Tests, tools and the demo build instances through this API (or through a
// description, SqlSimDescription.h) and never write catalogue SQL. Every name
// is bound as a parameter, so names like a'b] are stored as they are.
// Database, file group, logical file, login and group names compare without
// regard to case, as with SQL Server's default collation.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "JxsqlDMO/SimSqlDb.h"
#include "JxsqlDMO/SqlDbState.h"
#include "JxsqlDMO/SqlSimInstanceName.h"
#include "WzUtils/CWzError.h"

struct SqlSimServerSpec {
    std::string name;  // "HOST" or "HOST/INSTANCE"
    std::string version = "15.0.4153.1";
    bool clustered = false;
    bool running = true;
    // Whether a login without a user name (the agent's own operating-system
    // account) is accepted, with the sysadmin role.
    bool integratedLogin = true;
};

struct SqlSimDatabaseSpec {
    std::string name;
    int state = SQLDB_STATE_ONLINE;
    std::string recoveryModel = "FULL";  // FULL, BULK_LOGGED or SIMPLE
    bool readOnly = false;
    std::string userAccess = "MULTI_USER";  // MULTI_USER, SINGLE_USER or RESTRICTED_USER
    int64_t creationTime = 0;               // seconds since 1970; 0 = now
    uint64_t dataSize = 64 * 1024;          // primary data file
    uint64_t logSize = 16 * 1024;           // log file
};

// A further file of a database. An empty file group makes a log file.
struct SqlSimFileSpec {
    std::string database;
    std::string fileGroup;
    std::string logicalName;
    // Relative to the instance's data directory; empty = derived from the
    // logical name.
    std::string physicalName;
    uint64_t size = 64 * 1024;
};

struct SqlSimLoginSpec {
    std::string name;
    std::string password;
    std::vector<std::string> roles;  // server roles, e.g. "sysadmin"
    bool disabled = false;
};

struct SqlSimAvailabilityGroupSpec {
    std::string name;
    std::string guid;                            // empty = derived from the name
    std::string backupPreference = "SECONDARY";  // PRIMARY, SECONDARY, SECONDARY_ONLY, NONE
};

struct SqlSimReplicaSpec {
    std::string group;
    std::string serverName;  // instance name of the replica; this instance is the local one
    std::string role = "SECONDARY";                    // PRIMARY or SECONDARY
    std::string availabilityMode = "SYNCHRONOUS_COMMIT";  // or ASYNCHRONOUS_COMMIT
    std::string failoverMode = "AUTOMATIC";               // or MANUAL
    int backupPriority = 50;
    std::string endpointUrl;  // empty = derived from the server name
};

// One backup set of the msdb-like history.
struct SqlSimBackupSpec {
    std::string database;
    char type = 'D';  // 'D' full, 'I' differential, 'L' log; 'F', 'G' file, 'P', 'Q' partial
    uint64_t firstLsn = 0;
    uint64_t lastLsn = 0;
    uint64_t checkpointLsn = 0;
    uint64_t databaseBackupLsn = 0;  // the full backup a differential or log builds on
    int64_t startTime = 0;           // seconds since 1970
    int64_t finishTime = 0;
    bool copyOnly = false;
    std::string device;
};

class SqlSimInstance {
public:
    // Largest file the setup API writes: descriptions come from outside.
    static constexpr uint64_t kMaxFileSize = 256ull * 1024 * 1024;

    SqlSimInstance() = default;
    SqlSimInstance(const SqlSimInstance&) = delete;
    SqlSimInstance& operator=(const SqlSimInstance&) = delete;

    // Makes a new instance with its system databases (master 1, tempdb 2,
    // model 3, msdb 4); fails when it exists already.
    CWzError Create(const SqlSimServerSpec& desc);
    // Opens an existing instance; an unknown one is an error.
    CWzError Open(const std::string& name);
    // Full names of every instance on this machine, sorted; catalogues that
    // cannot be read are left out.
    static std::vector<std::string> ListInstances();

    const std::string& Name() const { return m_name; }
    // Whether the service ran when Open read the catalogue.
    bool RunningWhenOpened() const { return m_runningWhenOpened; }
    const SqlSimInstanceName& Location() const { return m_location; }
    SimSqlDb& Db() { return m_db; }

    CWzError SetServiceRunning(bool running);

    // A database with its PRIMARY file group, primary data file "<name>" and
    // log file "<name>_log"; ids count from 5. `id` may be null.
    CWzError AddDatabase(const SqlSimDatabaseSpec& desc, int64_t* id = nullptr);
    CWzError AddFileGroup(const std::string& database, const std::string& group);
    // A file of an existing database; a data file added after the database's
    // first full backup is logged as SqlSimChanges::LogAddedFile says.
    CWzError AddFile(const SqlSimFileSpec& desc);
    CWzError SetDatabaseState(const std::string& database, int state);

    CWzError AddLogin(const SqlSimLoginSpec& desc);

    CWzError AddAvailabilityGroup(const SqlSimAvailabilityGroupSpec& desc);
    CWzError AddReplica(const SqlSimReplicaSpec& desc);
    CWzError JoinAvailabilityGroup(const std::string& group, const std::string& database,
                                   const std::string& syncState = "SYNCHRONIZED");

    // The row also keeps the database's recovery path (SqlSimRecoveryPath.h).
    CWzError AddBackupHistory(const SqlSimBackupSpec& desc, int64_t* id = nullptr);

    // The id of a database by name; an unknown name is an error.
    CWzError DatabaseId(const std::string& database, int64_t& id);

private:
    // Runs `body` in one catalogue transaction; when it fails the rows are
    // rolled back and the database files it wrote are removed.
    CWzError InTransaction(const std::function<CWzError()>& body);
    CWzError AddFileRow(int64_t databaseId, int64_t fileGroupId, int type, const std::string& logicalName,
                        const std::string& physicalName, uint64_t size);
    CWzError FileGroupId(int64_t databaseId, const std::string& group, int64_t& id);

    SqlSimInstanceName m_location;
    std::string m_name;
    bool m_runningWhenOpened = false;
    SimSqlDb m_db;
    std::vector<std::string> m_newFiles;  // written by the running transaction
};
