// The job manager's cause and event codes: every pending cause and job
// event the SQL agent raises, in one table.
//
// A job that fails tells the job manager why with a pending cause, a message
// id of the message catalogue raised together with a critical event
// (setPendingCauseAndCriticalEvent); a job that only reports something raises
// an information, minor, major or critical event under a message id of the
// same catalogue. The catalogue holds the text shown to the user; the texts
// a raiser gives the job client first (operator<<) fill its arguments, listed
// here as "Arguments:".
//
// Names: kCause... for a code that is raised as a pending cause somewhere,
// kEvent... for a code only ever raised as an event. Codes are grouped by the
// subsystem that raises them; a code several subsystems raise stands with its
// first raiser and names the others.
//
// Codes are fixed by the message catalogue: never renumber one, and never
// give a code a second name (SqlJobCausesTest checks that). This is another
// numbering than the message codes of SqlMessageCodes.h: a cause may have the
// same value as a request code.
#pragma once

// ======================================================================
// Any job
// ======================================================================

// The event type every pending cause of the agent is raised with (the other
// event arguments are zero or false).
inline constexpr int kPendingCauseEventType = 300;

// A free-text event: the text given first is the whole message. Also the
// pending cause of a live-sync restore whose set-up failed.
inline constexpr int kCauseFreeText = 0x48000036;

// ======================================================================
// Job start: registration, properties, instance (jobbase)
// ======================================================================

// The job's results directory is not accessible (registration refused).
// Also raised by the restore when the undo path is not accessible to SQL
// Server. Arguments: none (registration), the undo path (restore).
inline constexpr int kCauseDirectoryNotAccessible = 0x1E000193;

// The subclient's properties or content could not be read from the central
// server (job start, backup start's block-level property, the collect step,
// the file/file-group content, the restore's job set-up). Arguments: none.
inline constexpr int kCauseSubclientProperties = 0x1E00012F;

// No instance object for the job's application. Arguments: application
// number, backup-domain id.
inline constexpr int kCauseNoInstance = 0x1E000132;

// The instance's server type, name or version could not be read.
// Arguments: instance id.
inline constexpr int kCauseInstanceProperties = 0x1E000133;

// The application's instance id is 0, or its availability group could not
// be read. Arguments: application number, backup-domain id.
inline constexpr int kCauseInstanceId = 0x1E000134;

// The SQL user could not be impersonated. Arguments: the user text.
inline constexpr int kCauseImpersonation = 0x1E000149;

// The SQL Server service of the instance is not running or its version is
// unknown (job start, backup start, the integrity check's instance, restore
// options). Arguments: instance name.
inline constexpr int kCauseSqlServerNotRunning = 0x1E00014C;

// The central server's host name is not in the settings. Arguments:
// "jxserver hostname", "Base".
inline constexpr int kCauseCentralServerHostName = 0x1E000137;

// The job token holds no phase and attempt. Arguments: the text saying so.
inline constexpr int kCauseMalformedJobToken = 0x1E000196;

// ======================================================================
// Backup start (backup)
// ======================================================================

// The virtual-server environment variable could not be set. Arguments:
// instance name.
inline constexpr int kCauseVirtualServerName = 0x1E000136;

// A replication (LREP/LREPVSA) subclient asked for a differential phase.
// Arguments: none.
inline constexpr int kCauseReplicationDiff = 0x1E000180;

// A block-level subclient asked for a differential phase. Arguments: none.
inline constexpr int kCauseBlockLevelDiff = 0x1E000190;

// Information: the VSS service is not running. Arguments: none.
inline constexpr int kEventVssDown = 0x1E00012D;

// The VSS service is down on a block-level subclient. Arguments: none.
inline constexpr int kCauseVssDownBlockLevel = 0x1E00018F;

// ======================================================================
// Collect step: collect file, on-demand list, auto-discovery (backup, dump)
// ======================================================================

// Auto-discovery of the subclient's databases failed. Arguments: none.
inline constexpr int kCauseAutoDiscoverFailed = 0x1E00012E;

// A job file could not be opened, created or written: the collect file
// being written, the on-demand list, the stream-info file. Arguments: the
// file's path.
inline constexpr int kCauseJobFileOpen = 0x1E00017A;

// A database line could not be written to the collect file. Arguments:
// database name and path, or the path.
inline constexpr int kCauseCollectFileWrite = 0x1E000130;

// The collect file could not be opened for reading. Arguments: the path.
inline constexpr int kCauseCollectFileRead = 0x1E000138;

// The collect file names no database. Arguments: none.
inline constexpr int kCauseCollectFileEmpty = 0x1E00015D;

// The plug-in's collect found no database. Arguments: none.
inline constexpr int kCauseNoDatabases = 0x1E000188;

// Major event: the on-demand collect found no database. Arguments: the
// collect file's path.
inline constexpr int kEventOnDemandCollectEmpty = 0x1E00018B;

// The task's data could not be had or processed: the on-demand file list
// could not be retrieved from the task, or the data of staged log dumps
// could not be processed. Arguments: a text saying which.
inline constexpr int kCauseTaskData = 0x1E000099;

// No connection to the SQL Server instance. Arguments: none.
inline constexpr int kCauseSqlConnect = 0x1E000139;

// Information: a database on a secondary replica was skipped (only log
// backups run there). Arguments: database name.
inline constexpr int kEventSecondaryReplicaSkipped = 0x1E000166;

// Information: a database was skipped, this is not its preferred replica.
// Arguments: database name.
inline constexpr int kEventNotPreferredReplica = 0x1E000167;

// ======================================================================
// Backup of the databases: loop, VDI stream, backup set (backup)
// ======================================================================

// The job manager told the job to stop, or the central server refused the
// clean-up of a restarted job. Arguments: backup level name.
inline constexpr int kCauseJobTerminated = 0x1E00013A;

// The data pipeline to the media agent was not set up; also a job that
// completes with any status but success. Arguments: none, or the backup
// level name (completion).
inline constexpr int kCausePipelineSetup = 0x1E00013C;

// The VDI engine could not be set up. Arguments: none.
inline constexpr int kCauseVdiSetup = 0x1E000142;

// The VDI engine timed out (backup and restore). Arguments: instance name,
// and the database name in a backup.
inline constexpr int kCauseVdiTimeout = 0x1E00012C;

// The transfer failed for another reason. Arguments: the error text.
inline constexpr int kCauseTransfer = 0x1E000145;

// The central server refused the backup-set record. Arguments: database
// name.
inline constexpr int kCauseBackupSetRefused = 0x1E000140;

// The backup-set exchange found the log chain broken: the code the exchange
// returns, raised as the pending cause when a broken chain is not promoted.
// Arguments: database name.
inline constexpr int kCauseBrokenChain = 0x1E00014D;

// Information: a database of a broken chain was converted to full.
// Arguments: none.
inline constexpr int kEventBrokenChainConverted = 0x1E00017D;

// The log marks were not accepted. Arguments: database name.
inline constexpr int kCauseLogMarks = 0x1E000146;

// The database id could not be read; the backup goes on. Arguments:
// database name.
inline constexpr int kCauseDatabaseId = 0x1E00014A;

// The file/file-group content of a subclient is invalid (no database, or a
// listed file or file group missing). Arguments: database name.
inline constexpr int kCauseFileGroupContent = 0x1E00014B;

// The SQL tables could not be updated after a snapshot backup. Arguments:
// database name.
inline constexpr int kCauseHistoryUpdate = 0x1E000141;

// The staging folder of log dumps is unavailable. Arguments: the setting
// that names it.
inline constexpr int kCauseStageFolder = 0x1E000186;

// Information: databases without log dumps. Arguments: their names, comma
// separated.
inline constexpr int kEventNoLogDumps = 0x1E000185;

// The backup statement or its finalising failed: the cause chosen by the
// VDI library's error code, and the one for any other code.
inline constexpr int kCauseBackupError1 = 0x1E0001AC;        // code 1; arguments: instance name
inline constexpr int kCauseBackupError3049 = 0x1E0001AD;     // arguments: database name
inline constexpr int kCauseBackupError3203 = 0x1E0001AE;     // arguments: database name
inline constexpr int kCauseBackupError207 = 0x1E0001AF;      // codes 207 and 4615; arguments: none
inline constexpr int kCauseBackupError1105 = 0x1E0001B0;     // arguments: instance name
inline constexpr int kCauseBackupErrorTimeout = 0x1E0001B1;  // code -2; arguments: none
inline constexpr int kCauseBackupFailed = 0x1E000144;        // any other code; arguments: none

// ======================================================================
// Backup-type conversion (backup): information and minor events, each
// carrying the backup type and the database name
// ======================================================================

inline constexpr int kEventMasterConverted = 0x1E000156;       // master is backed up full only
inline constexpr int kEventDatabaseRecreated = 0x1E000100;     // newer creation time than last backed up
inline constexpr int kEventFirstBackup = 0x1E0000FE;           // first backup in this subclient
inline constexpr int kEventBackupOutsideProduct = 0x1E0000FF;  // a backup was made elsewhere
inline constexpr int kEventSimpleToDiff = 0x1E000110;          // SIMPLE recovery model: differential
inline constexpr int kEventBrokenChainToFull = 0x1E000128;     // the log chain is broken
inline constexpr int kEventContentChanged = 0x1E000104;        // subclient content changed
inline constexpr int kEventPointInTimeRestored = 0x1E000127;   // a point-in-time restore was done
inline constexpr int kEventSystemDbRestored = 0x1E000126;      // a system database was restored
inline constexpr int kEventFilesChanged = 0x1E000103;          // file/file-group content changed
inline constexpr int kEventRecoveryModelChanged = 0x1E000160;  // the recovery model changed
// Minor event: a database has as many log backups as the threshold allows.
// Arguments: database name, count.
inline constexpr int kEventLogCount = 0x1E00014F;

// ======================================================================
// Integrity check of snapshots (backup, local and on a proxy)
// ======================================================================

// Information: the check passed. Arguments: job id.
inline constexpr int kEventIntegrityCheckPassed = 0x1E000171;
// The check failed: critical event (remote), information event (local).
// Arguments: job id.
inline constexpr int kEventIntegrityCheckFailed = 0x1E000172;
// The proxy could not impersonate its account. Arguments: the error text.
inline constexpr int kCauseProxyImpersonation = 0x1E000173;
// The check instance's SQL Server service is not running. Arguments:
// instance.
inline constexpr int kCauseCheckServiceDown = 0x1E00016C;
// The integrity check is not configured for the subclient. Arguments: own
// client name.
inline constexpr int kCauseCheckNotConfigured = 0x1E00016D;
// The program could not be started on the proxy. Arguments: proxy host.
inline constexpr int kCauseProxyLaunch = 0x1E000169;
// The init or data record could not be sent. Arguments: proxy host.
inline constexpr int kCauseCheckSend = 0x1E00016E;
// The proxy's host name is unknown. Arguments: the call that failed.
inline constexpr int kCauseProxyHostName = 0x1E000170;
// A database could not be attached, is missing after the attach, or none
// was attached. Arguments: database name or list of names.
inline constexpr int kCauseCheckAttach = 0x1E00016A;
// The check instance is older than the source. Arguments: versions and
// instance.
inline constexpr int kCauseCheckVersionTooOld = 0x1E000174;
// Database files are missing on the mounted snapshots. Arguments: paths.
inline constexpr int kCauseCheckFilesMissing = 0x1E00016B;
// DBCC failed for a database. Arguments: the error text.
inline constexpr int kCauseDbcc = 0x1E000175;
// A database could not be detached: pending cause (clean-up), information
// event (final detach). Arguments: instance.
inline constexpr int kCauseCheckDetach = 0x1E00016F;

// ======================================================================
// Restore (restore, dump)
// ======================================================================

// A restore or its recovery failed, or the job context is not available.
// Arguments: the error text.
inline constexpr int kCauseRestoreFailed = 0x1E00012B;

// The restore chain holds no archive file. Arguments: database name.
inline constexpr int kCauseNoArchiveFiles = 0x1E000150;

// A file/file-group restore found no archive files. Arguments: database
// name.
inline constexpr int kCauseNoFileGroupArchiveFiles = 0x1E000147;

// The current log must be backed up before a file/file-group restore.
// Arguments: the text saying so.
inline constexpr int kCauseLogTailNotBackedUp = 0x1E0000F4;

// Connections to the target database could not be dropped. Arguments:
// database name.
inline constexpr int kCauseDropConnections = 0x1E000161;

// The instance's version could not be read. Arguments: instance name.
inline constexpr int kCauseNoInstanceVersion = 0x1E00015C;

// The target database exists and overwrite was not chosen. Arguments: the
// text saying so.
inline constexpr int kCauseDatabaseExists = 0x1E000151;

// The target database is in an availability group. Arguments: database
// name.
inline constexpr int kCauseInAvailabilityGroup = 0x1E000168;

// A system database cannot be restored to a managed cloud instance.
// Arguments: database name.
inline constexpr int kCauseSystemDbToManagedInstance = 0x1E0001AA;

// A restore directory could not be made or its owner found (restore, dump
// restore). Arguments: directory, system error, database name.
inline constexpr int kCauseRestoreDirectory = 0x1E000194;

// The restore directory is not accessible to SQL Server. Arguments: the
// directory.
inline constexpr int kCauseRestoreDirectoryNotAccessible = 0x1E0001A6;

// A standby restore has no undo path. Arguments: none.
inline constexpr int kCauseNoUndoPath = 0x1E0001B7;

// No space for the undo file. Arguments: the undo path.
inline constexpr int kCauseNoSpaceForUndo = 0x1E0001B6;

// The central server has no options for the job's restore task (an
// unknown task id) or could not give them. Arguments: the logged text.
inline constexpr int kCauseRestoreOptionsUnavailable = 0x1E0001C0;

// Warning: a dump mount could not be unmounted and stays for a later try.
// Arguments: its folder.
inline constexpr int kEventMountLeftBehind = 0x1E0001B8;

// Information: SQL Server's messages of a verify-only restore. Arguments:
// database name, the messages.
inline constexpr int kEventVerifyMessages = 0x1E000179;

// Information: the stage folder chosen in the console wins over the
// setting. Arguments: the setting's name.
inline constexpr int kEventStageFolderFromGui = 0x1E00018E;

// A live-sync database failed or was skipped. Arguments: the text saying so.
inline constexpr int kCauseLiveSyncDatabase = 0x1E000125;

// ======================================================================
// Snapshot restores: clone, test environment, revert, attach (restore)
// ======================================================================

// No database has a valid full snapshot job. Arguments: none.
inline constexpr int kCauseNoSnapJob = 0x1E000163;
// The databases come from different snapshot jobs. Arguments: none.
inline constexpr int kCauseSeveralSnapJobs = 0x1E000164;
// The databases to revert are not in one full snapshot job. Arguments: none.
inline constexpr int kCauseNotOneFullSnapJob = 0x1E000157;
// The snapshot metadata could not be downloaded. Arguments: none.
inline constexpr int kCauseMetadataDownload = 0x1E0001A9;
// The clones could not be attached. Arguments: the error text.
inline constexpr int kCauseCloneAttach = 0x1E0001B5;
// Information: databases could not be added to the do-not-back-up list.
// Arguments: their names.
inline constexpr int kEventDoNotBackupNotUpdated = 0x1E00017C;
// Information: no database could be detached before an attach. Arguments:
// none.
inline constexpr int kEventNothingDetached = 0x1E00017E;
// Information: a database could not be attached. Arguments: the last
// failed database's name.
inline constexpr int kEventAttachFailed = 0x1E00017F;

// ======================================================================
// Request service and central-server client (event log, no job)
// ======================================================================

// Critical event: database auto-discovery failed. Arguments: three texts
// naming the request and its failure.
inline constexpr int kEventAutoDiscoverFailed = 0x1E0000F7;

// Critical event: a login could not be verified. Arguments: instance name,
// user name.
inline constexpr int kEventLoginFailed = 0x1E0001A8;
