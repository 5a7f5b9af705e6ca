// LogFileInfo: one transaction-log dump on a dump folder, and LSNS, the
// ordered map of such dumps.
//
// LSNS is keyed by the first LSN, then the last LSN, each left-padded with
// "0" to 50 characters (LSNSKey), so iterating it gives the dumps in LSN
// order. Both LSNs are in the key because a log backup with no activity has
// first = last and the next one starts at that same LSN: keyed by the first
// LSN alone one of the two would be lost.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "WzUtils/CWzError.h"

struct LogFileInfo {
    std::string folder;          // the mount path in which the backup file was found
    std::string firstLSN;
    std::string lastLSN;
    std::string backupFile;      // full path of the ".bak" file
    std::string databaseName;
    int64_t databaseId = 0;
    int32_t restoreStatus = 0;   // 1 restored, -1 its restore failed, 0 not tried
    int64_t startTime = 0;       // backup start date, seconds since 1970
    int64_t finishTime = 0;      // backup finish date
    int64_t furtherNumber = 0;   // copied from the metadata, not interpreted
    std::string type;            // backup type text
    std::string checkpointLSN;
};

typedef std::map<std::string, LogFileInfo> LSNS;

// The width every LSN is padded to for ordering.
constexpr size_t kPaddedLSNWidth = 50;

// The LSNS key of a dump; fails when an LSN is empty or longer than 50.
CWzError LSNSKey(const LogFileInfo& info, std::string& key);
