// CJxSQLVDIBase: the virtual-device engine. It builds one BACKUP or RESTORE
// statement from the options set on it, runs the statement against the
// simulated instance on a thread of its own, and exchanges the data with the
// data pipeline through one VdiDevice per stream.
//
// Use: set the options, Initialize(), SetServerName(instance, database); the
// pipeline then starts the statement (StartVDIOperation) and serves the
// devices; Finalize(stop) waits for the statement and tells its outcome,
// which queryFailed(), isVdiTimeOut(), getJXErrorCode() and
// getJXErrorString() describe. After a backup, getXMLBackupSetInfo_10()
// gives the backup set as a SQLPmn::SQLDBBackupMetadata message text, with
// the type the instance's history records (F or G for a file backup).
//
// The destructor stops and joins a statement still running, whatever the
// caller did before.
//
// Against the simulated instance: a full backup reads every file, a
// differential the extents changed since the last full, a log backup the log
// records since the last log backup (and then drops them unless copy-only or
// no-truncate). Refusals carry SQL Server's numbers: 927 backup of a
// RESTORING database, 3036 of a STANDBY one, 4208 log backup in SIMPLE, 4214
// log backup without a full (or after a broken chain), 3035 differential
// without a full, 3203 an unreadable file; a file "vdi/fail/<database>" under
// the platform root holding a number fails the database's next backup with
// that number ("timeout": as a VDI time-out). A restore needs every stream of
// one set (3241 otherwise), lays a log or a differential only on a RESTORING
// or STANDBY database (3117) and a differential only on its base (3136),
// applies log records in LSN order (4305 too recent, 4326 too early), goes
// over an ONLINE database only with REPLACE (3159), never onto another
// database's files (1834), and writes nothing when a stream is short or
// damaged (3183). A whole-database restore without a stop point that brings
// the database to the end of its own newest backup in the instance's history
// (FULL or BULK_LOGGED) keeps the log chain: the next log backup starts where
// that backup ended; any other restore clears it. A device not served within
// the VDI time-out, repeated up to the retry limit, ends the statement as a
// time-out; a device the pipeline aborts ends it at once with the pipeline's
// reason. Tests hold a statement's threads at a chosen point with
// VdiTestHold.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "JxSQLVDIBase/JxSQLBackupSetInfo.h"

class VdiDevice;
struct VdiStatement;

class CJxSQLVDIBase {
public:
    CJxSQLVDIBase();
    virtual ~CJxSQLVDIBase();
    CJxSQLVDIBase(const CJxSQLVDIBase&) = delete;
    CJxSQLVDIBase& operator=(const CJxSQLVDIBase&) = delete;

    // --- Options of the next statement ---------------------------------
    void setVDIBlockSize(unsigned long bytes);
    void setVDIBuffercount(unsigned long count);
    void setVDIMaxTransferSize(unsigned long bytes);
    void setNumberOfStreams(int streams);
    // The SQL Server history letter: 'D' full, 'I' differential, 'L' log
    // (also 'P', 'Q', 'F', 'G', backed up as full or differential).
    void setBackupType(int type);
    void setLoadingState();               // RESTORE ... WITH NORECOVERY
    void setVDITimeOut(int seconds);
    void SetVDITimeoutRetryCountLimit(unsigned int retries);
    void setCopyOnlyBackup(bool on);
    void setPartialBackup(bool on);
    void setSqlCompression(bool on);
    void setChecksum(bool on);
    void setContinueAfterError(bool on);
    void setNoTruncateLog(bool on = true);  // log backup keeps its records
    void setJxcellNumber(unsigned long id);
    void setJobId(unsigned long id);
    void setMajorVersion(unsigned long version);
    // Files and file groups of a file/file-group backup or restore.
    void SetFFGList(const std::list<std::wstring>& files, const std::list<std::wstring>& fileGroups);
    void SetFFGList(const std::list<std::string>& files, const std::list<std::string>& fileGroups);

    void SetRestore();
    void setPartialRestore();
    void setDBOState();
    void setReplace();
    void setStopAtMark();
    void setStopBeforeMark();
    void setStandBy(const wchar_t* undoFile);
    // Stop time of a point-in-time restore, as the job writes it:
    // "YYYY-MM-DD HH:MM:SS" or "NN-NN-YYYY HH:MM:SS" ("/" also), optionally
    // followed by a zone "+HH:MM" / "-HH:MM"; without a zone the time is
    // UTC. The instance reads NN-NN-YYYY under its own date format (server
    // property "dateFormat"): day first when it is "dmy", month first
    // otherwise. YYYY-MM-DD always reads as such.
    void setPointInTime(std::wstring stopAt);
    void setPointInTime(const std::string& stopAt);
    void setMarkTime(std::wstring time);
    void setMarkTime(const std::string& time);
    void setMarkName(std::wstring name);
    void setMarkName(const std::string& name);
    void setKeepReplication(bool on);
    void setKeepCDC(bool on);
    void setVerifyOnly(bool on);
    void SetDropDBConnections(bool on);
    void SetAppendRestartInQuery(bool on);
    void setDBFiles(std::vector<std::wstring> files);
    void setRestoreFromFiles(bool on);
    // Resets the statement flags (recovery state, stop points, REPLACE, ...)
    // before a restore sets them.
    void initializeTSqlFlags();
    // WITH MOVE: the file of this logical name goes to this path.
    void addFileToRename(const std::string& logicalName, const std::string& newPath);
    void addFileToRename(const std::wstring& logicalName, const std::wstring& newPath);

    // --- Set-up and the statement ---------------------------------------
    // Checks the options; false with an error text when they cannot work.
    bool Initialize();
    // Connects to the instance; false when it is unknown or not running.
    bool SetServerName(const std::string& instance, const std::string& database);

    // Virtual operations in this slot order.
    // Makes the devices and starts the statement on its thread.
    virtual bool StartVDIOperation();
    virtual bool InitializeVDI();
    // Waits for the statement (after stopping it when `stop` is set); false
    // when it failed or was stopped.
    virtual bool Finalize(bool stop);
    // Backup: whether the statement has produced a block for `stream` yet
    // (`done` set once the stream ended). Restore: the bytes the statement
    // has taken from `stream` so far.
    virtual bool GetBkpData(bool& done, int stream);
    virtual bool GetBytesForRestore(unsigned long& bytes, int stream);

    // Ends a running statement at once with the pipeline's reason; the
    // statement then fails with that text (not as a time-out).
    void AbortOperation(const std::string& reason);
    // The job manager asked the job to stop. Set before the abort that ends
    // the statement, it makes the statement fail with 3013 (stopped),
    // wherever its threads were when the abort came.
    void setQuit(bool quit);
    // Releases the devices and the connection; a running statement is
    // stopped first.
    void Close();

    // Recovery only: brings a RESTORING (or STANDBY) database ONLINE.
    bool recoverOnly(const std::wstring& database, const std::string& instance, const std::wstring& fileGroup);

    // --- What the pipeline uses -------------------------------------------
    int getNumberOfStreams() const;
    bool isRestore() const;
    // The device of stream `stream` (0-based) once the statement started;
    // null otherwise.
    VdiDevice* getDevice(int stream);
    int getVDITimeOut() const;
    unsigned int getVDITimeoutRetryCountLimit() const;
    unsigned long getVDIMaxTransferSize() const;
    unsigned long getVDIBuffercount() const;
    const std::string& getDatabaseName() const;
    const std::string& getServerName() const;

    // --- Outcome -------------------------------------------------------------
    long getJXErrorCode() const;
    std::string getJXErrorString() const;
    std::string getCVErrorString() const;
    bool queryFailed() const;
    bool isVdiTimeOut() const;
    std::string getQueryInfoMessages() const;
    std::list<JxSQLBackupFileInfo> getBackupFileList() const;
    JxSQLBackupSetInfo getBackupSetInfo() const;
    std::string getXMLBackupSetInfo_10() const;
    bool isLoadingState() const;
    bool isStandbyState() const;
    bool isQuit() const;

    // RESTORE <database> FROM DISK = the files of setDBFiles, each one stream
    // of the set, on the statement's thread (after SetServerName for the same
    // database). False when it could not start.
    bool StartDBRestore(const std::string& database);

protected:
    // For engines that wait for their own statement.
    bool isStatementRunning() const;
    // Bytes the statement has moved through its devices so far.
    uint64_t getTransferredBytes() const;
    // Grows while the statement works (bytes moved, log records applied).
    uint64_t getWorkDone() const;
    // The statement's thread has ended.
    bool isFinished() const;
    void clearDBFiles();

protected:
    std::unique_ptr<VdiStatement> m_statement;

private:
    void JoinStatement();
    std::thread m_thread;
};
