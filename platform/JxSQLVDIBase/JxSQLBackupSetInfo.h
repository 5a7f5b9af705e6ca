// The backup-set description an engine gives after a backup in its older,
// flat form (the newer form is the XML text of getXMLBackupSetInfo_10).
#pragma once

#include <cstdint>
#include <string>

struct JxSQLBackupSetInfo {
    uint32_t value1 = 0;            // first number of the set
    std::string startDate;          // seconds since 1970, as text
    std::string finishDate;         // seconds since 1970, as text
    std::string value3;             // a further number, as text
    uint32_t value4 = 0;
    uint32_t value5 = 0;
    uint32_t value6 = 0;
    uint64_t value64 = 0;
    std::string firstLSN;
    std::string lastLSN;
    std::string checkpointLSN;
    std::string databaseBackupLSN;
    std::string databaseName;
    std::string backupType;         // history letter: D, I, L; F, G for a file backup
    std::string deviceName;
    uint32_t copyOnly = 0;
    uint32_t method = 0;
};

struct JxSQLBackupFileInfo {
    std::wstring physicalName;
    std::wstring logicalName;
    std::wstring fileGroupName;
    uint32_t fileNumber = 0;
    uint32_t fileType = 0;          // 0 data, 1 log
    uint64_t fileSize = 0;
};
