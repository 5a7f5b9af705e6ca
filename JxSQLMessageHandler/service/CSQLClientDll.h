// CSQLClientDll: the agent's request object.
//
// Served role: the request loop builds one per received request around the
// loop's session, its receive buffer (holding the decoded request record) and
// the request code, runs exactly one handler and destroys it. A handler reads
// its request from getReceivedBuffer() in place, lends its zero-filled reply
// record to getDataBuffer() with the record's exact size, fills it, answers
// with sendReply(replyCode) and releases the request with
// CJxNetwork::FreeReceivedMessage(requestCode, received buffer).
//
// Requester role: job code builds one with the default constructor, which
// creates and owns a new session; the exchange operations place a request in
// getDataBuffer() and receive the reply into getReceiveDataBuffer().
//
// One thread uses an object at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <list>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "JxLib/EvDebug.h"
#include "JxLib/EvEvent.h"
#include "JxSQLCommon/records/SqlStringUtils.h"
#include "JxsqlDMO/SqlDmoTypes.h"
#include "JxSession/CJxNetwork.h"
#include "JxSession/jxsDatabuf_v2.h"
#include "WzUtils/CWzError.h"

// Types of the auto-discovery, restore-option and archive-file requests.
class CSQLPmnContentFilters;
class CsqlDMO;
enum eSubClientTypes : unsigned int;
struct SqlAFilesPerBackup_t;
struct SqlFFGRestoreInfo_t;
struct SqlRestoreDbInfo_t;
struct SqlRestoreTaskOptions_t;
struct SqlAnalysisRestoreTaskOptions_t;
class CNMessageBase;
namespace SQLPmn {
class DBLastRestoreInfo;
class SqlGetFileStreamInfoRsp;
}  // namespace SQLPmn
namespace App {
class AGTLBackupReq;
class ValidateSQLCloudCredentialsReq;
}  // namespace App

class CSQLClientDll {
public:
    // ---- The object, its session and its buffers (CSQLClientDll.cpp) ----
    // Served role: borrows the session and the received buffer.
    CSQLClientDll(CJxNetwork* session, jxsDatabuf_v2* received, unsigned long code);
    // Requester role: owns a new, unconnected session.
    CSQLClientDll();
    ~CSQLClientDll();
    CSQLClientDll(const CSQLClientDll&) = delete;
    CSQLClientDll& operator=(const CSQLClientDll&) = delete;

    // The session time-out in seconds: on the first call the larger of
    // `defaultSeconds` (240 when 0) and "nSessionTimeoutInMins" x 60 of section
    // "MSSQLAgent"; every later call returns that first answer.
    unsigned long GetSQLSessionTimeout(unsigned long defaultSeconds);

    // Sends the record lent to the send buffer under `replyCode`. 1 on
    // success; on failure logs, aborts the session with {2, last error, 2}
    // and returns 0.
    unsigned long sendReply(unsigned long replyCode);

    // The send buffer (a reply in the served role, a request in the requester role).
    jxsDatabuf_v2* getDataBuffer() { return &m_sendBuffer; }
    // The own receive buffer (requester role: receives the reply).
    jxsDatabuf_v2* getReceiveDataBuffer() { return &m_receiveBuffer; }

    // "YYYY-MM-DD hh:mm:ss" read as local time; the text must have that full form.
    time_t convertAsciiDateToUnixTime(std::string text);
    // Local date-time text of `time`: format 1 MM-DD-YYYY, 2 DD-MM-YYYY, any
    // other YYYY-MM-DD, each followed by " hh:mm:ss"; in single quotes when `quoted`.
    void convertUnixTimeToAsciiDate(long time, std::string& out, unsigned long format, bool quoted);
    // `name` with every ', [ and ] doubled, for a T-SQL literal or identifier.
    static std::string getEscapedDbName(const char* name);

    // ---- Server list and login verification (ServerListHandlers.cpp) ----
    unsigned long getServerList();
    unsigned long verifyUser();
    unsigned long SqlAnalysisVerifyUser();
    unsigned long getAzureInventoryList();
    // The instances of a host from the management layer, or from the
    // Analysis Services layer (list 3 "no", the server's texts in lists 1, 2
    // and 4); the cloud forms find nothing on this platform.
    bool getSQLServerList(std::string host, SQLServerInfo_t& info);
    bool getAnalysisServerList(std::string host, SQLServerInfo_t& info);
    bool getAzureSQLServerList(std::string host, SQLServerInfo_t& info);
    bool getAwsSQLServerList(std::string host, SQLServerInfo_t& info);
    // The cloud form of the server-list reply (always empty here).
    unsigned long getAzureSqlServerList(std::string host);

    // ---- Database list, file groups and state (DatabaseListHandlers.cpp) ----
    unsigned long getDatabaseList();
    unsigned long getDatabaseFileGroups();
    unsigned long getDatabaseState();

    // ---- Step-restore list and backup history (StepRestoreHandlers.cpp) ----
    unsigned long getSQLStepRestoreList();
    unsigned long pruneSqlMsdbEntries();

    // ---- AG, SharePoint and Analysis Services catalogue (AGCatalogueHandlers.cpp) ----
    // The Analysis Services server name of a configured instance name: the
    // name without its " Analysis Services" suffix.
    static std::string parseInstanceName(const std::string& name);
    static std::string parseInstanceName(const char* name);
    unsigned long getSQLSPDatabaselist();
    unsigned long getSqlAnalysisRemotePartitionInfo();
    unsigned long GetAvailabilityGroups();
    unsigned long GetAvailabilityDatabases();
    unsigned long GetAvailabilityGroupReplicas();
    unsigned long GetAG();

    // ---- Archive information and source connectivity (ArchiveInfoHandlers.cpp) ----
    bool GetArchiveInfo();
    unsigned long CheckSourceConnectivity();

    // ---- XML request layer (SqlXmlRequestHandlers.cpp) ----
    // XML requests: dispatched by the tag id of the document; answered with
    // -1 (no document), -2 (not decodable), -3 (tag not handled) or -4 (a
    // handler failed with an exception) when no handler answers.
    unsigned long handleSqlXmlMsg();
    // Sends `reply` in an SQLGenericErrorXmlRsp_t (kSqlXmlRsp for request
    // kSqlXmlReqV2, else kSqlXmlReq) and releases the received request; false
    // when the release failed.
    bool sendReplyXmlMsg(std::string reply);

    // ---- Availability-group collect files (AGCollectFileService.cpp) ----
    // Writes the on-demand collect file that an SQLPmn::SQLAGCollectFile
    // document lists; `reply` gets the SQLPmn::ErrorMessage text.
    bool ProcessAGCollectFile(std::string requestXml, std::string& reply);
    // <job-results directory>/<id>_OSCCollectFile.jxf (DS_OSCCollectFile.jxf
    // for the dump variant); "" when the settings do not name the directory.
    std::string GetOscCollectFilePath(unsigned int id, bool dsVariant);
    // Replaces the file by `instance` (when not empty) and the databases, one
    // per line. On any failure nothing of the new content is left behind.
    bool WriteToCollectFile(const std::string& path, const std::vector<std::string>& databases,
                            const std::string& instance);

    // ---- Log backup on a secondary replica (SecondaryReplicaLogBackup.cpp) ----
    bool AGTLBackupStaging();
    bool UpdateTLDumpCache();
    // Dumps the logs of the request's databases through the dump library;
    // `reply` gets the SQLPmn::ErrorMessage text (the message for the primary
    // on success).
    bool DoTLDumpToRemoteStorage(App::AGTLBackupReq& request, std::string& reply);
    // The dump library "libJxSQLPmnOSC.so" of the client's base home
    // directory, opened lazily; null when it cannot be opened (dlerror() tells).
    void* LoadSQLPmnOscLibrary() const;

    // ---- Database status update (DatabaseStatusUpdate.cpp) ----
    bool updateDatabaseStatus();

    // ---- Application readiness and cloud validation (AppReadinessCheck.cpp) ----
    // Readiness of the instance an Api::SQLAppReadinessReq names: true with
    // `reply` untouched when ready, else false with the response document.
    bool RunSQLAppReadinessCheck(const std::string& requestXml, std::string& reply);
    std::string GetReadinessResp(int code, const std::string& message, const std::string& detail);
    CWzError ValidateRegularInstance(unsigned long clientId, unsigned long instanceId, const std::string& instanceName);
    CWzError ValidateSQLCloudInstanceConfig(App::ValidateSQLCloudCredentialsReq& request);
    CWzError ValidateAzureCloudInstanceConfig(unsigned long& instanceId, unsigned long& clientId);
    CWzError ValidateAwsCloudInstanceConfig(unsigned long& instanceId, unsigned long& clientId);
    // Accepted and answered with an empty document.
    int ValidateSQLCloudCredentials(std::string& requestXml, std::string& reply);

    // ---- Create-source view (CreateSourceView.cpp) ----
    // Creates the active-source views an SQLPmn::SqlCreateSourceViewInfoReq
    // asks for; `reply` gets the SQLPmn::ErrorMessage text.
    bool GetSqlCreateSourceView(std::string& requestXml, std::string& reply);

    // ==== Requests to the central server (JxSQLMessageHandler/client) ====
    // Every requester operation places its request record in getDataBuffer(),
    // lends its zeroed reply record to the receive buffer, exchanges, reads
    // the reply in place and releases it under the reply code. They return
    // false (or an error) and log on failure; they only append to outputs.

    // ---- The exchange (CentralServerExchange.cpp) ----
    // One exchange with the central server: attaches the session when it is
    // not connected ("sLNSQLServer61"/"sLPSQLMSG"), sends the send buffer's
    // record under `requestCode`, receives one reply into the receive buffer
    // (the code that arrives is not compared with `replyCode`) and, when the
    // object owns its session, disconnects. A reply that does not arrive
    // within the process-wide receive time-out is a failure (the session is
    // aborted). The first argument is not read.
    bool sendAndReceiveMessage(int ignored, unsigned long requestCode, unsigned long replyCode);
    // Releases what decoding the reply of `code` allocated in the receive buffer.
    CWzError FreeReceivedMessage(const unsigned long& code);

    // ---- Backup-set and log-mark updates (BackupSetUpdates.cpp) ----
    // Backup-set updates of the record the caller placed in the send buffer
    // (SQLBackupSetInfoReq_VER5_t, or _VER3_t for the first). True when the
    // central server stored it; `outCode` (may be null) becomes
    // kCauseBrokenChain (SqlJobCauses.h) when it found the backup chain
    // broken, else 0.
    bool updateBackupSetInfo(int* outCode);
    bool updateAzureBackupSetInfo(int* outCode);
    bool updateAnalysisBackupSetInfo();
    // Sends the log marks of `databaseName` newer than the last one the
    // central server knows; true when stored or when there were none.
    bool updateLogMarks(std::string instanceName, unsigned long instanceId, const char* databaseName);

    // ---- Job bookkeeping (JobBookkeepingRequests.cpp) ----
    bool getMarkName(std::string instanceName, unsigned long sourceInstanceId, std::string databaseName,
                     unsigned long pointInTime, std::string& markName);
    // Exchanges the conversion-rule records the caller placed in both buffers;
    // the caller reads and releases the reply.
    bool checkBackupConversionRules();
    bool cleanUncommitedEntries(unsigned long long jobId, unsigned long backupType, std::string databaseName,
                                std::vector<std::string>& cleanedDatabases);
    bool cleanUncommitedEntriesForAzure(unsigned long long jobId, std::string databaseName);
    bool getLastVssFullBackupTime(unsigned long first, std::string text, unsigned long second,
                                  std::string& time);
    bool updateACLInfo(int instanceId, unsigned long jxCellId, std::string aclInfo);
    bool getSqlJobInfo(unsigned long jobId, unsigned long jxCellId, std::string& jobInfo);
    // Adds to `skipSet` the content databases that SharePoint subclients back
    // up from this instance.
    bool lookupSpContentDBbyClientId(unsigned long jxCellId, std::string instanceName, unsigned long sqlClientId,
                                     std::set<std::string>& skipSet);
    bool getMSSQLAuthentication(unsigned long clientId, unsigned long instanceId, bool skipInstance, bool cloudServer,
                                unsigned long& authType, std::string& userName, std::string& password,
                                unsigned long& level);

    // ---- XML documents over the XDR transport (XmlOverXdrRequests.cpp) ----
    // XML documents over the XDR transport (kSqlXmlReqV2 / kSqlXmlRsp):
    // errors 116 (no exchange or empty reply), 118 (unparsable error reply),
    // 119 (the reply is an error message with a code of 1 or more).
    CWzError SendAndReceiveXmlViaXdrProtocol(const std::string& request, std::string& reply);
    CWzError UpdateBackupSetInfoInBulk(const std::string& request, std::string& reply);
    CWzError CheckGenericError(const std::string& reply);

    // ---- Database auto-discovery (DatabaseAutoDiscovery.cpp) ----
    // Reports to the central server the instance's databases that no
    // database subclient (type 1, or named "Do Not Backup") names, that the
    // exclusion patterns let through and whose availability group is not a
    // pseudo-client, for the default subclient. One discovery per instance
    // at a time on the machine ("Global\jx_mssql_<instance id>_DatabaseAutoDiscover",
    // waited for up to "nAutoDiscoverSQLDatabaseTimeout" seconds, default 900;
    // when it cannot be had the discovery is skipped and reported as done).
    // True when done or when there was nothing to add.
    bool autoDiscover(unsigned long jxCellId, unsigned long appId, CSQLPmnContentFilters& filters,
                      std::unordered_map<std::string, bool>& agCache);
    // The same for the databases the management layer lists for one
    // subclient type; takes the mutex whatever the instance's server type.
    bool autoDiscover(unsigned long jxCellId, unsigned long appId, eSubClientTypes subclientType,
                      CSQLPmnContentFilters& filters, std::unordered_map<std::string, bool>& agCache);
    // The same for the databases of one availability group (no mutex); names
    // compare without regard to case.
    bool AutoDiscoverForAlwaysON(unsigned long jxCellId, unsigned long appId, std::string instanceName,
                                 std::string agName, CSQLPmnContentFilters& filters);

    // ---- Pseudo-clients and the default subclient (AGPseudoClientRequests.cpp) ----
    // Whether availability group `agName` is configured as a pseudo-client,
    // asked once per group through `agCache`; false also when it cannot be told.
    bool isAGConfiguredAsPseudoClient(const std::string& instanceName, const std::string& agName, CsqlDMO& dmo,
                                      std::unordered_map<std::string, bool>& agCache);
    // Adds `databases` to the instance's default subclient (those whose id
    // or creation time cannot be read are left out). True when stored or
    // when the set is empty.
    bool AddUnconfiguredDatabaseToDefaultSubClient(unsigned long jxCellId, unsigned long appId,
                                                   std::set<std::string> databases);
    // The database name of a restore task's entry: its text before the first 0x12.
    static std::string ParseDatabase(std::string entry);

    // ---- Restore-task options (RestoreOptionsRequests.cpp,
    //      AnalysisServicesRestoreOptions.cpp) ----
    // Restore-task options through the XML request (errors 117, 118 or the
    // exchange's) or the older XDR request.
    CWzError GetRestoreTaskOptions(const unsigned long& taskId, SqlRestoreTaskOptions_t& options);
    bool getRestoreTaskOptions(int taskId, SqlRestoreTaskOptions_t& options);
    // Replaces `databases` by one record per database entry of `options`,
    // with its relocations and id (none looked up when `noInstance`); master,
    // msdb and model first. Always true.
    bool populateRestoreTaskOptions(std::string instanceName, SqlRestoreTaskOptions_t& options,
                                    std::list<SqlRestoreDbInfo_t>& databases, bool noInstance);
    // `time` (seconds since 1970) as a UTC date text: kind 1 MM-DD-YYYY, 2
    // DD-MM-YYYY, any other YYYY-MM-DD, each followed by " hh:mm:ss".
    void ConvertTzSpecTimeToString(const unsigned long& time, const unsigned long& formatKind, const bool& quoted,
                                   std::string& out);
    bool getAnalysisRestoreTaskOptions(int restoreTaskId, SqlAnalysisRestoreTaskOptions_t& options);

    // ---- Archive-file lists (ArchiveFileRequests.cpp) ----
    // The backups of a database's restore chain, put at the front of
    // `backups` newest first (the reverse of the reply's order).
    bool getAFilesForDb(unsigned long restoreTaskId, unsigned long sourceInstanceId, unsigned long pointInTime,
                        unsigned long secondTime, int restoreKind, std::string databaseName,
                        std::list<SqlAFilesPerBackup_t>& backups);
    bool getAfilesForDBForLiveSync(unsigned long restoreTaskId, unsigned long sourceInstanceId,
                                   std::string databaseName, SQLPmn::DBLastRestoreInfo lastRestore,
                                   std::list<SqlAFilesPerBackup_t>& backups);
    bool getAFilesForAzureDb(unsigned long value1, unsigned long value2, unsigned long value3,
                             std::string databaseName, std::list<SqlAFilesPerBackup_t>& backups);
    // File/filegroup restores; the caller first places its request record
    // (SQLAFilesForFFGRstReq_t, SQLFFGRestoreInfoReq_t) in getDataBuffer().
    // getFFGRestoreList returns the reply's status (0: go on with the list),
    // or kFFGListExchangeFailed with the list untouched when the exchange or
    // the release of the reply failed.
    static constexpr unsigned long kFFGListExchangeFailed = ~0ul;
    unsigned long getFFGRestoreList(std::list<unsigned long>& restoreIds);
    bool getFFGAFileRestoreInfo(SqlFFGRestoreInfo_t& info);
    static bool isDatabaseInStandBy(int state) { return state == 64; }
    static bool isDatabaseInLoading(int state) { return state == 2; }

    // ==== Peer requests: work asked of another client's agent, and its
    // serving side (JxSQLMessageHandler/client) ====
    // Each requester builds one request record, exchanges it with the peer
    // (sendAndReceiveMessageToFromRemoteMachine), reads and releases the
    // reply. They return false (0 for the size) on any failure and log it;
    // they append to the caller's containers without clearing them.

    // ---- The exchange (PeerExchange.cpp) ----
    // One exchange with the agent of client `clientId`: attaches to its SQL
    // plug-in ("sLNSQLClient61"/"sLPSQLMSG") or, with `toMessageProcessor`,
    // to its message processor ("sLNSQLCOMM"/"sLPSQLMSGPROCESSOR"), sends the
    // record lent to getDataBuffer() under `requestCode`, receives the reply
    // into the record lent to the receive buffer, and disconnects. The reply
    // code that arrives is not compared with `replyCode`. A reply that does
    // not arrive within the process-wide receive time-out is a failure.
    bool sendAndReceiveMessageToFromRemoteMachine(unsigned long clientId, unsigned long requestCode,
                                                  unsigned long replyCode, bool toMessageProcessor);

    // ---- Network shares (PeerShares.cpp) ----
    // Publishes `paths` of instance `instanceId` on the peer as network shares
    // and adds (path, UNC path) pairs to `uncPaths`; later removed with
    // DeleteUNCPathOnRemoteMachine. An empty reply is a failure.
    bool CreateUNCPathOnRemoteMachine(unsigned long clientId, unsigned long instanceId, std::set<std::string> paths,
                                      std::map<std::string, std::string, caseIgnoreCompare>& uncPaths);
    // Removes the shares behind the UNC paths of `uncPaths`; an empty map
    // sends nothing and succeeds.
    bool DeleteUNCPathOnRemoteMachine(unsigned long clientId,
                                      std::map<std::string, std::string, caseIgnoreCompare> uncPaths);
    // Removes the shares of a path map on this machine: every value of the
    // form "\\host/share[/...]" removes "\\host/share" on host, once per share.
    bool DeleteUNCPaths(std::map<std::string, std::string, caseIgnoreCompare> uncPaths);
    bool CreateUNCPaths();
    bool DeleteUNCPaths();

    // ---- Database attach (PeerAttach.cpp) ----
    // Attaches a database to instance `instanceName` of the peer; on a
    // reported failure `errorText` gets the peer's text when it sent one.
    bool AttachDatabaseOnRemoteMachine(unsigned long clientId, unsigned long instanceId, std::string instanceName,
                                       std::string attachInfo, std::string& errorText);
    bool AttachDatabaseOnInstance();

    // ---- Directories (PeerDirectories.cpp) ----
    // Creates (with its missing parents) or removes (with its contents) a
    // directory on the peer; a reported failure fills `errorText`.
    bool CreateDirectoryOnRemoteMachine(unsigned long clientId, std::string directory, std::string& errorText);
    bool DeleteDirectoryOnRemoteMachine(unsigned long clientId, std::string directory, std::string& errorText);
    bool CreateDirectoryOnRequest();
    bool DeleteDirectoryOnRequest();

    // ---- File size and copies (PeerFileCopy.cpp) ----
    // The size in bytes of a file on the peer; 0 when it cannot be read.
    unsigned long GetRemoteFileSize(unsigned long clientId, std::string filePath);
    // Asks client `sourceClientId` to push one file into the folder
    // `destinationPath` of the destination client (this machine's client unless the given one is
    // a named, installed client).
    bool CopySingleRemoteFileRequest(unsigned long sourceClientId, unsigned long destinationClientId,
                                     std::string sourcePath, std::string destinationPath, std::string& errorText);
    // Asks client `sourceClientId` to push each (source file, destination
    // folder) pair to this machine's client.
    bool CopyMultipleRemoteFilesRequest(unsigned long sourceClientId,
                                        std::vector<std::pair<std::string, std::string>>& files,
                                        std::string& errorText);
    bool GetRemoteFileSize();
    bool CopySingleRemoteFile();

    // ---- FILESTREAM file lists (PeerFileStreamLists.cpp) ----
    // The files under a folder of the peer whose names match `pattern`,
    // appended to `files`; a reported failure stores the peer's error.
    bool RetrieveFilestreamInfo(unsigned long clientId, std::string folder, std::string pattern,
                                std::vector<std::string>& files, int& error);
    // The same as an XML list of (path, size) records into `reply`, which a
    // peer's failure leaves unchanged.
    bool RetrieveFileStreamInfo_V2(unsigned long clientId, const std::string& folder, const std::string& pattern,
                                   SQLPmn::SqlGetFileStreamInfoRsp& reply);
    // Depth-first walk of `folder`: files whose names match `pattern`, each
    // subfolder walked where it is met. Unreadable folders add nothing.
    bool GetAllFilesInFolder(std::string folder, std::string pattern, std::vector<std::string>& files);
    bool GetAllFilesInFolder(const std::string& folder, const std::string& pattern,
                             SQLPmn::SqlGetFileStreamInfoRsp& reply);
    bool RetrieveFilestreamInfo();

private:
    // ---- Replies (CSQLClientDll.cpp) ----
    // Lends the one-text reply record to the send buffer pointing at `text`,
    // sends it under `replyCode` and releases the request under the request
    // code; false when the release failed (logged with `releaseFailureLog`
    // when given, see ReleaseReceivedRequest). A failed send is also logged
    // with `sendFailureLog` when given.
    bool sendTextReply(unsigned long replyCode, const std::string& text, const char* releaseFailureLog = nullptr,
                       const char* sendFailureLog = nullptr);

    // ---- Server list (ServerListHandlers.cpp) ----
    // Sends the server-list reply of `info` and releases the request.
    unsigned long sendServerList(const SQLServerInfo_t& info);

    // ---- Availability-group documents (AGCatalogueHandlers.cpp) ----
    // Serves one availability-group request.
    template <typename Request, typename Query>
    unsigned long serveAGDocument(const char* unserializeFailure, unsigned long replyCode, Query query);

    // ---- Central-server exchange (CentralServerExchange.cpp) ----
    // Lends `request` and the zeroed `reply` to the buffers and runs one
    // exchange with the central server.
    template <typename Request, typename Reply>
    bool exchangeWithCentralServer(Request& request, Reply& reply, unsigned long requestCode, unsigned long replyCode) {
        m_sendBuffer.setExternalBuffer(&request, sizeof request);
        m_receivedBuffer->setExternalBuffer(&reply, sizeof reply);
        return sendAndReceiveMessage(2, requestCode, replyCode);
    }
    // Waits for the reply of the central server or a peer (the process-wide
    // receive time-out) into the receive buffer; on failure logs, aborts the
    // session with `abortTimeout` and answers false.
    bool receiveRemoteReply(unsigned long replyCode, int abortTimeout);

    // ---- Peer exchange (PeerExchange.cpp; templates in PeerRecordFrames.h) ----
    // Lends `request` and the zeroed `reply` to the buffers and runs the
    // peer exchange.
    bool exchangeWithPeer(unsigned long clientId, void* request, size_t requestSize, void* reply, size_t replySize,
                          unsigned long requestCode, unsigned long replyCode, bool toMessageProcessor);
    // Releases the reply received under `replyCode`; false (logged) on failure.
    bool releasePeerReply(unsigned long replyCode);
    // Reads an SQLPmn::ErrorMessage reply: false when it is missing or does
    // not decode, or when it reports an error (then `errorText` gets its text
    // and the code and text are logged as a failure to `action`).
    bool readErrorMessageReply(const char* xml, const char* action, std::string& errorText);
    // Exchanges `request` with the peer for a `Reply` (PeerRecordFrames.h),
    // lets `read(reply)` take what it needs (false = the reply reports a
    // failure) and releases the reply. False when the exchange, the reading
    // or the release failed.
    template <typename Reply, typename Request, typename Read>
    bool requestPeerRecord(unsigned long clientId, Request& request, unsigned long requestCode,
                           unsigned long replyCode, bool toMessageProcessor, Read read);
    // Serves one peer request with a record reply (PeerRecordFrames.h): lends
    // the zeroed reply to the send buffer, lets `body(request, reply)` fill it
    // (false = a failure the reply reports), sends it under `replyCode` and
    // releases the request. False when the body or the release failed, or an
    // exception escaped (logged as `exceptionLine`).
    template <typename Request, typename Reply, typename Body>
    bool servePeerRecord(unsigned long replyCode, const char* exceptionLine, Body body);
    // Serialises `message` and sends it as the one-text reply under
    // `replyCode`, then releases the request; false when either step failed.
    bool sendErrorMessageReply(unsigned long replyCode, const CNMessageBase& message);

    // ---- Directories (PeerDirectories.cpp) ----
    // The twin directory requesters and handlers (create when `create`).
    bool requestDirectoryChange(bool create, unsigned long clientId, const std::string& directory,
                                std::string& errorText);
    bool serveDirectoryChange(bool create);

    // ---- FILESTREAM walk (PeerFileStreamLists.cpp) ----
    // The walk of GetAllFilesInFolder, calling `found` for each file.
    void walkFolder(const std::string& folder, const std::string& pattern,
                    const std::function<void(const std::string&, uint64_t)>& found);

    CJxNetwork* m_session;             // borrowed (served) or owned (requester)
    jxsDatabuf_v2 m_sendBuffer;
    jxsDatabuf_v2* m_receivedBuffer;   // the loop's buffer, or &m_receiveBuffer
    jxsDatabuf_v2 m_receiveBuffer;
    unsigned long m_requestCode = 0;   // served role only
    EvEvent m_event;  // raises the auto-discovery events too
    bool m_ownsSession;
    bool m_timeoutUnread = true;
    unsigned long m_sessionTimeout = 240;
};

// Whether instance `name` is the configured instance: equal ignoring case, or
// equal to hostName + "\" + the part of `configured` after its last "/" (the
// host name alone when that part is empty or there is no "/").
bool CompareInstanceNameOnHostName(std::string& name, std::string& configured, std::string& hostName);

// The tag id of the XML message in `xml`; 0 when the text does not decode.
unsigned long GetXmlTagID(std::string& xml);

// Whether a cloud validation request names an instance id and a client id
// of at least 1 (errors 129 and 130).
CWzError IsValidCloudValidationRequest(App::ValidateSQLCloudCredentialsReq& request);

extern "C" {
// Kept for callers of the plug-in's export list; does nothing and returns 1.
int sqlUpdateQRBackupSetInfo(const char*, const char*);
}
