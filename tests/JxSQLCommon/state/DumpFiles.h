// Test support: dump file pairs (.bak and its metadata .xml) as the dump
// library writes them.
#pragma once

#include <cstdint>
#include <fstream>
#include <string>

#include "JxSQLCommon/records/SQLPmnMessages.h"

namespace statetest {

struct DumpSpec {
    std::string database = "Sales";
    int64_t databaseId = 7;
    std::string firstLSN = "100";
    std::string lastLSN = "200";
    std::string checkpointLSN = "90";
    int64_t start = 1700000000;
    int64_t finish = 1700000060;
    std::string type = "L";
};

inline SQLPmn::SQLDBBackupInfo BackupInfo(const DumpSpec& spec) {
    using Info = SQLPmn::SQLDBBackupInfo;
    Info info;
    info.setstring(Info::kDatabaseName, spec.database);
    info.setint64(Info::kDatabaseId, spec.databaseId);
    info.setstring(Info::kFirstLsn, spec.firstLSN);
    info.setstring(Info::kLastLsn, spec.lastLSN);
    info.setstring(Info::kCheckpointLsn, spec.checkpointLSN);
    info.setint64(Info::kBackupStartDate, spec.start);
    info.setint64(Info::kBackupFinishDate, spec.finish);
    info.setstring(Info::kBackupType, spec.type);
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
inline std::string WriteDump(const std::string& folder, const std::string& stem, const DumpSpec& spec,
                             bool metadata = true) {
    const std::string bak = folder + "/" + stem + ".bak";
    WriteText(bak, "backup data");
    if (metadata) WriteText(folder + "/" + stem + ".xml", MetadataText(BackupInfo(spec)));
    return bak;
}

}  // namespace statetest
