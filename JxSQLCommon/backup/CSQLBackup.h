// CSQLBackup: the backup job of a SQL Server subclient.
//
// One object per backup job process: the agent's backup program constructs
// it and calls startBackup once. It carries the job's own backup state on
// top of the job context (CSQLBase, CSQLCommon) and drives one phase of the
// job: the collect file of the phase, the walk over it, the per-database
// backup through the VDI engine into the data pipeline, the backup-set
// records and the commit, the converted lists, and the job's completion.
//
// Every operation is virtual, in a fixed slot order, so that the dump
// backup job and the multi-threaded job can replace parts of the road. The
// operations are defined in files named for their concern:
//   CSQLBackup.cpp                construction, destruction, free helpers
//   CSQLBackupStart.cpp           startBackup: set-up and completion
//   CSQLBackupPhase.cpp           requested type, letters, backup
//   CSQLBackupStreamInfo.cpp      stream counts and stream-info files
//   CSQLBackupRestart.cpp         restart offsets, uncommitted databases
//   CSQLBackupRestartFiles.cpp    restart and promoted collect files
//   CSQLBackupLoop.cpp            the walk over the collect file
//   CSQLBackupDatabase.cpp        one database: promotions, conversion, route
//   CSQLBackupVDI.cpp             VDI streaming of one database
//   CSQLBackupConversion.cpp      converted lists and job-level conversion
//   CSQLBackupConversionRules.cpp the central server's conversion rules
//   CSQLBackupFFG.cpp             file and filegroup subclients
//   CSQLBackupRBS.cpp             remote-blob-store paths of the collect file
//   CSQLBackupRBSCollectFile.cpp  the collect file of a remote-blob-store subclient
//   CSQLBackupTLToSnap.cpp        the full collect file of a log-to-snapshot job
//   CSQLBackupCollectFile.cpp     collect files and their generation
//   CSQLBackupCollectSelection.cpp  which databases a collect file lists
//   CSQLBackupPluginCollect.cpp   plug-in jobs and how a job was started
//   CSQLBackupOnDemandCollect.cpp on-demand (OSC) jobs
//   CSQLBackupListedCollect.cpp   steps shared by explicit-list collect files
//   CSQLBackupFileStream.cpp      FILESTREAM folder size
//   CSQLBackupStagedLogs.cpp      staged log dumps: decision, folder, search
//   CSQLBackupFromStagedDumps.cpp one database from its staged log dumps
//   CSQLBackupStatusTab.cpp       the job status tab
//   CSQLBackupMasterExchange.cpp  availability-group child and master
//   CSQLBackupAlwaysOnCollect.cpp availability-group collect files
//   CSQLBackupSetInfo.cpp         backup-set records to the central server
//   CSQLBackupSnapshot.cpp        snapshot backup: records and snapshot volumes
//   CSQLBackupSnapIndex.cpp       snapshot metadata files to the index
//   CSQLBackupIntegritySteps.cpp  integrity check: mount, rewrite, attach, DBCC
//   CSQLBackupIntegrityCheck.cpp  integrity check from the source job
//   CSQLBackupIntegrityProxy.cpp  integrity check in the proxy process
//   CSQLBackupConversionRefusals.cpp  conversions a backup method refuses
//   CSQLBackupVssInfo.cpp         older and VSS-style backup-set records
//   CSQLBackupVssFiles.cpp        the files of a VSS-style backup
//   CSQLBackupEmpty.cpp           operations that do nothing on this platform
//
// The object is used by the job's one thread.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "JxLib/JXFile.h"
#include "JxLib/JxCriticalSection.h"
#include "JxSQLCommon/backup/ISQLBackup.h"
#include "JxSQLCommon/backup/SQLDatabaseMiniInfo.h"
#include "JxSQLCommon/jobbase/CSQLBase.h"
#include "JxSQLCommon/records/CSQLPmnContentFilters.h"
#include "JxSQLCommon/records/JXSQLExeBackupType.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlConversionRuleRecords.h"
#include "JxSQLCommon/records/SqlStringUtils.h"
#include "WzUtils/CWzError.h"

class BackupOptionsParser;
class EvBkpTask;
class CJxNetwork;
class CJxSQLVDIBase;
class CSQLClientDll;
class CsqlDMO;
class PropertiesList;
class ApplProperty;
class MSSQLDBProperty;
class jxsDatabuf_v2;
struct JxSQLBackupSetInfo;
struct JxSQLBackupFileInfo;
struct SqlDatabaseFiles_t;
struct SqlDatabaseVssFileInfo_t;
struct SQLBackupSetInfoReq_VER5_t;

// How a job ended, as the job manager takes it.
enum JXSQLJobStatus : int { JXSQL_JOB_COMPLETED = 1, JXSQL_JOB_FAILED = 2, JXSQL_JOB_PARTIAL = 3 };

// The database status map of a restarted job, keyed without regard to case.
using SQLDatabaseStatusMap = std::map<std::string, SQLDatabaseMiniInfo, caseIgnoreCompare>;

class CSQLBackup : public ISQLBackup, public virtual CSQLBase {
public:
    static const std::string DDRCOLLECTFILENAME;   // "DDR_"
    static const std::string DIFFCOLLECTFILENAME;  // "DiffDBList.jxf"
    static const std::string LOGCOLLECTFILENAME;   // "LogDBList.jxf"
    static const std::string SI_FULL_COLL_FILE;    // "JXSQLStreamInfo_FULL.info"
    static const std::string SI_DIFF_COLL_FILE;    // "JXSQLStreamInfo_DIFF.info"
    static const std::string SI_LOG_COLL_FILE;     // "JXSQLStreamInfo_LOG.info"

    CSQLBackup();
    CSQLBackup(const CSQLBackup&) = delete;
    CSQLBackup& operator=(const CSQLBackup&) = delete;

    // ---- Virtual operations, in slot order --------------------------------
    // 0-3: the ISQLBackup operations.
    bool generateCollectFile() override;
    bool backup() override;
    // Does nothing on this platform: true.
    bool doDbBackup(const wchar_t* databaseName, unsigned long collectFileOffset, bool& connectionValid,
                    bool& converted) override;
    bool doDbSubclientBackup() override;
    // 4: one database of the walk: promotions, conversion rules, the route.
    virtual bool doDbBackup(CsqlDMO& sqlConnection, const wchar_t* databaseName, unsigned long collectFileOffset,
                            bool& connectionValid, bool& converted, JobManager::SQLStatusTab* record);
    // 5-10: cloud databases; nothing to do on this platform.
    virtual bool doAwsDBBackupMultiThread();
    virtual bool doAzureDBBackupMultiThread();
    virtual int transferAzureDBBackupFile();
    virtual int transferAwsDBBackupFile();
    virtual int generateAzureCollectFiles();
    virtual int generateAwsCollectFiles();
    // 11-12: the per-stream restart offsets of a restart text.
    virtual bool populateRestartOffsetMap(std::map<int, int64_t>& offsets, const std::string& restart);
    virtual int64_t getRestartOffset(const std::map<int, int64_t>& offsets, int key);
    // 13-14: the backup-set record of a finished VDI session.
    virtual bool updateBackupSetInfo(CJxSQLVDIBase* vdi, int* errorCode);
    virtual bool updateBackupSetInfo_10(CJxSQLVDIBase* vdi, int* errorCode, JobManager::SQLStatusTab* statusTab);
    // 15: VSS backup of one database; none on this platform: false.
    virtual bool doVSSBackup(const wchar_t* databaseName, unsigned long collectFileOffset,
                             JobManager::SQLStatusTab* record);
    // 16: sends a backup-set record and commits the data when it is accepted.
    virtual bool sendBackupSetInfoToCS(std::string metadataXml, int method, std::string callerText, int* errorCode,
                                       JobManager::SQLStatusTab* statusTab, bool flushMedia);
    // 17-20: snapshot backup.
    virtual bool doVSSSnapBackup(std::vector<std::string>& databases);
    virtual bool reserveArchFileForVolume(std::vector<std::string>& volumePaths);
    virtual bool encodeXMLAndinitiateHandshake();
    virtual bool updateVSSBackupSetInfo(const JxSQLBackupSetInfo& setInfo,
                                        const std::list<JxSQLBackupFileInfo>& files, int* errorCode);
    // 21-22: the conversion rules of the central server.
    virtual bool isDatabaseNeedConversion(CsqlDMO& dmo, std::wstring databaseName, std::string& message,
                                          JXSQLExeBackupType& level);
    virtual void populateBackupConversionRulesMap(std::wstring databaseName);
    // 23-24: the requested type and the level text.
    virtual void initializeBackupType(unsigned long flags);
    virtual void initBkpType(unsigned int type);
    // 25-28: stream counts and the stream-info file of a phase.
    virtual int GetStreamCount(unsigned int type);
    virtual std::string GenerateStreamInfoFileName(unsigned int type);
    virtual bool GenerateStreamInfoFile(unsigned int type, int count);
    virtual int GetStreamInfoFromFile(unsigned int type);
    // 29-36: collect files by the kind of job.
    virtual bool generateSQLCollectFile();
    virtual bool generateRBSCollectFile();
    virtual bool generateRBSAlwaysOnCollectFile();
    virtual bool GenerateCollectFileForAlwaysON();
    virtual bool GeneratePromotedCollectFileForAlwaysON(std::string path);
    virtual bool GenerateRestartCollectFileForAlwaysON(std::string path);
    virtual bool SendStreamCountUpdateToMaster();
    virtual bool GenerateTLToSnapCollectFile();
    // 37-41: collect-file writers and reader.
    virtual bool WriteToCollectFile(std::string path, std::vector<std::string> names, bool truncate);
    virtual bool WriteToCollectFile(std::string path, std::list<std::wstring> names);
    virtual bool WriteToCollectFile(std::string path, const std::set<std::wstring>& names);
    virtual bool WriteToCollectFile(std::string path, const std::set<std::string>& names, bool truncate);
    virtual bool ReadFromCollectFile(std::string path, std::vector<std::string>& names);
    // 42-43: availability-group child to master.
    virtual bool SendGeneratedCollectFileForAlwaysONToMasterProcess(std::string path, unsigned int level,
                                                                    bool convertedList);
    virtual bool SendJobCompletionStatusToMaster(int status);
    // 44-46: the converted lists.
    virtual bool AddConvertedDBToCollectFile(std::string databaseName, JXSQLExeBackupType level);
    virtual uint32_t GetConvertedDBCount(JXSQLExeBackupType level);
    virtual bool DeleteConvertedDBCollectFile(JXSQLExeBackupType level);
    // 47: file and filegroup subclient: 1 backed up or converted, 0 failed.
    virtual uint32_t doFFGSubclientBackup();
    // 48: VDI streaming of one database into the data pipeline.
    virtual bool doVDIBackup(const wchar_t* databaseName, unsigned long collectFileOffset,
                             JobManager::SQLStatusTab* record, std::list<std::wstring> fileGroups,
                             std::list<std::wstring> files);
    // 49: the phase's backup-history letter.
    char getSqlBackupType(bool detailed) override;
    // 50: drops the central server's entries of databases that were not
    // committed after the last backed-up one.
    virtual bool cleanUncommitedEntries(JXFile* collectFile, const SQLDatabaseStatusMap& statusMap);
    // 51-53.
    virtual bool validateSubclientContent(std::wstring& databaseName, std::list<std::wstring>& fileGroups,
                                          std::list<std::wstring>& files);
    virtual bool getLastVssFullBackupTime(unsigned long appId, std::string instance, unsigned long value,
                                          std::string& result);
    virtual bool isLogThreshHoldKeyPresent(unsigned long& value);
    // 54-59: snapshot metadata and index.
    virtual bool updateIndex(std::vector<std::string>* lrepFiles);
    virtual bool uploadMetadataToIndexCache(std::vector<std::string>& files);
    virtual bool uploadMetadataToIndex(std::vector<std::string>& files);
    virtual bool updateSnapBackupInfo(std::string instance, std::string databaseName, std::string callerText,
                                      JobManager::SQLStatusTab* statusTab);
    virtual bool DeleteVolumeSnapshots();
    virtual bool updateSnapshotInfo();
    // 60-62: restart and uncommitted databases.
    virtual bool checkForUncommittedDbs();
    virtual bool VerifyAndGenerateRestartOffset(std::string& restart, bool fromJobClient);
    virtual bool initializeBackupRestartJob(SQLDatabaseStatusMap& statusMap);
    // 63-64.
    virtual bool getOnDemandFilePath(std::string& path);
    virtual bool populateFFGForBackup(std::string onDemandFile, std::wstring& databaseName,
                                      std::list<std::wstring>& fileGroups, std::list<std::wstring>& files);
    // 65-67.
    virtual bool cleanupSnapMetaDataFiles();
    virtual bool isRBSSubclient(CsqlDMO& sqlConnection, JXFile& collectFile);
    virtual uint32_t CalculateSizeOfFileStreamDirectory(const std::string& folder, unsigned long long& total);
    // 68-69: log backup from staged log dumps.
    virtual bool doDBBackupFromFileSystem(const wchar_t* databaseName, unsigned long collectFileOffset,
                                          JobManager::SQLStatusTab* statusTab, bool& fallBack);
    virtual bool getFilesForBackup(const char* stageFolder, const char* databaseName,
                                   std::map<std::wstring, std::wstring>& dumps);
    // 70: one status-tab record to the central server.
    virtual bool UpdateStatusTabInformationToCS(JobManager::SQLStatusTab* tab);
    // 71-78: plug-in and on-demand jobs.
    virtual bool CreateCollectFileForPlugin();
    virtual bool CreateCollectFileForOSC();
    virtual bool isJobInitiatedFromPlugin();
    virtual bool isJobInitiatedFromOSC();
    virtual bool getSQLDatabasesForBackup(const std::string& path, std::set<std::string>& names);
    virtual bool generateSQLCollectFileForPlugin(std::set<std::string> names);
    virtual bool generateSQLCollectFileForOSCJob(const std::set<std::string>& names);
    virtual bool generateSQLFullCollectFileForOSCJob(std::set<std::string> names);
    // 79: a database the SharePoint agent protects.
    virtual bool UpdateStatusTabSkippedDBInfo(const char* databaseName, const char* reason, int sharePointVersion);
    // 80-85: job-level conversion at the end of a phase.
    virtual void HandleConversion();
    virtual void HandleLREPConversion();
    virtual void HandleLREPVSAConversion();
    virtual void HandleNonSnapConversion();
    virtual void HandleSNAPConversion();
    virtual void HandleBlockLevelConversion();
    // 86: the phase's read-only and promote-to-full settings.
    virtual void LoadConfigurationsForBackup();
    // 87-92: the steps of a backup-set record.
    virtual bool setBasicInfoForUpdateRequest(SQLBackupSetInfoReq_VER5_t& request,
                                              SQLPmn::SQLDBBackupMetadata& metadata,
                                              SQLPmn::SQLBackupDatabaseMediaMetaInfo& mediaMetaInfo, int method,
                                              std::string callerText);
    virtual bool setSqlDatabaseFileInfoForUpdateRequest(SQLBackupSetInfoReq_VER5_t& request,
                                                        SQLPmn::SQLDBBackupMetadata& metadata,
                                                        SQLPmn::SQLBackupDatabaseMediaMetaInfo& mediaMetaInfo,
                                                        unsigned long long& applicationSize,
                                                        std::vector<SqlDatabaseFiles_t>& files);
    virtual bool setAfileInfoToRequestForVDI(SQLBackupSetInfoReq_VER5_t& request,
                                             SQLPmn::SQLBackupDatabaseMediaMetaInfo& mediaMetaInfo);
    virtual bool setAfileInfoToRequestForVSS(SQLBackupSetInfoReq_VER5_t& request,
                                             SQLPmn::SQLBackupDatabaseMediaMetaInfo& mediaMetaInfo,
                                             std::vector<SqlDatabaseFiles_t>& files);
    virtual bool setAfileInfoToRequestForSnap(SQLBackupSetInfoReq_VER5_t& request);
    virtual bool updateMetaInfoToMedia(SQLPmn::SQLBackupDatabaseMediaMetaInfo* info, bool flush);
    // 93-95: the job status tab read back.
    virtual bool GetDBsFromJobStatusTabInfo(JobManager::SQLJobInfo& info, std::vector<std::string>& names,
                                            bool promoted);
    virtual bool GetDatabasesStatusInfo(JobManager::SQLJobInfo& info, SQLDatabaseStatusMap& statusMap,
                                        bool& noJobInfo);
    virtual int GetDatabaseListForTL2Snap(std::vector<std::string>& names);
    // 96: the collect file of a restarted or promoted phase.
    virtual bool GenerateSQLRestartOrPromotedFile(unsigned long& collectFileSize, JobManager::SQLJobInfo& jobInfo,
                                                  bool promoted);
    // 97: one database's row of the status tab.
    virtual bool UpdateStatusTabDBInfo(const char* databaseName, const char* reason, JobManager::SQLDBStatus status,
                                       int reasonCode, JobManager::SQLDatabasePhase phase);
    // 98: appends the non-empty lines of a collect file.
    virtual bool populateDBNamesFromCollectFile(std::vector<std::string>& names, std::string path);
    // 99-101: restart bookkeeping.
    virtual bool updateSuccessCount(JXFile* file, const SQLDatabaseStatusMap& restartMap,
                                    unsigned long restartOffset);
    virtual bool getLastBackedupDbName(JXFile* file, const SQLDatabaseStatusMap& statusMap, std::string& name);
    virtual void RecreatePromotedCollectFile(const SQLDatabaseStatusMap& restartMap);
    // 102: writes the selected names to the collect file.
    virtual bool CreateCollectFileForSQLBackup(JXFile* file, std::vector<std::string>& names, bool truncate);
    // 103: the phase's stream count from the availability-group master.
    virtual bool FetchStreamCountFromMaster(int& count);
    // 104: a skipped or failed database: counts and status-tab row.
    virtual bool UpdateSkippedFailedCountAndJobInfo(std::string databaseName, std::string reason, int reasonCode,
                                                    JobManager::SQLDBStatus status);
    // 105-107: staged log dumps.
    virtual bool ShouldProceedVDIBackup();
    virtual bool getStageFolderForFsBackup(std::string& folder, std::string& error);
    virtual bool performLogShrinkOperation(CsqlDMO& sqlConnection, std::string databaseName, unsigned long value,
                                           JobManager::SQLStatusTab* record);
    // 108-112.
    virtual bool CreateCollectFileForAlwaysOnOSC();
    virtual bool UpdateSnapMountToIndexView();
    virtual bool UpdateDatabaseInformationToCS(JobManager::SQLStatusTab* tab);
    virtual bool GetDatabaseRecoveryModel(const std::string& instance, const std::string& databaseName,
                                          SQLPmn::DatabaseRecoveryModel& model) const;
    virtual bool CheckAndAddFilteredDBsToStatusTab(std::list<std::string> names);
    // 113-115.
    virtual bool cleanupStaleDBInAzure(int value);
    virtual bool isCopiedDB(const std::string& databaseName, const std::string& baseName);
    virtual int cleanStaleBackupFileOnS3Bucket(int value);
    // 116-117.
    ~CSQLBackup() override;
    // 118-121: the job's entry points.
    virtual bool updateBackupInfo();
    virtual bool startBackup(BackupOptionsParser* parser, int argc, char** argv);
    virtual bool startAzureBackup(BackupOptionsParser* parser, int argc, char** argv);
    virtual bool startAwsBackup(BackupOptionsParser* parser, int argc, char** argv);
    // 122-138: integrity check of snapshot copies.
    virtual bool performIntegrityCheck(int argc, char** argv);
    virtual bool mountSnapsForIntegrityCheck(SQLPmn::SQLIntegrityCheckInit& init, SMVolSnapInfo& snaps,
                                             std::string mountBase, std::map<std::string, std::string>& volumes);
    virtual bool replaceFileNamesWithMountPath(SQLPmn::AttachDBMsg& message,
                                               std::map<std::string, std::string>& volumes);
    virtual bool attachDatabasesForIntegrityCheck(SQLPmn::AttachDBMsg& message);
    virtual bool checkIfDatabaseExists(CsqlDMO& sqlConnection, SQLPmn::AttachDBMsg& message);
    virtual bool checkIfDatabaseFilesExists(SQLPmn::AttachDBMsg& message);
    virtual bool readMessages(CJxNetwork& session, jxsDatabuf_v2& buffer, unsigned long& code,
                              unsigned long& header);
    virtual bool readIntegCheckInitMsg(CJxNetwork& session, SQLPmn::SQLIntegrityCheckInit& init);
    virtual bool readIntegCheckDataMsg(CJxNetwork& session, SQLPmn::AttachDBMsg& message);
    virtual bool sendIntegCheckRspMsg(CJxNetwork& session, bool passed, SQLPmn::SQLIntegrityCheckResponse& response,
                                      std::string& text);
    virtual bool launchSQLIntegrityCheck(std::string& user);
    virtual bool formSQLDBAttachMsg(std::string& out);
    virtual bool sendIntegrityCheckInitMsg(CJxNetwork& session);
    virtual bool sendIntegrityCheckDataMsg(CJxNetwork& session);
    virtual bool handleMessagesFromProxy(CJxNetwork& session);
    virtual bool performSQLVersionCompatibilityCheck(std::string instance, int major, int minor, int build,
                                                     std::string text);
    virtual bool performIntegrityCheckOnSrc(std::string& user);
    // 139: the names of a collect file as a set.
    virtual bool populateDBNamesFromCollectFile(std::set<std::string>& names, std::string path);
    // 140-141.
    virtual bool GetFilesForVssBackup(std::vector<std::string> databaseFiles, std::vector<std::string> snapFiles,
                                      std::list<SqlDatabaseVssFileInfo_t>& files, unsigned int& count);
    virtual bool isPromoteToFullSet() const;

    // ---- Non-virtual operations -------------------------------------------
    // The VDI library's error code of a failed backup as the job's pending
    // cause.
    void fileJPRForBackupFailure(long errorCode, std::string databaseName);
    // Ensures a pending promote-to-full database is backed up in a full
    // phase: appends it to the converted FULL list and records the
    // conversion in its status-tab row.
    CWzError HandlePromoteToFullConversion(JobManager::SQLStatusTab* status, const std::string& databaseName);
    // Fills the status-tab record of a database before its backup.
    CWzError InitializeDatabaseStatusRequest(JobManager::SQLStatusTab* tab, const std::string& databaseName);
    // Whether the database belongs to an availability group protected through
    // a pseudo-client.
    bool isDatabaseAssociatedToAG(const std::string& databaseName, CsqlDMO& sqlConnection, CSQLClientDll* requester,
                                  std::unordered_map<std::string, bool>& cache, std::string& groupName);
    // Closes and frees the metadata connection.
    void cleanupSessionForBackupMetaDataUpdate(CJxNetwork** connection);
    // No lock is needed on this platform.
    CWzError InitializeAndGetLockForVSABackupSync() { return CWzError(); }
    CWzError ReleaseLockForVSABackupSync() { return CWzError(); }

    // ---- Free helpers -------------------------------------------------------
    // Sets `name`=`value` in the process environment.
    static bool SetEnvironmentVariable(const char* name, const char* value);
    // Whether replication is enabled for the application at the storage
    // policy; the first argument is not used.
    static bool isReplicationEnabledAtSPLevel(int jxCellId, int appNumber);
    // Orders database names without regard to case.
    static bool compareNoCase(std::string first, std::string second);

protected:
    // The collect file of the phase: job-results directory, "/", name.
    std::string CollectFilePath() const;
    // Raises `cause` as pending cause with a critical event on the job
    // client, after the given text argument.
    void RaisePendingCause(int cause, const std::string& argument);
    void RaisePendingCause(int cause);
    // One database whose backup the media agent did not commit: promoted to
    // full in a log phase, failed otherwise.
    void HandleUncommittedDatabase(const std::string& name);
    // How much of an open converted list is whole, synced lines, and
    // whether bytes after them (of an append that failed) are still to be
    // cut off before the next append.
    struct ConvertedListEnd {
        int64_t whole = 0;
        bool cutPending = false;
    };
    // One converted list: its names, its file, its conversion flag, its
    // end, its path.
    struct ConvertedList {
        std::set<std::string>* names;
        JXFile* file;
        bool* flag;
        ConvertedListEnd* end;
        std::string path;
    };
    ConvertedList ConvertedListOf(JXSQLExeBackupType level);
    // Opens a list file for appending, cut back to its whole lines, and
    // reads the names it holds.
    bool OpenConvertedList(const ConvertedList& list);
    // Cuts an open list back to its whole lines and makes the cut durable.
    bool CutConvertedList(const ConvertedList& list);
    void DropUnwrittenName(const ConvertedList& list);
    // Replaces a list's file with the names it holds, one a line; false
    // with errno set when it cannot.
    bool WriteConvertedListWhole(const ConvertedList& list);
    // At the end of a phase: each list whose cut is still owed is written
    // whole, or the failure logged.
    void WriteOwedConvertedListCuts();
    // The databases of a converted list that could not be sent to the
    // master: each failed with `reason` in the status tab and counted.
    void FailUnsentConvertedList(std::set<std::string>& names, const std::string& reason);
    // A promoted database that its list could not take: failed and counted.
    CWzError FailConversion(JobManager::SQLStatusTab* status, const std::string& databaseName);
    // A converted database that its list could not take: the reason logged
    // and written to the record (when given) with the failed status; false.
    bool FailUnlistedDatabase(JobManager::SQLStatusTab* record, const std::string& name);
    // One failed database counted with the job base and the job manager.
    void CountFailedDatabase(const std::string& databaseName);
    // The walk over the collect file (CSQLBackupLoop.cpp).
    bool ConnectToInstance(CsqlDMO& sqlConnection);
    void ReadPromoteBrokenChainSetting();
    // Applies the skip rules; true when the database was skipped (reported).
    bool SkipDatabase(CsqlDMO& sqlConnection, const std::string& name);
    // The lines from the current position on; false when the connection to
    // SQL Server could not be renewed.
    bool WalkCollectFile(JXFile& collectFile, std::unique_ptr<CsqlDMO>& sqlConnection, bool hasRBS);
    // Counts and reports a database that doDbBackup handled; false when the
    // job manager asked the job to stop.
    bool AfterBackedUpDatabase(JobManager::SQLStatusTab& record, bool converted);
    void EndWalk(JXFile& collectFile, CsqlDMO& sqlConnection, bool snapshotWithoutPipeline);
    // Records a promotion of the database to `level` (CSQLBackupDatabase.cpp);
    // false, with the database failed, when its list could not take it.
    bool ConvertDatabase(JobManager::SQLStatusTab* record, const std::string& name, const std::string& reason,
                         JXSQLExeBackupType level, bool& converted);
    // Failure paths of the VDI streaming (CSQLBackupVDI.cpp): each writes
    // the record's reason and failed status and answers false.
    bool FailDatabase(JobManager::SQLStatusTab* record, const std::string& reason);
    bool FailOnQuit(JobManager::SQLStatusTab* record);
    // Which step of the engine failed: the transfer, the finalising, or the
    // backup statement.
    enum class EngineStep { kTransfer, kFinalize, kStatement };
    bool FailOnEngineError(CJxSQLVDIBase& engine, JobManager::SQLStatusTab* record, const std::string& name,
                           EngineStep failed);
    // The job's set-up and end (CSQLBackupStart.cpp). SetUpJob is false when
    // the job is to end failed (its pending cause raised).
    bool SetUpJob(BackupOptionsParser& parser);
    void SetPhase(JXSQLExeBackupType phase, const std::string& collectFileName, const char* levelName);
    bool SetUpSnapshotAndVss(bool useVSS);
    void ReadTaskOptions(EvBkpTask& task);
    // Runs the phase and gives the job's status; the status that the
    // counts of failed, backed-up and converted databases give.
    int RunPhase();
    int StatusFromCounts();
    bool CompleteJob(int status);
    // Explicit-list collect files (CSQLBackupListedCollect.cpp): the
    // SharePoint skip set (warning on failure), the report of a database the
    // SharePoint agent protects, and the write of the listed names with the
    // empty-collect rule (`failEmptyCollect`: pending cause and empty-collect
    // failure; otherwise an event naming the file).
    void LoadSharePointSkipSet(std::set<std::string>& databases, const char* failureWarning);
    // Steps shared by every collect-file generator (same file): connect to
    // the instance (counted as a logged failure); write the selected names
    // sorted (for no names: refused when `writeWhenEmpty`, else an empty
    // list); record the count of
    // databases to back up with the job client; fetch the subclient again;
    // remove vanished databases from the content, then fetch it again; the
    // empty-collect rule (logged as a warning when `warnOnly`).
    bool InitializeCollectConnection(CsqlDMO& sql);
    bool WriteSelectedCollectFile(const std::string& path, std::vector<std::string>& names, bool writeWhenEmpty);
    void SetDatabasesToBackup(uint64_t count);
    bool RefreshSubclient();
    bool RemoveFromSubclientContent(PropertiesList& toDelete);
    bool CollectFileHoldsData(const std::string& path, bool warnOnly);
    // Skip reports that several generators give in the same words: a
    // missing, not online or group-less database of an availability-group
    // list, and a database that is offline.
    enum class CollectSkip { kAgMissing, kAgNotOnline, kOffline, kAgGroupUnknown };
    void ReportCollectSkip(CollectSkip why, const std::string& name);
    // The database a content property names when it passes the subclient's
    // filters (a filtered-out name goes to `excluded`); null otherwise.
    const MSSQLDBProperty* SelectableContentDatabase(const std::shared_ptr<ApplProperty>& property,
                                                     std::list<std::string>& excluded);
    // The SharePoint content databases of a remote-blob-store subclient
    // (CSQLBackupRBSCollectFile.cpp); a failure raises the collect-file cause.
    bool ReadRBSContentDatabases(const std::string& path, std::vector<std::string>& names);
    void SkipSharePointDatabase(CsqlDMO& sql, const std::string& name);
    bool WriteListedCollectFile(const std::vector<std::string>& listed, const std::string& path,
                                bool failEmptyCollect);
    // A phase's list put in place in one go (temporary file, fsync, rename,
    // folder fsync: a crash leaves the old list or the whole new one), its
    // databases then entered in the status tab in list order as listed
    // (status 5); a failure raises the collect-file cause with the path and
    // enters none. EnterListedDatabases sends those rows; RefuseEmptyList
    // records an empty list.
    bool PutListInPlace(const std::string& path, const std::vector<std::string>& names);
    void EnterListedDatabases(const std::vector<std::string>& names);
    void RefuseEmptyList();
    // Renames a consumed on-demand list so that it is not used again.
    void RetireOnDemandList(const std::string& path);
    // An on-demand list that is there but cannot be used: its cause raised
    // with its path, m_bOnDemandListRefused set; false.
    bool RefuseOnDemandList(const std::string& path);
    // Staged log dumps (CSQLBackupStagedLogs.cpp): the whole text of a
    // metadata twin, and the database and first LSN it describes (false when
    // it cannot be read).
    enum class StagedMetadata { kRead, kNotOpened, kEmpty, kReadFailed };
    StagedMetadata ReadStagedMetadata(const std::string& path, std::string& text);
    bool DescribeStagedDump(const std::string& path, std::string& database, unsigned long long& firstLsn);
    // Asks the central server to drop the job's backup sets whose data the
    // media has not committed (after a failed commit of `name`'s data); a
    // refusal is logged.
    void DropUncommittedBackupSets(const std::string& name);
    // The availability-group master exchange (CSQLBackupMasterExchange.cpp):
    // bounded sends and receives on the master connection, which is not used
    // again after a failed or unexpected receive; one collect-file request
    // with its reply checked (status, names, stream count); the FINISH message.
    int MasterTimeoutSeconds() const;
    CWzError SendToMasterProcess(const CNMessageBase& message);
    CWzError ReceiveFromMasterProcess(CNMessageBase& reply);
    bool RequestCollectFileFromMaster(SQLPmn::SQLAGCollectFile& request, SQLPmn::SQLAGCollectFile& reply);
    // The promoted or restart list (`want`) of the current phase.
    bool RequestPhaseCollectFileFromMaster(CNFieldId want, SQLPmn::SQLAGCollectFile& reply);
    bool SendFinishToMaster();
    // Availability-group collect files (CSQLBackupAlwaysOnCollect.cpp): the
    // report of a database of another group (true when it differs), the
    // write of the checked names, and the hand-over of a non-empty file to
    // the master (the empty-collect rule otherwise).
    bool AgGroupDiffers(const std::string& name, const std::string& group);
    bool WriteAlwaysOnCollectFile(const std::string& path, std::vector<std::string>& names);
    bool HandOverAlwaysOnCollectFile(const std::string& path);
    // Refused job-level conversions (CSQLBackupConversionRefusals.cpp): the
    // texts of one refusing variant; every database of the covered lists
    // reported as skipped, one event, the lists deleted.
    struct ConversionRefusal;
    void RefuseConversion(const ConversionRefusal& texts, bool coversFull);
    // Whether every data file of `database` on `instance` lies under this
    // integrity check's mount base (CSQLBackupIntegritySteps.cpp).
    bool IsAttachedFromMountBase(CsqlDMO& sql, const std::string& instance, const std::string& database);
    // False, with a pending cause naming each such database, when a
    // received attach message holds a name or path with a control character
    // (CSQLBackupIntegrityProxy.cpp).
    bool AttachMessageIsPrintable(const SQLPmn::AttachDBMsg& message);
    // The conversion rules (CSQLBackupConversionRules.cpp): the databases of
    // the phase's collect file from the job's offset on; one conversion with
    // its event, its message and its converted-list entry (always true; a
    // list that refused the entry sets m_bConvertedListRefused).
    bool ReadConversionDatabases(std::vector<std::string>& databases);
    bool ConvertForRule(uint32_t event, JXSQLExeBackupType newLevel, const std::string& text, bool textIsArgument,
                        const std::string& name, std::string& message, JXSQLExeBackupType& level);
    // File and filegroup subclients (CSQLBackupFFG.cpp): the fields of one
    // on-demand line; a failed database counted once and reported.
    static std::vector<std::string> SplitOnDemandLine(const std::string& line);
    void FailFFGDatabase(const std::string& database);

    // ---- Own members -------------------------------------------------------
    BackupOptionsParser* m_pParser = nullptr;   // not owned
    bool m_bPartial = false;                    // partial database backup (P/Q)
    bool m_bLoadingState = false;               // leave the database loading after a log backup
    bool m_bCopyOnly = false;                   // copy-only full backup
    bool m_bCompression = false;
    bool m_bSkipConversion = false;             // the job manager asked to skip conversion
    bool m_bLREP = false;                       // snapshot engine 3 with replication
    bool m_bLREPVSA = false;                    // snapshot engine 48
    std::string m_skippedLogDbs;                // "name," per log backup skipped for lack of dumps
    std::map<std::string, std::string> m_rbsBlobPaths;   // database -> RBS blob path
    uint64_t m_backupConversion = 0;            // the subclient's conversion switch
    SqlBackupConversionRulesRsp_V2_t m_conversionRules{};
    std::map<std::string, SqlDatabaseBackupInfo_V2> m_conversionMap;
    std::string m_backupLevelName;              // "Full", "Differential", "Transaction Log"
    std::string m_backupTypeText;               // the same texts for the requested type
    bool m_bFFG = false;                        // file/filegroup subclient (F/G)
    bool m_bDiffConversion = false;             // the DIFF converted list holds databases
    bool m_bFullConversion = false;             // the FULL converted list holds databases
    bool m_bNoTruncateLog = false;              // the requested type carried flag 0x100
    std::set<std::string> m_fullConvertedNames;
    JXFile m_fullConvertedFile;
    ConvertedListEnd m_fullConvertedEnd;
    std::set<std::string> m_diffConvertedNames;
    JXFile m_diffConvertedFile;
    ConvertedListEnd m_diffConvertedEnd;
    uint32_t m_networkTimeout = 120;            // seconds, integrity-check exchange
    bool m_networkFlag = false;
    bool m_bLogFromFileSystem = false;          // LOG phase backs up staged log dumps
    std::string m_currentDumpFile;
    bool m_bReplicationFailure = false;
    uint64_t m_applicationSize = 0;
    bool m_bSkipReadOnly = false;
    bool m_bSharePoint = false;
    std::vector<SQLPmn::SQLBackupDatabaseMediaMetaInfo> m_mediaMetaInfo;
    bool m_bCommitData = false;                 // commit after each database ("bCommitData")
    std::map<int, int64_t> m_restartOffsets;
    JxCriticalSection m_jobLock;                // taken by no operation of this class
    bool m_bVolumeLevel = false;                // volume-level snapshot; stays false
    bool m_bPromoteToFull = false;
    CSQLPmnContentFilters m_contentFilters;
    bool m_bNeedsFull = false;                  // on-demand log list empty, full list not
    bool m_bConvertedListRefused = false;       // the last rule conversion was refused by its list
    bool m_bOnDemandListRefused = false;        // the last on-demand list read was there but unusable
    bool m_bKeptEarlierList = false;            // this phase's list is the one an earlier attempt left
    int64_t m_filesSoFar = 0;                   // databases counted as backed up
    CJxNetwork* m_pMetadataConnection = nullptr;   // owned

    // ---- Job counters of the walk -----------------------------------------
    // The failed-database count is the job base's m_loggedDbCount, which
    // logDatabaseBackupStatus raises.
    uint64_t m_successCount = 0;                // databases backed up in this phase
    uint64_t m_databasesToBackup = 0;           // lines of the collect file
    int32_t m_dataStreamCount = 2;              // data streams of the phase
    int32_t m_streamCount = 0;                  // streams of the database being backed up
    bool m_bJobFailed = false;                  // a refused record, failed commit or pipeline stop
    bool m_bStopOnFirstFailure = false;         // set by job programs or subclasses only
    std::vector<std::string> m_snapDatabases;   // filled by subclasses or job programs only
    unsigned long m_firstFailedOffset = 0;      // line of the first failed database to retry
    uint64_t m_retryFailures = 0;               // failures of the earlier attempt from that line on
    uint64_t m_retrySuccesses = 0;              // successes of the earlier attempt from that line on
    bool m_bMarkedSharePoint = false;           // the instance was marked as protecting SharePoint
    uint64_t m_promoteBrokenChain = 1;          // not 0: a broken log chain promotes the database to full
    bool m_bNothingBackedUp = false;            // the last database had nothing to back up (no staged dumps)
    bool m_bMasterConnectionSpent = false;      // a receive from the master failed: no further use
    std::string m_tlToSnapDirectory;            // where a log job left its log-to-snapshot list
    uint64_t m_tlToSnapSourceJobId = 0;         // the log job that left it
    uint64_t m_currentDatabaseId = 0;           // the database being backed up
    bool m_bIntegrityCheck = false;             // task option: check the snapshot copy afterwards
    std::string m_integrityMountBase;           // where this check mounts its snapshots
    // VSS-style backup-set records (CSQLBackupVssInfo.cpp): the stream
    // writers of a file-by-file backup by stream, each with the offsets of
    // the files it wrote. Filled by such a backup; none runs on this platform.
    std::map<int, std::shared_ptr<class SqlVSSDataWriter>> m_vssStreamWriters;
};

// Thread entries of the cloud database backups; no cloud backup runs on
// this platform, so each returns null at once.
void* startAzureDBBackupThread(void* params);
void* startAwsDBBackupThread(void* params);
