// CSQLRestoreBase: the restore job, one object per restore job process.
//
// A restore program (or a dump-restore subclass) constructs it and calls
// startRestore with the parsed command line. The job then reads its task
// options and restore options, fetches the backup chain of every database
// from the central server, orders the databases (master, msdb, model first;
// the others by the job id of their full backup), restores each database
// backup by backup through the virtual device while a data-transfer thread
// feeds it from the pipeline, brings the databases online and reports the
// job's status to the job manager.
//
// The virtual operations keep one slot order, which the dump-restore
// classes extend. Restoring a VSS-style or snapshot backup through the
// backup's own restore path is not carried out on this platform: those two
// operations log that they are not available and fail, so a job that needs
// one fails clearly instead of reporting a restore that never happened.
//
// Threads: the job runs on its program's thread; while one backup is being
// restored a data-transfer thread feeds the pipeline, and touches only the
// transfer handler. No operation takes a lock of the job object.
#pragma once

#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "JXSnapHandler/SMVolSnapInfo.h"
#include "JobResults/RestoreStatus.h"
#include "JxSQLCommon/jobbase/CSQLBase.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/SqlRestoreRecords.h"
#include "JxSQLCommon/records/SqlSnapshotRecords.h"
#include "JxSnapRestoreHandler/SnapCopyRestoreHandler.h"
#include "JxSnapRestoreHandler/SnapRestoreHandlerCallback.h"
#include "WzUtils/CWzError.h"

class CsqlDMO;
class EvRstTask;
class JXFile;
class RestoreOptionsParser;
namespace databrowse {
class BrowseRequest;
}  // namespace databrowse
namespace SQLPmn {
class AttachDBMsg;
}  // namespace SQLPmn
// Records of the snapshot restores, defined where those restores live.
struct SqlSnapJobDetails_t;
struct GetArchFileInfoForSnapJob_Ret_t;
struct SnapBackupInfo_t;
// Records of clones and recovery points (SqlCloneRecords.h).
struct SqlRecoveryPointInfo_t;
struct EntitiesForCloneOperation;
// What the job and one data-transfer thread share (CSQLRestoreTransfer.cpp).
struct RestoreTransferRun;

class CSQLRestoreBase : public CSQLBase, public SnapRestoreHandlerCallback {
public:
    // Job status codes given to the job manager at the end of a job.
    static constexpr int kJobCompleted = 1;
    static constexpr int kJobFailed = 2;
    static constexpr int kJobCompletedWithErrors = 3;
    static constexpr int kJobKilled = 4;

    CSQLRestoreBase();
    ~CSQLRestoreBase() override;
    CSQLRestoreBase(const CSQLRestoreBase&) = delete;
    CSQLRestoreBase& operator=(const CSQLRestoreBase&) = delete;

    // ---- Virtual operations, in slot order --------------------------------
    // The restore sequence: options, chains, order, then exactly one of the
    // clone, revert and per-database paths (CSQLRestoreSequence.cpp).
    virtual bool restore70();
    virtual bool revertDBS(std::list<SqlRestoreDbInfo_t>& dbs);
    // The per-database loop (CSQLRestoreDatabases.cpp).
    virtual bool restoreDBS(std::list<SqlRestoreDbInfo_t>& dbs);
    // One database's chain, oldest backup first (CSQLRestoreDatabase.cpp).
    virtual bool restoreDB(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain);
    // Recovery-only restores (CSQLRestoreRecovery.cpp).
    virtual bool doDbRecoverOnly(SqlRestoreDbInfo_t& db, bool omitFileGroup, bool forceRecovery, bool ffgRecovery);
    virtual bool recoverDbsOnly(std::list<SqlRestoreDbInfo_t>& dbs);
    // Hooks around one backup's restore (CSQLRestoreHooks.cpp).
    virtual void initializeForPreFFGRestore(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup);
    virtual void initializeForPreDBRestore(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup);
    virtual void initializeForPostDBRestore(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup);
    virtual bool prepareForRestore();
    // One backup through the virtual device, to disk or into SQL Server.
    virtual bool restoreVDIBackupToDisk(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup);
    virtual bool restoreVDIBackup(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup,
                                  const std::list<std::string>& names, const std::list<std::string>& selected);
    virtual bool restoreVSSBackup(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup);
    virtual bool restoreSnapBackup(SqlRestoreDbInfo_t& db, SqlAFilesPerBackup_t& backup);
    // Test environments (CSQLRestoreTestEnvironment.cpp).
    virtual bool createTestEnvironment(std::list<SqlRestoreDbInfo_t>& dbs, SqlRecoveryPointInfo_t* recoveryPoint);
    virtual bool CheckIfAllVolumesCanCreateTestClone(SMVolSnapInfo& record);
    virtual bool downloadMetadata(uint64_t snapJobId, uint64_t appId, uint64_t backupDomainId,
                                  GetArchFileInfoForSnapJob_Ret_t& archiveInfo);
    virtual bool downloadMetadata(uint64_t clientId, SqlSnapJobDetails_t& details,
                                  GetArchFileInfoForSnapJob_Ret_t& archiveInfo);
    virtual bool downloadMetadataFromIndexCache(uint64_t snapJobId, uint64_t appId, uint64_t backupDomainId,
                                                GetArchFileInfoForSnapJob_Ret_t& archiveInfo);
    virtual bool downloadMetadataFromIndex(uint64_t snapJobId, uint64_t appId, uint64_t backupDomainId,
                                           GetArchFileInfoForSnapJob_Ret_t& archiveInfo);
    virtual bool getDBInfoFromMetadata(std::string bcdPath, std::string writerPath, std::string folder,
                                       SQLPmn::AttachDBMsg& message,
                                       const std::map<std::string, SqlSMVolInfo>& volumes);
    virtual bool getDBFilePathsFromMetadata(std::string bcdPath, std::string writerPath, std::string database,
                                            std::vector<std::string>& paths);
    // Restore options and chains (the options and chain files).
    virtual bool getRestoreOptions();
    virtual bool getAFilesToRestore(bool unused, SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain);
    virtual bool getAFilesToRestoreForLiveSync(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain);
    virtual CWzError AddBackupInfoFromMountedShare(std::list<SqlRestoreDbInfo_t>& dbs);
    virtual bool getFFGAFileRestoreInfo(uint64_t restoreId);
    // SQL Server service control and user modes (CSQLRestoreService.cpp).
    virtual bool stopSSA();
    virtual bool startSSA();
    virtual bool stopSqlServer();
    virtual bool startSqlServer();
    virtual bool isSqlAgentServiceStopped();
    virtual void getNameofNamedInstance(std::string& name);
    virtual bool activateSingleUserMode();
    virtual bool activateMultiUserMode(SqlRestoreDbInfo_t& db);
    virtual bool isStopSSARequired(SqlRestoreDbInfo_t& db);
    virtual bool getAFilesForFFGRestore(std::list<SqlRestoreDbInfo_t>& dbs, std::list<std::string>& files,
                                        std::list<SqlFFGRestoreInfo_t>& infoList);
    virtual bool restoreFileFileGroups(std::list<SqlRestoreDbInfo_t>& dbs);
    virtual bool getAFileRestoreInfoList(std::list<uint64_t>& restoreIds, std::list<std::string>& files,
                                         std::list<SqlFFGRestoreInfo_t>& infoList);
    virtual bool getFFGAFileRestoreInfo(uint64_t restoreId, std::list<std::string>& files,
                                        std::list<SqlFFGRestoreInfo_t>& infoList);
    // The data-transfer thread of one backup and its progress interval.
    virtual bool transferData();
    virtual int64_t getUpdateIntervalSecs();
    virtual bool validateIfRevertPossible();
    virtual bool checkIfSystemDbsArePresent();
    virtual bool getBackupJobAppId(uint32_t type, uint64_t& jobId, uint64_t& appId, uint64_t& cellId,
                                   std::list<SqlAFilesPerBackup_t>& backups);
    virtual bool revertJob(uint64_t jobId, uint64_t cellId, uint64_t appId, std::list<std::string>& dbNames);
    virtual bool RevertJobV2(uint64_t jobId, uint64_t cellId, uint64_t appId, std::list<std::string>& dbNames);
    virtual bool generateRestoreMapFile(SqlRestoreDbInfo_t& db, bool snapshot);
    // Per-object status in the job results (CSQLRestoreStatus.cpp).
    virtual void SetRestoreStatus(std::string objectName, RESTORE_STATUS_STRING_MAPPING status);
    virtual void SetRestoreStatusForFFG(RESTORE_STATUS_STRING_MAPPING status);
    virtual bool attachToSQLServer();
    virtual bool getBCDAndWriterXML(std::string folder, std::string& bcdName, std::string& writerName);
    virtual bool addClonedDBsToDonotBackupSC(SQLPmn::AttachDBMsg& message);
    virtual bool downloadMetadata(std::string database, int kind, uint64_t jobId, SnapBackupInfo_t& info);
    virtual bool getAttachMessageForDB(SqlRestoreDbInfo_t db, std::string& xml);
    virtual bool CleanupSnapBackupRestoreOnSource(std::string databaseName, bool dropSource);
    virtual bool doCopyAndAttachDatabaseOnDestination(SqlRestoreDbInfo_t db);
    virtual bool CopyDatabaseFilesToDestination(SqlRestoreDbInfo_t db, std::string& errorText);
    // Out-of-place snapshot set-up shared by every job (CSQLRestoreSnapSetup.cpp).
    virtual void readSnapDestinationRestoreOptionsIfPresent();
    virtual bool isDatabaseFileStream(std::string fileName);
    virtual void CheckForMultiStreamRestore();
    virtual bool getAFilesForMountDatabase(SqlRestoreDbInfo_t db, std::list<SqlAFilesPerBackup_t>& chain,
                                           uint64_t instanceId, unsigned int toTime);
    virtual bool GetMountDrive(SMVolSnapInfo* info, std::string sourceVolume, std::string& mountedDrive);
    // Cloud restores do nothing on this platform (CSQLRestoreCloud.cpp).
    virtual bool restoreAzure();
    virtual bool restoreAws();
    virtual bool restoreOnpremToAws();
    virtual void GetAfilesForAllDatabases();
    virtual int getRestoreOptionsFromLiveBrowseRequest(databrowse::BrowseRequest* request);
    virtual int browseShareFolder(std::string folder);
    // The snapshot copy-restore handler's file call-backs, each one peer
    // request to the node that holds the file (CSQLRestoreSnapCallbacks.cpp).
    bool OnRestoreFile(uint64_t nodeId, SnapCopyIndexFileInfo* file, std::string& errorText) override;
    bool OnRestoreMultiFiles(uint64_t nodeId, std::vector<SnapCopyIndexFileInfo>* files,
                             std::string& errorText) override;
    bool OnCreateJRTempDirectory(uint64_t nodeId, std::string directory, std::string& errorText) override;
    uint64_t OnGetPhysicalFileSize(uint64_t nodeId, std::string filePath) override;
    bool OnGetFileStreamFiles(uint64_t nodeId, std::string folder, std::string pattern,
                              std::vector<std::string>& files, int& error) override;
    bool OnGetFileStreamFiles_V2(uint64_t nodeId, std::string folder, std::string pattern,
                                 SQLPmn::SqlGetFileStreamInfoRsp& reply) override;
    virtual bool TranslatePath(const char* sourcePath, std::string& mountPath, uint64_t unused,
                               std::string databaseName);
    // Live sync (CSQLRestoreLiveSync.cpp).
    virtual bool InitializeLiveSyncJob(EvRstTask& task, std::string& error);
    virtual bool UpdateDBLiveSyncStatus(std::string dbName);
    virtual bool GetSnapJobDetailsFromBackupList(uint32_t type, SqlSnapJobDetails_t& details,
                                                 std::list<SqlAFilesPerBackup_t>& backups);
    virtual void modifyRestoreOptions();
    // Clone environments (CSQLRestoreClone.cpp).
    virtual CWzError CheckIfDatabaseQualifiedForClone(CsqlDMO* dmo, SqlRestoreDbInfo_t* db);
    virtual CWzError GetSnapJobIdForDatabase(SqlRestoreDbInfo_t* db, uint64_t& snapJobId, uint64_t& backupDomainId);
    virtual CWzError OverwriteExistingDatabases(CsqlDMO* dmo, const std::string& attachXml);
    virtual CWzError GetCloneTaskOptions(EvRstTask& task, std::string& mountPath, int& reservationSeconds,
                                         uint64_t& proxyClientId);
    virtual CWzError GetSnapJobAndDatabaseList(std::list<SqlRestoreDbInfo_t>& dbs, CsqlDMO& dmo,
                                               std::string& skippedNames, uint64_t& snapJobId,
                                               uint64_t& backupDomainId, uint32_t& skippedCount);
    virtual CWzError PerformVssOperationForBLRestore(SqlRestoreDbInfo_t& db);
    virtual CWzError PerformVssOperationForSnapRestore(SqlRestoreDbInfo_t& db);
    virtual bool InitializeVssWriterForRecoveryPoints(SqlRestoreDbInfo_t& db, bool start);
    virtual bool restoreFromOnPremToAzureOrManagedAzure(std::string databaseName, std::string newName);
    virtual bool setupStagingForExport(std::string database, std::string& stagingInstance,
                                       std::string& stagingDatabase);
    virtual void handleExportFailure(std::string database, std::string stagingInstance,
                                     std::string stagingDatabase, bool dropped);
    virtual void cleanupDBFromStagingInstance(std::string database, std::string stagingInstance,
                                              std::string stagingDatabase);
    virtual bool updateByteTransferredInRestoreJobDetails(std::vector<unsigned long long>& lastCounts);
    // (the destructor takes its slots here)
    virtual bool MountDbSnap(databrowse::BrowseRequest* request, uint64_t& mountId);
    virtual bool RevertVSSSnap(GetArchFileInfoForSnapJob_Ret_t& archiveInfo, uint64_t id, std::string& error);
    virtual bool GetSnapBackupInfo(databrowse::BrowseRequest* request, SnapBackupInfo_t& info);
    virtual bool addClonedDBsToDonotBackupSC(const std::string& attachXml, uint64_t clientId, uint64_t instanceId);
    virtual bool removeClonedDBsFromDoNotBackupSC(const std::string& attachXml, uint64_t clientId);
    // Runs the whole job and reports its end (CSQLRestoreStart.cpp).
    virtual bool startRestore(RestoreOptionsParser& parser);
    virtual bool startAzureRestore(RestoreOptionsParser& parser);
    virtual bool startAwsRestore(RestoreOptionsParser& parser);
    // Recovery points (CSQLRestoreRecoveryPoint.cpp).
    virtual bool GetSnapshotInfoForCloneRequest(databrowse::BrowseRequest* request, SnapBackupInfo_t& info,
                                                EntitiesForCloneOperation& entities, bool flag);
    virtual bool PrepareRestoreOptionsForRP(databrowse::BrowseRequest* request);
    virtual bool GetSnapVolumeInformation(uint64_t snapJobId, EntitiesForCloneOperation& entities);
    virtual bool UpdateMountPathAndReserveTime(EntitiesForCloneOperation& entities, std::string mountPath,
                                               unsigned int reservationSeconds, bool apply);
    virtual bool CreateCloneForRecoveryPoint(EntitiesForCloneOperation& entities, std::string attachXml, bool apply);
    virtual bool GetBackupInformationFromRequest(SqlRestoreDbInfo_t& db);
    virtual bool CreateCloneEnvironment(std::list<SqlRestoreDbInfo_t>& dbs, SqlRecoveryPointInfo_t* recoveryPoint);
    virtual bool InitializeCloneOperation(databrowse::BrowseRequest* request, SqlRestoreDbInfo_t db, bool& appAware);
    virtual CWzError GetAttachXmlMessage(std::list<SqlRestoreDbInfo_t>& dbs, SQLPmn::AttachDBMsg& message,
                                         std::string& xml);
    virtual CWzError DoCloneOperation(std::string attachXml, uint64_t proxyClientId);
    virtual CWzError PerformDatabaseRestoreAfterLogReplay(SqlRestoreDbInfo_t& db, bool recover);
    virtual CWzError DoUserImpersonation(uint64_t clientId);

    // The status the job reported to the job manager at its end (one of
    // kJob*); 0 while it has reported none (initialisation failed).
    int getReportedJobStatus() const { return m_reportedJobStatus; }

    // ---- Order rule and helpers of the sequence ---------------------------
    // Orders databases by the job id of their full backup, oldest first.
    static bool SortDbInfoBackupJob(const SqlRestoreDbInfo_t& a, const SqlRestoreDbInfo_t& b);
    // Puts master, msdb and model first (each when present) and drops
    // tempdb when any of them is there.
    static void RectifyDBOrderForRestore(std::list<SqlRestoreDbInfo_t>& dbs);
    static bool isSystemDb_predicate(const SqlRestoreDbInfo_t& db);
    bool IsRestoreToDiskLogShipping() const;
    // Last restore points of restore-to-disk log shipping.
    CWzError RecordLastRestorePointForRTD(const std::string& db, unsigned long& point);
    CWzError GetLastRestorePointForRTD(const std::string& db, unsigned long& point);
    CWzError GetLastRestorePointForLiveSync(const std::string& db, std::string& info);
    // Live-sync dump restores: the central server's live-sync chain of a
    // database without the report of an empty one (the caller decides).
    bool FetchAFilesForLiveSync(const SqlRestoreDbInfo_t& db, std::list<SqlAFilesPerBackup_t>& chain);

protected:
    // The target name of a database: its new name, else its name.
    static std::string TargetName(const SqlRestoreDbInfo_t& db);
    // Whether the job-control client asked the job to stop.
    bool QuitRequested();
    // Logs that an operation of a restore this platform does not carry out
    // was asked for, and tells the job manager; answers false.
    bool NotAvailable(const char* operation);
    // The owner that files SQL Server writes must belong to (the setting
    // "sSQLServerUser", default "mssql").
    std::string SqlServerUser();
    // The job status the counters give when the sequence returned `result`
    // (which turns false when no database was restored).
    int JobStatusFromCounters(bool& result) const;
    // Closes the job results and reports the status (4 when the job manager
    // asked the job to stop); answers `result`.
    bool CompleteJob(int status, bool result);
    bool StartCloudRestore(RestoreOptionsParser& parser, bool azure);
    // Connects the management layer to the job's instance with the job's
    // SQL login.
    bool InitializeDmo(CsqlDMO& dmo);
    // The restore stage folder: the GUI's, the setting's, or the job-results
    // directory when neither is set or the chosen one does not exist.
    std::string ChooseStageFolder();
    // Switches of the data-transfer handler and the chain requests.
    void ReadIgnoreArchiveFileOffset();
    void ReadNzdstHandling();
    // Counters, per-object status and job-manager reports of one database
    // that failed, was left out because the job stops, or was skipped with a
    // critical pending cause.
    void RecordFailedDatabase(const std::string& target);
    void RecordSkippedDatabase(const std::string& target);
    void SkipDatabase(const std::string& target, int cause);
    // How a restore treats one backup of database `target`, decided for
    // every backup before anything is restored: the skip options first,
    // then what a revert brought back, then the backup methods this platform
    // cannot restore (snapshot and VSS), then the nSQLRestoreFilter setting
    // (`restoreFilter`, a backup type).
    enum class ChainStep {
        kRestore,
        kSkipFull,
        kSkipOnlyFull,
        kRestoredFullByRevert,
        kRestoredDiffByRevert,
        kUnsupported,
        kFiltered
    };
    ChainStep ChainStepOf(const std::string& target, const SqlAFilesPerBackup_t& backup, int64_t restoreFilter) const;
    // Logs that `backup`, a kUnsupported step, cannot be restored here.
    void ReportUnsupportedBackupMethod(const SqlAFilesPerBackup_t& backup);
    // The final recovery of a restored chain (by instance version and
    // database); answers the database's result.
    bool FinalRecovery(SqlRestoreDbInfo_t& db, const std::string& target, bool chainResult);
    // Runs a service command through the process runner: its exit code
    // (-1 when it could not run) and its output.
    int RunServiceCommand(const std::string& command, std::string& output);
    // A data-transfer thread that did not end within its bound after it was
    // stopped is left running: the job lets go of it and of its handler and
    // engine, and restores nothing more (the remaining databases are
    // skipped).
    bool TransferLeftRunning() const { return m_transferLeftRunning != nullptr; }
    // Waits at most `platformMs` for a transfer thread left running to end;
    // true when it has ended or there is none.
    bool WaitForTransferLeftRunning(uint64_t platformMs);
    // Keeps `object` alive for as long as the transfer thread left running
    // may use it.
    void HandToTransferLeftRunning(std::shared_ptr<void> object);
    // Records that the database `target` did not reach the state the job
    // asked for (`state`), with `reason`, for the log and the job manager.
    void ReportStateNotReached(const std::string& target, const char* state, const char* reason);
    // End of the loop: unmounts, closes the pipeline, detaches the clients.
    void FinishRestoreLoop();
    // The loop's file or file-group restore of the whole list, with its
    // job-manager reports and per-object statuses.
    bool RestoreFilesOfDatabase(std::list<SqlRestoreDbInfo_t>& dbs, const std::string& target);
    // Restore map files (CSQLRestoreMapFile.cpp): the job's file of that
    // suffix in its job-results directory; opening one emptied or at its end.
    std::string RestoreMapFileName(const char* suffix) const;
    bool OpenRestoreMapFile(JXFile& file, const std::string& path, bool empty);
    bool CloseRestoreMapFile(JXFile& file, const std::string& path);
    // Mounts of snapshots and test environments (CSQLRestoreMount.cpp):
    // points each file of every database of an attach request at the mounted
    // copy of the volume of `snaps` with the longest source path that holds
    // it (that path and a "/" begin the file's path, compared exactly; the
    // rest of the path follows the mount path) and adds each database's name to the entry of
    // `volumes` of every volume that holds its files (keyed by source path,
    // or by the volume id in decimal when `byVolumeId`). False, changing
    // nothing, when a file lies on no mounted volume.
    bool MapAttachRequestToMounts(SQLPmn::AttachDBMsg& message, const SMVolSnapInfo& snaps,
                                  std::map<std::string, SqlSMVolInfo>& volumes, bool byVolumeId);

    // Checks the entries of a file or file-group restore: each names a file
    // or file group, and all name one database (returned); a bad list is
    // logged and reported to the job manager.
    bool CheckFileGroupEntries(const std::list<SqlRestoreDbInfo_t>& dbs, std::string& database);
    // Out-of-place snapshot move (CSQLRestoreCopyAttach.cpp): detaches the
    // restored database `target` from the instance the restore went to and
    // has doCopyAndAttachDatabaseOnDestination bring it to the snapshot
    // destination; a database that does not arrive there is attached back
    // where it was. False when the database did not move.
    bool MoveDatabaseToSnapDestination(SqlRestoreDbInfo_t db, const std::string& target);
    // Records a database whose move failed (status failed, `text` for the
    // user, critical event); the restore loop counts it.
    void ReportMoveFailure(const std::string& name, const std::string& text);

    SqlRestoreTaskOptions_t m_restoreOptions;
    std::list<SqlRestoreDbInfo_t> m_restoreDbList;
    bool m_isLastBackupOfChain = false;
    bool m_isFirstBackupOfChain = false;
    SqlFFGRestoreInfo_t m_ffgRestoreInfo;
    // Names of a file or file-group restore that name files for certain
    // (entries of three parts); the others are file groups when the backup
    // has a group of that name.
    std::set<std::string> m_ffgFileNames;
    bool m_stopSqlAgent = false;
    bool m_stopSqlServer = false;
    bool m_singleUserMode = false;
    bool m_revertRestore = false;
    bool m_fullRestoredByRevert = false;
    bool m_diffRestoredByRevert = false;
    bool m_restoreToDisk = false;
    std::string m_dumpLocation;
    bool m_verifyOnly = false;
    bool m_restoreToDiskAttach = false;
    std::string m_skipBackupTypes;
    bool m_snapStagedOnSource = false;
    bool m_snapCopyToDestination = false;
    SqlSnapFileMapInfo_t m_snapFileMap;
    uint64_t m_nzdstHandling = 0;
    uint64_t m_disableAuxCopyRestore = 0;
    uint64_t m_disableRestoreOptimization = 0;
    bool m_cloneEnvironment = false;
    uint64_t m_updateIntervalSecs = 0;
    bool m_multiStreamRestore = true;
    bool m_vsaBackupMount = false;
    bool m_azureRestoreJob = false;
    bool m_awsRestoreJob = false;
    SnapCopyRestoreHandler m_snapCopyRestoreHandler;
    std::map<std::string, SqlSMVolInfo> m_mountedVolumeMap;
    SMVolSnapInfo m_mountedSnapInfo;
    bool m_applessRestore = false;
    bool m_liveSyncRestore = false;
    std::map<std::wstring, App::LiveSyncReplicationInfo> m_liveSyncReplicationInfo;
    bool m_impersonated = false;
    uint64_t m_totalBytesToRestore = 0;
    bool m_appendRestartInQuery = false;
    uint32_t m_singleUserServerPid = 0;
    bool m_destinationAzure = false;
    bool m_destinationAzureManaged = false;
    bool m_destinationAws = false;

    // Job-context counters of this job's databases (they decide the status).
    uint64_t m_failedDbCount = 0;
    uint64_t m_restoredDbCount = 0;
    // Set when a restore or recovery failed in a way that must stop the job
    // after the current database ("System.IO.FileNotFoundException").
    bool m_stopJob = false;
    // The transfer thread the job let go of (null while there is none), and
    // whether the last transfer was stopped because it moved no data for the
    // VDI time-out (reported by the transfer itself).
    std::shared_ptr<RestoreTransferRun> m_transferLeftRunning;
    bool m_transferStalled = false;
    // The instance's date format (1 month-day-year, 2 day-month-year, other
    // year-month-day), read before the databases are restored.
    uint64_t m_dateFormat = 0;
    int m_reportedJobStatus = 0;
    // Set once this job's restore map file was emptied; later databases append.
    bool m_restoreMapFileStarted = false;

    // ---- Revert to snapshot (CSQLRestoreRevert.cpp) ------------------------
    // Sets up the job's data-transfer handler for a restore loop: direction,
    // job identity, clients, stage folder and switches.
    void SetUpTransferHandler();
    // Reverts the databases `dbNames` to snapshot job `jobId` through the
    // snapshot copy-restore handler and records which ones came back.
    bool RevertThroughHandler(uint64_t jobId, uint64_t cellId, uint64_t appId, std::list<std::string>& dbNames);
    // Whether `backup` of database `target` was brought back by a revert
    // (its job was reverted for that database), so the chain skips it.
    bool RestoredByRevert(const std::string& target, const SqlAFilesPerBackup_t& backup) const;
    // Starts SQL Server again when the revert stopped it.
    void RestartSqlServerAfterRevert();
    // Fails each of `names`, naming the instance to the job manager, when
    // SQL Server could not be stopped for a revert of system databases.
    void FailRevertServiceNotStopped(const std::list<std::string>& names);
    // The databases each reverted snapshot job brought back, by job id.
    std::map<uint64_t, std::set<std::string, InsensitiveCompare>> m_revertedDatabases;

    // ---- Snapshot writer metadata (CSQLRestoreVss.cpp) ---------------------
    // Finds under `folder` the backup-components and writer metadata files
    // of the full backup in the chain of `db`.
    CWzError GetXmlFilePathsForVssRestore(std::string folder, SqlRestoreDbInfo_t& db, std::string& bcdPath,
                                          std::string& writerPath);

    // ---- Clones, test environments and recovery points --------------------
    // Databases the overwrite pass of a clone detached (name -> its files),
    // so that a clone failing afterwards attaches them back; and the mount
    // path under which a database must lie for that pass to detach it.
    std::map<std::string, std::vector<std::string>> m_cloneDetachedDatabases;
    std::string m_cloneMountPath;
    // The job controller a recovery point makes for itself (it has no job
    // registration to take one from).
    std::shared_ptr<JXJobCtrlClient> m_recoveryPointJobControl;
    // Detaches the databases the attach request names that already exist on
    // `instance`; only those whose files all lie under the clone mount path
    // (earlier clones there) may go, any other one fails the pass.
    CWzError DetachOverwrittenClones(CsqlDMO& dmo, const SQLPmn::AttachDBMsg& request);
    // Attaches back what DetachOverwrittenClones detached (a clone failed).
    void AttachBackOverwrittenClones(CsqlDMO& dmo, const std::string& instance);
    // After a clone's databases are attached: the job's counts, their
    // per-object statuses (unless for a recovery point) and the
    // "Do Not Backup" registration.
    void RecordAttachedClones(SQLPmn::AttachDBMsg& message, bool recoveryPoint);
    // Connects `dmo` to the destination instance of the restore options.
    bool InitializeDestinationDmo(CsqlDMO& dmo);
    // The reservation of a browse clone in seconds, from its days and hours;
    // false, logging both values, when either is negative or the total
    // exceeds the largest int.
    bool ReservationSeconds(int64_t days, int64_t hours, int& seconds);
    // Keeps of `dbs` those that qualify for a clone and gives their one
    // snapshot job; when none is found, or several, logs why and raises the
    // pending cause.
    bool SelectCloneDatabases(std::list<SqlRestoreDbInfo_t>& dbs, CsqlDMO& dmo, uint64_t& snapJobId,
                              uint64_t& backupDomainId);
    // Readies the snapshot copy-restore handler for a clone of `dbs` from
    // snapshot job `snapJobId`: initialised, the metadata downloaded into
    // its folder in the job results, the volumes known.
    bool PrepareCloneHandler(const std::list<SqlRestoreDbInfo_t>& dbs, uint64_t snapJobId, uint64_t backupDomainId);
};
