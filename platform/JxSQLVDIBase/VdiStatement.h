// VdiStatement: the options, devices and outcome of one engine statement.
// Internal to the engine; the engine's operations fill and read it.
#pragma once

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "JxSQLVDIBase/JxSQLBackupSetInfo.h"
#include "JxSQLVDIBase/VdiDevice.h"

struct VdiOptions {
    unsigned long blockSize = 65536;
    unsigned long bufferCount = 20;
    unsigned long maxTransferSize = 2097152;
    int streams = 1;
    int backupType = 'D';
    bool loadingState = false;
    int timeoutSeconds = 300;
    unsigned int retryLimit = 3;
    bool copyOnly = false;
    bool partialBackup = false;
    bool compression = false;
    bool checksum = false;
    bool continueAfterError = false;
    bool noTruncateLog = false;
    unsigned long jxCellId = 0;
    unsigned long jobId = 0;
    unsigned long majorVersion = 15;
    std::list<std::string> ffgFiles;
    std::list<std::string> ffgGroups;

    bool restore = false;
    bool partialRestore = false;
    bool dboState = false;
    bool replace = false;
    bool stopAtMark = false;
    bool stopBeforeMark = false;
    bool standby = false;
    std::string undoFile;
    std::string pointInTime;
    std::string markTime;
    std::string markName;
    bool keepReplication = false;
    bool keepCdc = false;
    bool verifyOnly = false;
    bool dropConnections = false;
    bool appendRestart = false;
    std::vector<std::string> dbFiles;
    bool restoreFromFiles = false;
    // logical name -> new physical path, in the order given
    std::vector<std::pair<std::string, std::string>> moves;
};

struct VdiOutcome {
    bool finished = false;
    bool failed = false;
    bool timedOut = false;
    long errorCode = 0;
    std::string errorText;
    std::string infoMessages;
    std::string metadataXml;          // backup: SQLDBBackupMetadata text
    JxSQLBackupSetInfo setInfo;
    std::list<JxSQLBackupFileInfo> files;
};

struct VdiStatement {
    VdiOptions options;
    std::string server;
    std::string database;
    bool initialized = false;
    bool connected = false;
    std::atomic<bool> quit{false};
    std::atomic<bool> stop{false};
    std::atomic<bool> running{false};
    std::vector<std::unique_ptr<VdiDevice>> devices;
    std::vector<std::atomic<uint64_t>> streamBytes = std::vector<std::atomic<uint64_t>>(0);
    // Grows with every piece of work the statement does (bytes and log
    // records), so a waiter can tell a busy statement from a stuck one.
    std::atomic<uint64_t> workDone{0};

    mutable std::mutex mutex;  // guards outcome and abortReason
    VdiOutcome outcome;
    std::string abortReason;
};
