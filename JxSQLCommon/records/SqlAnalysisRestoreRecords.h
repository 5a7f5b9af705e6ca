// Value records of an Analysis Services restore: the task's options, and per
// database its details, remote partitions and backups with their archive
// files. The central server fills them and the Analysis restore reads them;
// this library only transports most of their fields.
//
// Records are held and passed by value; copies are deep.
#pragma once

#include <cstdint>
#include <list>
#include <string>

#include "JxSQLCommon/records/SqlRestoreRecords.h"

// One backup of an Analysis database.
struct SqlAnalysisAFilesPerBackup_t {
    uint64_t word1 = 0;
    uint64_t word2 = 0;
    uint32_t backupType = 0;
    std::list<AFileInfo_t> archiveFiles;
};

// Details of an Analysis database as the central server keeps them.
struct SqlAnalysisRestoreDbInfo_t {
    std::string text1;
    std::string text2;
    std::string text3;
    std::string text4;
    uint32_t number1 = 0;
    std::string text5;
    std::string text6;
    std::string text7;
    std::string text8;
    uint32_t number2 = 0;
    std::string text9;
};

// One remote partition of an Analysis database.
struct SqlAnalysisRemotePartitionInfo_t {
    std::string text1;
    std::string text2;
    std::string text3;
    std::string text4;
    std::string text5;
    std::string text6;
    std::string text7;
    std::string text8;
    uint32_t number = 0;
    std::string text9;
};

// One Analysis database to restore.
struct SqlAnalysisDBRestoreOptions_t {
    std::string sDbName;                  // the task's entry; the name is its text before the first 0x12
    std::string newDbName;                // empty when restored under its own name
    std::string text3;
    std::list<SqlAnalysisAFilesPerBackup_t> backups;
    std::list<SqlAnalysisRestoreDbInfo_t> details;
    std::list<SqlAnalysisRemotePartitionInfo_t> remotePartitions;
};

// The options of an Analysis Services restore task.
struct SqlAnalysisRestoreTaskOptions_t {
    uint64_t words[8] = {};               // words[4]: the Analysis Services instance id
    std::string standbyUndoFile;
    std::list<SqlAnalysisDBRestoreOptions_t> databases;
};
