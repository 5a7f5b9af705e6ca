// LogDumpWriter: one log backup from the engine's device into a file.
#include "LogDumpWriter.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlConvert.h"
#include "JxSQLCommon/state/CLogInfoDB.h"
#include "JxSQLVDIBase/VdiLogStaging.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/auto_handle.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr const char* kDumpInfix = "_log_backup_";

// One above the highest dump number of `stem` in the folder.
unsigned long NextNumber(const std::string& folder, const std::string& stem) {
    std::vector<std::string> names;
    unsigned long highest = 0;
    if (wz::Fs().ReadDirectory(folder, names) != 0) return 1;
    for (const std::string& name : names) {
        if (name.rfind(stem, 0) != 0 || name.size() < stem.size() + 5 || name.compare(name.size() - 4, 4, ".bak") != 0)
            continue;
        const std::string digits = name.substr(stem.size(), name.size() - stem.size() - 4);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) continue;
        highest = std::max(highest, std::strtoul(digits.c_str(), nullptr, 10));
    }
    return highest + 1;
}

// The engine's backup-set text with the database id that readers of the
// dump's metadata file need.
CWzError CompleteMetadata(const std::string& instance, const std::string& database, const std::string& engineText,
                          std::string& metadataText) {
    SQLPmn::SQLDBBackupMetadata metadata;
    std::vector<SQLPmn::SQLDBBackupInfo> backups;
    if (metadata.unserialize(engineText) != 0 ||
        !metadata.getlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, backups) || backups.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "The engine gave no backup metadata");
    }
    SqlSimInstance sim;
    int64_t id = 0;
    CWzError error = sim.Open(instance);
    if (error.IsSuccess()) error = sim.DatabaseId(database, id);
    if (error.IsError()) return error.Push(FXCODELOC, "No id of database %s", database.c_str());
    backups.front().setint64(SQLPmn::SQLDBBackupInfo::kDatabaseId, id);
    metadata.setlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, backups);
    metadata.serialize(metadataText);
    return CWzError::Success();
}

// Runs the log backup and writes its one stream into `fd`.
CWzError BackUpInto(const std::string& instance, const std::string& database, int fd, std::string& metadata) {
    std::string engineText;
    CWzError error = VdiBackUpOnOneStream(
        instance, database, 'L',
        [fd](const char* data, size_t size, std::string& failure) {
            if (wz::WriteAll(fd, data, size)) return true;
            failure = std::string("The dump file could not be written: ") + std::strerror(errno);
            return false;
        },
        engineText);
    if (error.IsError()) return error;
    return CompleteMetadata(instance, database, engineText, metadata);
}

// The row names the dump by its file name within the folder, as readers of
// loginfo.db join it to the folder they reach it through.
CWzError RecordInLogInfo(const std::string& instance, const std::string& folder, const std::string& bakName,
                         const std::string& metadataText) {
    SQLPmn::SQLDBBackupMetadata metadata;
    std::vector<SQLPmn::SQLDBBackupInfo> backups;
    if (metadata.unserialize(metadataText) != 0 ||
        !metadata.getlistobject(SQLPmn::SQLDBBackupMetadata::kBackups, backups) || backups.empty()) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "The engine gave no backup metadata");
    }
    CLogInfoDB db(folder, DB_LOCALITY_1MIN_RPO);
    CWzError error = db.CreateTablesSchema();
    unsigned int serial = 0;
    SQLPmn::SQLDBBackupInfo& info = backups.front();
    if (error.IsSuccess()) {
        error = db.InsertDBRecord(instance, static_cast<int>(info.getint64(SQLPmn::SQLDBBackupInfo::kDatabaseId)),
                                  info.getstring(SQLPmn::SQLDBBackupInfo::kDatabaseName), serial);
    }
    if (error.IsSuccess()) error = db.InsertLogRecord(serial, bakName, info);
    return error;
}

}  // namespace

CWzError WriteLogDump(const std::string& instance, const std::string& database, const std::string& folder,
                      std::string& bakPath) {
    if (database.empty() || database.find('/') != std::string::npos || database == "." || database == "..") {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "Bad database name [%s]", database.c_str());
    }
    const std::string stem = SqlConvert::ToLower(database) + kDumpInfix;
    const std::string name = stem + std::to_string(NextNumber(folder, stem));
    const std::string base = folder + "/" + name;
    const std::string partial = base + ".bak.partial";
    auto_handle file(wz::Fs().Open(partial, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!file.is_valid()) return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot create %s", partial.c_str());
    std::string metadata;
    CWzError error = BackUpInto(instance, database, file.get(), metadata);
    if (error.IsSuccess() && wz::Fs().Fsync(file.get()) != 0) {
        error = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot sync %s", partial.c_str());
    }
    file.reset();
    // The metadata goes first: a ".bak" without its ".xml" is no dump to a reader.
    if (error.IsSuccess() && !wz::WriteFileAtomically(base + ".xml", metadata)) {
        error = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot write %s.xml", base.c_str());
    }
    if (error.IsSuccess() && wz::Fs().Rename(partial, base + ".bak") != 0) {
        error = FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "Cannot name %s.bak", base.c_str());
    }
    if (error.IsError()) {
        (void)wz::Fs().Unlink(partial);  // nothing of a failed dump stays
        (void)wz::Fs().Unlink(base + ".xml");
        return error;
    }
    bakPath = base + ".bak";
    return RecordInLogInfo(instance, folder, name + ".bak", metadata);
}
