// CSQLCommon: the job context every backup and restore job shares.
//
// It is the virtual base of every job class (through CSQLBase), so one job
// object holds exactly one. It keeps the job's identities, the job-manager
// clients that registration hands out, the SQL Server instance's name, type,
// version and credentials, the VDI tunables and a set of per-job switches,
// and offers the instance, service, credential, folder and file services the
// job classes share.
//
// Calling order: construct; an availability-group child sets m_isAGChild and
// m_pMasterConnection; call initializeBackup or initializeRestore once before
// anything that needs the job manager; then quit() and the services in any
// order. Until initialisation the job-manager links are null and the
// operations that need them answer as if nothing was found.
//
// The job base starts no thread and takes no lock; a job object is used on
// its program's thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "JXAppMgr/ApplicationId.h"
#include "JXAppMgr/ChangeRefTime.h"
#include "JxLib/EvEvent.h"
#include "JxSQLCommon/jobbase/SQLGenericOptionSettings.h"
#include "JxSQLCommon/jobbase/SQLSwitchSettings.h"
#include "WzUtils/CWzError.h"

class BackupOptionsParser;
class RestoreOptionsParser;
class CJxNetwork;
class JobRegistration;
class JXBkpJobClient;
class JXJobClient;
class JXJobCtrlClient;
class SqlRstJobClient;
class StoreResults;
namespace SQLPmn {
class AttachDBMsg;
}  // namespace SQLPmn

// Kind of restore link CreateRestoreObject makes: bit 0 set also creates the
// wrapped job-manager client.
enum SQL_RST_JOB_CLIENT_TYPE { SQL_RST_JOB_CLIENT_LINK_ONLY = 0, SQL_RST_JOB_CLIENT_CREATE = 1 };

// The SQL subclient kinds that getSubclientType accepts.
enum eSubClientTypes : unsigned int {
    SUBCLIENT_TYPE_NONE = 0,
    SUBCLIENT_TYPE_1 = 1,
    SUBCLIENT_TYPE_2 = 2,
    SUBCLIENT_TYPE_3 = 3,
    SUBCLIENT_TYPE_4 = 4,
};

class CSQLCommon {
public:
    static const std::string FULLCOLLECTFILENAME;  // "FullDBList.jxf"
    static const std::string COLLECTFILEMAP;       // "CollectFileMap.jxf"
    // The collect file in use: the backup job sets it per phase.
    static std::string COLLECTFILENAME;            // "" until then

    CSQLCommon();
    virtual ~CSQLCommon();
    CSQLCommon(const CSQLCommon&) = delete;
    CSQLCommon& operator=(const CSQLCommon&) = delete;

    // ---- Virtual operations, in slot order --------------------------------
    // Nothing is impersonated on this platform: true.
    virtual bool jxImpersonateUser(std::string& userName);
    // Closes the job-results file; false without a job-results object.
    virtual bool closeJobResults();
    // Backup registration and set-up (CSQLCommonBackupInit.cpp). The
    // registered flag turns true once the job manager knows the job, so a
    // caller can tell whether the failure was reported to it. The first form
    // drops the flag.
    virtual bool initializeBackup(BackupOptionsParser& parser);
    virtual bool initializeBackup(BackupOptionsParser& parser, bool& registered);
    // Restore registration and the restore link (CSQLCommonRestoreInit.cpp).
    virtual bool initializeRestore(RestoreOptionsParser& parser);
    // 'D' here; the backup job answers by its phase.
    virtual char getSqlBackupType(bool detailed);
    // The decimal value of the restart string (0 when empty; stops at the
    // first non-digit).
    virtual uint64_t getCollectFileOffset();
    virtual bool isUpdateInstanceVersionNeeded();
    // True, id unchanged; the job base with a catalogue answers properly.
    virtual bool getDatabaseId(std::string databaseName, uint64_t& id);
    // True only when "systemctl status mssql-server" exits with 0 and says
    // "running" (this platform has one SQL Server service).
    virtual bool isSqlServerRunning(std::string instanceName);
    virtual bool ProxySweep() const;
    virtual bool CallGetAgentDirectory() const;
    // Creates the restore link on first use (later calls keep it).
    virtual CWzError CreateRestoreObject(SQL_RST_JOB_CLIENT_TYPE clientType);

    // ---- Job state --------------------------------------------------------
    // Whether the job manager asked the job to stop (false before
    // registration).
    bool quit();
    std::wstring getUserName() const { return m_userName; }
    std::wstring getPassword() const { return m_password; }
    std::wstring getDomain() const { return m_domain; }
    void setBufferSize(uint64_t size) { m_bufferSize = size; }
    uint64_t getBufferSize() const { return m_bufferSize; }
    uint32_t getVDIBufferCount() const { return m_vdiBufferCount; }
    uint32_t getVDIBlockSize() const { return m_vdiBlockSize; }
    uint32_t getVDIMaxTransferSize() const { return m_maxTransferSize; }
    bool doMarkSkippedItemFailed() const { return m_markSkippedItemFailed; }
    // The VDI time-out retry limit set up at registration (at least 3).
    uint32_t GetVDITimeoutRetryCountLimit() const { return m_vdiTimeoutRetryLimit; }
    // Backup phase 1 -> 1, 2 -> 2, 3 -> 4, anything else -> 1.
    int getBkpType() const;
    bool isRestartJob() const { return m_attempt >= 2; }
    // The largest number in the restart string the job manager holds (pieces
    // "-o" skipped); 0 when there is none or no job client.
    uint64_t getCurrentCollectOffset();
    // Appends the database name as one line of the job-results file.
    void logDatabaseBackupStatus(const std::string& databaseName, bool unused, bool count);
    int removeDBFromJobResults(const std::string& databaseName);
    void cleanup(int);
    static std::string convertIDToString(int id);
    static std::string convertIDToString(uint64_t id);
    static void getErrorDescription(const int& errnoValue, std::string& text);

    // ---- Backup set-up helpers (CSQLCommonBackupInit.cpp) -----------------
    // Reads the mark-skipped-failed switch.
    void doLoadBackupConfigs();
    // How the backup was started: 1 by default, 2 and 4 for the task's
    // initiated-from codes 6 and 2, 3 when the plug-in option is set.
    int GetInitiatedFrom(uint64_t jobId, bool skip);
    // Optional headers go to the media agent unless "disableOptionalHeader"
    // is exactly 1.
    bool isSendOptionalHeaderEnabled();
    // "listener/group[/...]" becomes "group/listener" in
    // m_virtualInstanceName; false (name unchanged) without a "/".
    bool reformattingVirtualInstanceName(std::string& name);

    // ---- Credentials (CSQLCommonInstanceServices.cpp) ---------------------
    void setUserName(const std::string& loginName);
    // "user@domain" is a user name as a whole (domain kept); "domain/user"
    // splits at the first "/"; anything else has the domain ".".
    static void parseUserName(const std::string& loginName, std::wstring& domain, std::wstring& user);
    // Decodes a stored password; an empty text clears it, an undecodable one
    // keeps the previous password.
    void setPassword(const std::string& encrypted);

    // ---- Services and instance --------------------------------------------
    bool getServiceName(const std::string& instanceName, std::string& serviceName);
    bool getAnalysisServiceName(const std::string& instanceName, std::string& serviceName);
    bool isSqlAnalysisServerRunning(const std::string& instanceName);
    bool getServiceStatus(const char* serviceName, uint64_t& state);
    bool isSQLEnterpriseEdition();
    bool isSQLStandardEdition();
    bool isSQLBIEdition();
    bool isSQLDeveloperEdition();
    bool isSQLDataCenterEdition();
    static std::string parseInstanceName(const std::string& name);
    static std::string parseInstanceName(const char* name);
    std::string getServerTypeForBackup(uint64_t jxCellId, uint64_t appNumber);
    std::string getServerTypeForRestore(uint64_t jobId);
    bool isClientAlsoJxServer();
    static bool isJxServerInstance(const std::string& instanceName);
    bool getClientInfo(uint64_t& clientId, std::string& hostName);
    bool getMangledClientName(std::string& hostName, uint64_t clientId);
    bool getSubclientType(eSubClientTypes& type);
    bool GetUserNameInCurrentThread(std::string& name);
    void displayError();

    // ---- Switches and versions --------------------------------------------
    bool IsKeepStagedFilesSet();
    bool isSkipSharepointContentDB();
    bool IsTransportableSnapshotEligible();
    int GetIndexingVersion(uint64_t entityId, uint64_t entityType);
    int GetClientIndexingVersion(uint64_t clientId, uint64_t timeSeconds);
    static std::string getGUID();
    // Adds to `message` the databases (name and source file paths) that the
    // snapshot's backup-components file lists, after reading its writer file
    // (CSQLCommonSnapMetadata.cpp). False, with nothing added, when a file
    // cannot be read or holds a malformed entry: no name, too many files, a
    // path that is not absolute or has "." or ".." levels.
    bool getAttachMsgFromMetadata(std::string componentFile, std::string writerFile, SQLPmn::AttachDBMsg& message,
                                  std::string jobTag);

    // ---- Folders and files (CSQLCommonFolderServices.cpp) -----------------
    // The job-results staging folder <dir>/JX_JobResults/Pelmanode/MSSQLAgent/
    // <id1>/<id2>, created as needed: 0 success, 1 failure.
    uint64_t GetJobresultsDir(std::string& path, uint64_t id1, uint64_t id2);
    // Regular files of `folder` matching `pattern` (shell wildcards), each as
    // folder + "/" + name; false with an error text when it cannot be listed.
    bool populateFiles(std::string folder, std::string pattern, std::vector<std::string>& files,
                       std::string& errorText);
    // Files of `folder` whose names match `filter`, with sub-folders when
    // `recurse`; false when a folder cannot be listed.
    bool GetAllFilesInFolder(std::string folder, std::string filter, std::vector<std::string>& files, bool recurse);
    bool CreateFolderInDirectory(std::string& parent, std::string name);
    CWzError GetFreeSpaceOnFolder(std::string folder, uint64_t& freeBytes);
    CWzError HasEnoughSpaceForFile(const std::string& path, int64_t size, bool& enough);
    static std::string MakeValidWinFSFolderFileName(std::string text);
    // Copies the path, turning a "\\\\server" path into the long-UNC form,
    // never past `size` characters (including the terminator). False, with
    // the output unwritten, when the result does not fit or has no long form.
    static bool MakeLongPathRequest(const wchar_t* input, wchar_t* output, int size);
    // UNC shares need no mapping on this platform: the path is its own local
    // path. Copies it into `output`, whose capacity `length` gives on entry
    // and which receives the copied length; false (output unwritten) when it
    // does not fit.
    static bool CreateUNCPath(const char* path, char* output, int& length);
    static bool DeleteUNCPath(const char* path, const char* share);
    static int computeStripLevel(const char* path);
    static bool containsDriveLetter(const char* path);
    static bool endswith(const std::string& text, const std::string& suffix);

protected:
    EvEvent m_logger;
    JXJobCtrlClient* m_pJobCtrlClnt = nullptr;
    JXBkpJobClient* m_pBkpJobClnt = nullptr;
    JXJobClient* m_pJobClnt = nullptr;
    StoreResults* m_pJobResults = nullptr;
    JobRegistration* m_pJobRegistration = nullptr;
    uint64_t m_jobId = 0;
    bool m_autoDiscoverSubclient = false;
    bool m_preV8Instance = false;
    uint64_t m_loggedDbCount = 0;
    uint64_t m_jobClassWord1 = 0;
    uint64_t m_jobClassWord2 = 0;
    uint64_t m_jobClassWord3 = 0;
    bool m_flagA = true;
    ChangeRefTime m_refTime;
    bool m_jobClassFlag1 = false;
    bool m_jobClassFlag2 = false;
    ApplicationId m_applicationId;
    MsSqlSubclient* m_pSubclient = nullptr;
    bool m_disableAutoDiscovery = false;
    IgnoreNonExistentDbSettings m_ignoreNonExistentDb;
    SQLGenericOptionSettings m_genericOptions;
    bool m_bChecksum = false;
    bool m_bContinueAfterError = false;
    bool m_taskOptionFlag = false;
    std::wstring m_wideName;
    std::string m_sServername;
    std::string m_serverType;
    std::wstring m_userName;
    std::wstring m_password;
    std::wstring m_domain;
    std::string m_jxServerHostName;
    std::string m_sqlVersion;
    std::string m_jobClassText;
    std::string m_sqlEdition;
    std::string m_mediaAgent;
    std::string m_moduleName = "JxSQLCommon";
    std::string m_jobToken;
    std::string m_parserText;
    uint64_t m_appNumber = 0;
    uint64_t m_jxCellId = 0;
    uint64_t m_jxCellNumber = 0;
    uint32_t m_maxTransferSize = 65536;
    uint32_t m_vdiBufferCount = 20;
    uint32_t m_vdiBlockSize = 65536;
    uint64_t m_bufferSize = 64;
    uint64_t m_instanceId = 0;
    uint64_t m_clientId = 0;
    uint32_t m_jobClassCount = 1;
    uint64_t m_subclientType = 1;
    std::string m_fullRestartString;
    std::string m_restartString;
    std::string m_jobClassString1;
    std::string m_lastErrorText;
    bool m_vdiErrorFlag = false;
    bool m_flagB = false;
    bool m_disableLogConsistency = false;
    uint64_t m_sqlMajorVersion = 0;
    int32_t m_sqlMinorVersion = 0;
    int32_t m_sqlBuildNumber = 0;
    std::string m_jobResultsDirectory;
    std::string m_jobClassText2;
    int64_t m_initiatedFrom = 0;
    bool m_flagC = true;
    std::string m_virtualInstanceName;
    std::string m_jobClassString3;
    std::string m_jobClassString4;
    uint32_t m_bkyType = 0;
    uint32_t m_bkpPhase = 0;
    uint32_t m_jobPhase = 0;
    uint32_t m_attempt = 0;
    uint64_t m_restoreTaskId = 0;
    std::shared_ptr<SqlRstJobClient> m_pRstJobClnt;
    bool m_isRBSJob = false;
    uint64_t m_masterInstanceId = 0;
    bool m_isAGChild = false;
    CJxNetwork* m_pMasterConnection = nullptr;
    std::string m_agName;
    uint64_t m_jobClassWord = 0;
    bool m_isSnapJob = false;
    uint64_t m_originalJobId = 0;
    std::string m_sqlPassword;
    std::string m_sqlUser;
    bool m_sendOptionalHeader = false;
    bool m_markSkippedItemFailed = false;
    uint32_t m_vdiTimeoutRetryLimit = 3;
    // Bytes a restore job has restored so far (every backup it restored).
    uint64_t m_bytesRestored = 0;

private:
    // Lower-cases m_sqlEdition in place and looks for `text` in it.
    bool EditionContains(const char* text);

    // Backup set-up steps (CSQLCommonBackupInit.cpp), in the order
    // initializeBackup runs them. Each that can fail logs, sets the job's
    // pending cause where the job is registered, and answers false.
    void ReadJobParameters(BackupOptionsParser& parser);
    // Reads the job phase and attempt; false when the token lacks them.
    bool ReadJobToken(BackupOptionsParser& parser);
    void ReadBackupSettings();
    bool RegisterBackupJob(BackupOptionsParser& parser, bool& registered);
    bool FailMalformedJobToken();
    // An availability-group child tells its master that it started.
    bool TellMasterStarted();
    bool ReadSubclientAndInstance(BackupOptionsParser& parser, std::unique_ptr<MsSqlInstance>& ownedInstance,
                                  MsSqlInstance*& instance);
    bool ReadInstanceName(MsSqlInstance& instance);
    // Credential failures are logged and leave the user name empty.
    void ReadCredentials(BackupOptionsParser& parser, std::string& user, std::string& password);
    // The instance name, which must not be empty.
    bool ReadServerName(MsSqlInstance& instance);
    // Keeps the credentials and impersonates the user (nothing for no user).
    bool UseCredentials(const std::string& user, const std::string& password);
    bool CheckSqlServerRunning();
    bool ReadSqlVersion(MsSqlInstance& instance);
    bool ReadCentralServerHostName();
    bool ReadAvailabilityGroup();
    // Asks the availability-group master which SQL Server to back up.
    bool AskMasterForSqlServer(uint64_t* instanceId);
    // Sets cause with a critical event on the backup job client (with the
    // event arguments added before) and answers false.
    bool FailWithCause(uint32_t cause);
    // The application number and backup-domain id as event arguments.
    void AddApplicationArguments();
    // Fails with the availability-group cause and those arguments.
    bool FailAvailabilityGroup();
    // Logs that the subclient has no instance and fails with its cause.
    bool FailNoInstance();

    // The VDI time-out retry limit of backup and restore set-up
    // (CSQLCommonInitialize.cpp).
    void ReadVdiTimeoutRetryLimit();
};
