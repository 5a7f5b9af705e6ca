// Test support: dump file pairs (.bak and its metadata .xml) as the dump
// library writes them.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "JxSQLCommon/records/SQLPmnMessages.h"

namespace statetest {

struct DumpFields {
    std::string database = "Sales";
    int64_t databaseId = 7;
    std::string firstLSN = "100";
    std::string lastLSN = "200";
    std::string checkpointLSN = "90";
    int64_t start = 1700000000;
    int64_t finish = 1700000060;
    std::string type = "L";
};

inline SQLPmn::SQLDBBackupInfo BackupInfo(const DumpFields& fields) {
    using Info = SQLPmn::SQLDBBackupInfo;
    Info info;
    info.setstring(Info::kDatabaseName, fields.database);
    info.setint64(Info::kDatabaseId, fields.databaseId);
    info.setstring(Info::kFirstLsn, fields.firstLSN);
    info.setstring(Info::kLastLsn, fields.lastLSN);
    info.setstring(Info::kCheckpointLsn, fields.checkpointLSN);
    info.setint64(Info::kBackupStartDate, fields.start);
    info.setint64(Info::kBackupFinishDate, fields.finish);
    info.setstring(Info::kBackupType, fields.type);
    return info;
}

inline std::string MetadataText(const SQLPmn::SQLDBBackupInfo& info) {
    SQLPmn::SQLDBBackupMetadata metadata;
    metadata.addlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, info);
    std::string text;
    metadata.serialize(text);
    return text;
}

inline void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// Writes <folder>/<stem>.bak and, unless `metadata` is false, <stem>.xml.
inline std::string WriteDump(const std::string& folder, const std::string& stem, const DumpFields& fields,
                             bool metadata = true) {
    const std::string bak = folder + "/" + stem + ".bak";
    WriteText(bak, "backup data");
    if (metadata) WriteText(folder + "/" + stem + ".xml", MetadataText(BackupInfo(fields)));
    return bak;
}

}  // namespace statetest
