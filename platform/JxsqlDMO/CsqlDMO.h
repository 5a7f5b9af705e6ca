// CsqlDMO: the SQL Server management layer, answering from the simulated
// instances (SqlSimInstance).
//
// An object lives for one request or one job step. Queries name their
// instance ("HOST" or "HOST/INSTANCE") and return true on success, filling
// the caller's out-parameters; on failure getErrorString() tells why. A query
// needs the instance's service to be running, except the instance list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxSQLCommon/records/SqlAutoDiscoveryRecords.h"
#include "JxSQLCommon/records/SqlStepRestoreRecords.h"
#include "JxsqlDMO/SqlDmoTypes.h"

class CNMessageBase;
struct SQLLogMarkUpdateReq_t;

class SqlSimDatabaseHold;
class SqlSimInstance;

class CsqlDMO {
public:
    CsqlDMO();
    virtual ~CsqlDMO();
    CsqlDMO(const CsqlDMO&) = delete;
    CsqlDMO& operator=(const CsqlDMO&) = delete;

    // ---- Connection, catalogue, history and availability groups (CsqlDMO.cpp) ----
    // The backup domain's id of the instance the next queries are about
    // (0 when the request names none); only logged.
    void setInstanceId(unsigned long id) { m_instanceId = id; }
    // The SQL login that initialize() connects with; with no user name the
    // agent's own account is used.
    void setUserName(const std::string& user) { m_userName = user; }
    void setPassword(const std::string& password) { m_password = password; }

    // Connects to the instance: true when it exists, runs and accepts the
    // login set above.
    bool initialize(const std::string& instanceName, bool = false);

    // The instances of a host (every instance of this machine whose host part
    // is `host`, without regard to case; all of them when `host` is empty).
    bool getSQLServerInfo(const std::string& host, SQLServerInfo_t& info);

    // True when the login is accepted and holds the sysadmin server role; an
    // empty user name stands for the agent's own account.
    bool verifyUser(const std::string& user, const std::string& password, const std::string& instance);

    // Every database but tempdb, by id.
    bool getDatabases_11(const std::string& instance, DatabaseInfo_11_t& info);
    bool getDatabases(const std::string& instance, DatabaseInfo_t& info);

    // The file groups of a database and their data files. The database is
    // found by name, or by id (`number`) when the name is empty.
    bool getDatabaseContents(const std::string& instance, int number, const std::string& database,
                             DatabaseContents_t& contents);

    // The state code (SqlDbState) and its text.
    bool getDatabaseStatus(const std::string& instance, const std::string& database, int& state,
                           std::string& text);

    // The backups that restore `database` to the time `pointInTime`
    // (seconds since 1970; 0 = the latest): its newest full backup, the
    // newest differential on that full, then the unbroken chain of log
    // backups after them. Copy-only backups take no part. The reply's arrays
    // and texts come from the record allocators (WzUtils/WzRecordMemory.h),
    // so the reply's codec frees them; on failure they stay empty and
    // `failed` and `errorMessage` are set.
    bool getStepRestoreList(const std::string& instance, const std::string& database, uint64_t pointInTime,
                            SQLStepRestoreListRsp_t& reply);

    // Removes the listed backup sets from the instance's backup history; ids
    // that are not there are ignored.
    bool pruneMSDBEntries(const InstanceNameAndBackupSetIds& sets);

    // Availability groups as XML documents (SqlAGDocuments.h): every group
    // of the instance; one group; its databases on this instance; the group
    // with its replicas. A failure leaves `xml` empty.
    bool GetAvailabilityGroups(const std::wstring& instance, std::string& xml);
    bool GetAG(const std::wstring& instance, const std::string& group, std::string& xml);
    bool GetAvailabilityDatabases(const std::wstring& instance, const std::string& group, std::string& xml);
    bool GetAvailabilityGroupReplicas(const std::wstring& instance, const std::string& group, std::string& xml);

    // The text of the last failure.
    std::wstring getErrorString() const;

    // ---- Instance version, cluster and database ids (CsqlDMOVersion.cpp) ----
    // The instance's version text ("15.0.4123.1"), its product level
    // ("RTM") and its edition ("Developer Edition (64-bit)").
    bool getInstanceVersion(const std::string& instance, std::string& version, std::string& productLevel,
                            std::string& edition);
    // The leading number of the version text; 0 when the instance cannot be
    // reached or its version does not start with a number.
    int getInstanceMajorVersion(const std::string& instance);
    // Whether a clustered instance of this machine has the instance part
    // `instancePart` ("INST1", or "MSSQLSERVER" for a default instance); its
    // cluster (virtual server) name goes to `clusterName`.
    bool isSqlInstanceClustered(const std::string& instancePart, std::string& clusterName, int majorVersion);
    // The database's id; false when it does not exist.
    bool getDatabaseId(const std::string& instance, const std::string& database, unsigned long& id);

    // ---- Log shrink (CsqlDMOShrink.cpp) ----
    // Conditions that guard a log shrink. Each answers the condition; when
    // it cannot be read the answer is false and `*failed` (when given) is
    // set, so a caller can tell "no" from "could not ask".
    // isRecoveryModelSimple asks the instance of the last initialize().
    bool isRecoveryModelSimple(const std::string& database, bool* failed = nullptr);
    bool isReadOnly(const std::string& instance, const std::string& database, bool* failed = nullptr);
    bool isThereAnyOpenTransaction(const std::string& instance, const std::string& database,
                                   bool* failed = nullptr);
    // The log-space report of every database (SqlLogSpaceReport.h).
    bool getLogSpaceReport(const std::string& instance, CNMessageBase& report);
    // Shrinks the database's log to the part in use.
    bool RunShrinkDatabaseQuery(const std::string& instance, const std::string& database);

    // ---- Database discovery (CsqlDMODiscovery.cpp) ----
    // The instance's databases as an auto-discovery list, in id order,
    // without those that `exclusion` names (a list of N'name' texts, e.g.
    // "N'tempdb'"). The names and the array come from the record allocators
    // (WzUtils/WzRecordMemory.h): the request's codec frees them. On failure
    // the list stays empty.
    bool getDatabases(const std::string& instance, SQLAutoDiscoverReq_t& list, const std::string& exclusion);
    // The same for one SQL subclient type; the simulated instance keeps no
    // per-type catalogue, so every type lists every database.
    bool getDatabasebyType(const std::string& instance, SQLAutoDiscoverReq_t& list, const std::string& exclusion,
                           unsigned int subclientType);
    // The database's creation time (seconds since 1970); false when it does
    // not exist.
    bool getDatabaseCreationTime(const std::string& instance, const std::string& database, unsigned long& time);
    // The availability group of a database of the instance last connected
    // (empty when it has none); false when no instance is connected or the
    // database does not exist.
    bool GetAvailabiiltyGroupForDB(const std::string& database, std::string& group);

    // ---- Log marks (CsqlDMOLogMarks.cpp) ----
    // The log marks of `database` whose value is above `lastMarkValue`, in
    // value order, into `request`'s count and marks (the array and its texts
    // from the record allocators; the request's codec frees them).
    // `lastMarkText` names the last mark the caller knows ("0" for none) and
    // is only logged.
    bool getLogMarkInfo(std::string instance, std::string database, long lastMarkValue, std::string lastMarkText,
                        SQLLogMarkUpdateReq_t& request);

    // ---- Database attach (CsqlDMOAttach.cpp) ----
    // Attaches the database an attach description names to `instanceName`.
    // The description is text, one item a line: the database name, then the
    // absolute paths of its existing files, the primary data file first; a
    // path ending in ".ldf" is a log file. False with `errorText` filled when
    // the instance cannot be reached, the description is malformed, a file
    // is missing or the name is taken.
    // The description may also be a serialised attach entry (message class
    // 34/20: field 1 the name, field 3 the file paths).
    bool AttachDatabase(std::string instanceName, std::string attachInfo, std::string& errorText);
    // The physical paths of a database's files, in file order (the primary
    // data file first); false with `errorText` filled when the instance or
    // the database cannot be found.
    bool getDatabaseFilePaths(const std::string& instance, const std::string& database,
                              std::vector<std::string>& paths, std::string& errorText);

    // ---- Attach requests of mounts and clones (CsqlDMOAttachRequest.cpp) ----
    // `xml` is a serialised SQLPmn::AttachDBMsg: field 1 the instance, field 2
    // the databases (name to attach under, files). Both work on the instance
    // of the last initialize(), else on the request's instance; a request
    // naming another instance than the connected one is refused.
    // Attaches every database of the request, or none: when one fails, those
    // attached before it are detached again. False with `errorText` filled.
    bool AttachDatabases(const std::string& xml, std::string& errorText);
    // Detaches every database the request names (one that is not there is
    // nothing to detach). False with `errorText` filled at the first failure.
    bool DetachDB(const std::string& xml, std::string& errorText);

    // ---- Snapshot backups and their check (CsqlDMOSnapshot.cpp) ----
    // The backup metadata (SQLPmn::SQLDBBackupMetadata XML) of the newest
    // backup-history row of `database` with history letter `type`, with the
    // database's files, from the instance of the last initialize().
    bool updateBackupSetInfo_10(const std::wstring& database, std::string& xml, char type);
    // Removes the database from the instance's catalogue; its files stay. A
    // database that is not there is nothing to detach; a system database, or
    // one that a backup or restore statement holds (SQL Server's 3703), is
    // refused (false with `errorText` filled, as for any failure).
    bool DetachDB(const std::string& instance, const std::string& database, std::string& errorText);
    // The consistency check of a database of the instance last connected by
    // initialize, AttachDatabase or DetachDB: every file must be readable
    // and as large as recorded, and a data file holds whole 8 KB pages.
    bool runDBCCCheck(const std::string& database, std::string& errorText);

    // ---- Questions of the backup job (CsqlDMOBackupQueries.cpp) ------------
    // Each asks the instance of the last initialize() unless it names one.
    // When a question cannot be answered the answer is false and `*failed`
    // (when given) is set, so a caller can tell "no" from "could not ask".
    bool isDatabaseExists(const std::string& database, bool* failed = nullptr);
    bool isDatabaseOffline(const std::string& instance, const std::string& database, bool* failed = nullptr);
    bool isDatabaseInSingleUserMode(const std::string& database, bool* failed = nullptr);
    bool isDatabaseConfiguredForLogShipping(const std::string& instance, const std::string& database,
                                            bool* failed = nullptr);
    // True for a SharePoint content database, with its SharePoint version.
    bool isSharepointContentDB(const std::string& database, int& version);
    bool isDBInFullRecoveryModel(const std::string& database, bool* failed = nullptr);
    // A database in FULL recovery that has had no full backup yet: SQL
    // Server truncates its log as in SIMPLE recovery until it has one.
    bool isPseudoSimpleDB(uint64_t databaseId, bool* failed = nullptr);
    // Whether the database belongs to an availability group (its name in `group`).
    bool isDatabaseInAvailableGroup(const std::string& database, std::string& group, bool* failed = nullptr);
    // Whether this instance is a secondary replica of the group.
    bool isSecondaryReplica(const std::string& instance, const std::string& group);
    // Whether this instance is the replica the group prefers for backups of
    // the database: the readable replica (by the group's preference) with
    // the highest backup priority.
    bool isBackupPreferredReplica(const std::string& database);
    // The instance's logins and their server roles, one "login:role,role" a line.
    bool getACLInfo(const std::string& instance, std::string& text);
    // Whether the database keeps blobs in a remote blob store, and its path.
    bool getDatabaseRBSStatus(const std::string& database, bool& enabled, std::string& blobPath);
    // Closes the connection of the last initialize().
    void releaseSqlConnection();
    // Whether the database's recovery model changed since its last full or
    // differential backup (the log chain then needs a full backup first).
    bool hasRecoveryModelChanged(const std::string& database, bool* failed = nullptr);

    // ---- Database user access (CsqlDMOUserAccess.cpp) ----------------------
    // Whether the database is in SINGLE_USER access; false when it cannot be
    // asked (getErrorString() tells why).
    bool isDatabaseInSingleUserMode(const std::string& instance, const std::string& database, bool& singleUser);

    // ---- Restore history (CsqlDMORestoreHistory.cpp) -----------------------
    // The point the last restore of the database brought it to (seconds
    // since 1970), from the instance's restore history, which the engine's
    // restores write: where that restore stopped inside the set it read, or
    // the finish time of that set. Where the point is not known (a set the
    // instance's backup history does not hold, a history row written before
    // the point was kept) the time that restore ran. The time-zone switch is
    // accepted and not needed: times are UTC. False when the database has no
    // restore in its history.
    bool getLastDatabaseRestoreTime(const std::string& instance, const std::string& database, uint64_t nzdstHandling,
                                    unsigned long& time);
    // The last restore of `database` on the instance of the last
    // initialize() as SQLPmn::DBLastRestoreInfo text: the restored backup's
    // type letter (field 2), its first (4) and last LSN (5). False when the
    // database has no restore in its history (CsqlDMOLastRestoreInfo.cpp).
    bool getDBLastRestoreInfo(const std::wstring& database, uint64_t nzdstHandling, std::string& xml);

    // ---- Archiving and active-source views (CsqlDMOArchive.cpp) ----
    // True when the instance runs and `database` is ONLINE.
    bool isDatabaseOnline(const std::string& instanceName, const std::string& databaseName);
    // Whether rows of `databaseName` on the connected instance (initialize
    // first) qualify for archiving. `condition` names the table the archive
    // reads ("schema.table", or "table" in dbo); true with the number of its
    // qualifying rows in `result` when there are any.
    bool CheckIfRowsToArchive(const std::string& databaseName, const std::string& condition, std::string& result);
    // Creates or replaces, on the connected instance, the active-source view
    // "JX_SV_<table name>" in `viewSchema` (the table's schema when empty) of
    // `database`, showing the rows of `tableName` ("schema.table" or "table")
    // whose `column` is below `cutoff`. The database must be ONLINE and the
    // table exist.
    bool CreateSourceView(const std::string& database, const std::string& column, const std::string& cutoff,
                          const std::string& viewSchema, const std::string& tableName);

    // ---- Database status (CsqlDMOStatus.cpp) ----
    // Puts the database into the state whose SqlDbState code is `operation`
    // (1 ONLINE, 0x80 OFFLINE, ...); any other number fails.
    bool updateDatabaseStatus(std::wstring instanceName, std::string databaseName, int operation);

    // ---- Log staging of an availability group (JxSQLVDIBase/CsqlDMOLogStaging.cpp) ----
    // Defined beside the virtual-device engine, which takes the log backups:
    // a caller links both libraries, as the system library does.
    // Stages a transaction-log backup of each database of availability group
    // `group` on this instance into the staging folder (setting
    // "SqlAGLogBackupStageFolder" of section "MSSQLAgent", then "/" and the
    // group's subfolder), as dumps the group's log job takes. A database
    // whose backup fails does not keep the others from being staged. On
    // failure (no such setting, no such group, a log backup that failed)
    // `errorText` gets the reason; a failed connection leaves it
    // (getErrorString() tells why). The ids, texts and numbers after `group`
    // only go to the log.
    bool AGTLBackupStaging(const std::string& instanceName, const std::string& group, unsigned long instanceId,
                           unsigned long clientId, const std::string& instanceDetail1,
                           const std::string& instanceDetail2, uint64_t genericOptions, uint64_t instanceNumber,
                           std::string& errorText);

    // ---- Conversion-rule questions of the backup job (CsqlDMOConversionQueries.cpp) ----
    // Each asks the instance of the last initialize(); a question that cannot
    // be answered (no instance, unknown database) answers false.
    // Whether the newest backup-history row of `letter` ('D', 'I', 'L', 'F',
    // 'G', 'P', 'Q') was written by this backup software's VDI engine;
    // copy-only rows count only when `copyOnly` is non-zero. `value` is
    // carried from the central server and not needed here.
    bool IsthePreviousBackupTypedoneusingOrvane(const char* database, int letter, unsigned long value, int copyOnly);
    // Whether a full-text catalog was added after `time` (seconds since 1970).
    bool isFullTextCatalogAdded(const wchar_t* database, unsigned long time);
    // Whether the newest log backup of the database was taken outside this
    // backup software, which breaks the chain the central server knows.
    virtual bool isLogBackupTakenOutside(const char* database, unsigned long instanceId);
    // Whether the database was created after `time`.
    virtual bool isDatabaseCreatedAfter(const char* database, unsigned long time);
    // Whether files or file groups of the database changed after `time`.
    virtual bool isFileOrFileGroupChangedAfter(const char* database, unsigned long time);
    // Whether the file group exists in the database (an empty `file`), or
    // the file exists in that file group.
    bool isFileorFileGroupsExists(const std::string& database, const std::string& fileGroup, const std::string& file);
    // The sizes in bytes of the named databases, as the XML text of an
    // SQLPmn::SQLDatabaseSizesResp in the order of the names; false when a
    // database does not exist or the catalogue cannot be read.
    bool getDatabaseSizes(const std::vector<std::string>& databases, std::string& xml);

    // ---- Restore support (CsqlDMORestore.cpp) ----
    // The instance's date format: 1 month-day-year, 2 day-month-year, 3
    // year-month-day (server property "dateFormat": "mdy", "dmy" or "ymd";
    // "mdy" when never set).
    bool getDateFormat(const std::string& instanceName, unsigned long& format);
    // Whether `database` of the connected instance belongs to an
    // availability group; its group goes to `group` and the instance to
    // `replica`. False too when nothing is connected or it does not exist.
    bool isDatabaseInAvailableGroup(const std::string& database, std::string& group, std::string& replica);
    // Whether the database is in STANDBY (read-only between log restores).
    bool isDatabaseStandby(const std::string& instanceName, const std::string& databaseName);
    // Ends every other connection to the database; the simulated server
    // keeps none, so this succeeds whenever the database exists.
    bool dropAllConnectionsToDb(const std::string& instanceName, const std::string& databaseName);
    // Opens the database to every user again (MULTI_USER).
    bool SetDatabaseInMultiUserMode(const std::string& instanceName, const std::string& databaseName);
    // Whether the server runs in single-user mode (server property
    // "userMode" is "single"); false when it cannot be read.
    bool isServerInSingleUserMode(const std::string& instanceName);

    // ---- Database drop of an out-of-place snapshot restore (CsqlDMODelete.cpp) ----
    // Drops a user database from the instance: its catalogue entry and its
    // files. A system database, one that is not there, or one that a backup
    // or restore statement holds (SQL Server's 3702) is refused (false;
    // getErrorString() tells why); one RESTORING or in STANDBY with no
    // statement running is dropped.
    bool DeleteDatabase(const std::string& instanceName, const std::string& databaseName);

private:
    // ---- Connection and failures (CsqlDMO.cpp) ----
    // Opens the instance's catalogue (kept while the same instance is asked
    // again) and checks that its service runs.
    bool Connect(const std::string& instance, bool needRunning = true);
    bool Fail(const char* function, const std::string& text);
    // Takes the statement hold of `database` on the connected instance
    // exclusively, without waiting, as a drop or detach does; false with
    // the failure recorded (`inUseText` while another statement holds it).
    bool HoldExclusively(const char* function, const std::string& database, const std::string& inUseText,
                         SqlSimDatabaseHold& hold);
    // One column of the database's catalogue row, as text, from the instance
    // of the last initialize(); false (failure recorded, `*failed` set) when
    // the database does not exist or the catalogue cannot be read.
    bool DatabaseText(const char* function, const char* column, const std::string& database, std::string& value,
                      bool* failed);

    unsigned long m_instanceId = 0;
    std::string m_userName;
    std::string m_password;
    std::unique_ptr<SqlSimInstance> m_instance;
    std::string m_lastError;
    EvDebug m_log;
};
