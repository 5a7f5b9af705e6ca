// Pending files of a file restore, kept as two database options.
#include "JxsqlDMO/SqlSimPendingFiles.h"

#include <cstdlib>

#include "JxsqlDMO/SqlSimDatabaseOptions.h"

namespace {

constexpr const char* kPendingNames = "ffg_pending_files";  // logical names, one a line
constexpr const char* kPendingLsn = "ffg_pending_lsn";

}  // namespace

CWzError SqlSimGetPendingFiles(SqlSimInstance& instance, const std::string& database, SqlSimPendingFiles& pending) {
    pending = SqlSimPendingFiles{};
    std::string names;
    std::string lsn;
    if (CWzError err = SqlSimGetDatabaseOption(instance, database, kPendingNames, names); err.IsError()) return err;
    if (CWzError err = SqlSimGetDatabaseOption(instance, database, kPendingLsn, lsn); err.IsError()) return err;
    for (size_t start = 0; start < names.size();) {
        size_t end = names.find('\n', start);
        if (end == std::string::npos) end = names.size();
        if (end > start) pending.logicalNames.insert(names.substr(start, end - start));
        start = end + 1;
    }
    pending.lsn = std::strtoull(lsn.c_str(), nullptr, 10);
    return CWzError();
}

CWzError SqlSimSetPendingFiles(SqlSimInstance& instance, const std::string& database,
                               const SqlSimPendingFiles& pending) {
    std::string names;
    for (const std::string& name : pending.logicalNames) names += name + "\n";
    if (CWzError err = SqlSimSetDatabaseOption(instance, database, kPendingNames, names); err.IsError()) return err;
    return SqlSimSetDatabaseOption(instance, database, kPendingLsn,
                                   pending.logicalNames.empty() ? "" : std::to_string(pending.lsn));
}
