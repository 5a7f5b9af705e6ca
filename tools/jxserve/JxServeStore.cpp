// The central-server stand-in's SQLite store under the platform root.
#include "tools/jxserve/JxServeStore.h"

#include "WzSQLite/CSQLite3Exception.h"
#include "WzUtils/PlatformRoot.h"

std::unique_ptr<FX::CSQLite3DB> JxServeOpenStore(std::initializer_list<const char*> schema) {
    std::string path = wz::PlatformFilePath("jxserve/jxserve.db");
    if (path.empty()) throw FX::CSQLite3Exception(14, "The central server's store cannot be placed under the root.");
    auto db = std::make_unique<FX::CSQLite3DB>(path);
    db->SetBusyTimeout(FX::kSharedStoreBusyTimeout);  // the host and the job processes write it at once
    for (const char* statement : schema) db->ExecDML(statement);
    return db;
}

namespace {

bool HasColumn(FX::CSQLite3DB& db, const std::string& table, const std::string& column) {
    return db.ExecScalarInt64(
               FX::CSQLite3Sql("SELECT COUNT(*) FROM pragma_table_info(?) WHERE name = ?", {table, column}), 0) > 0;
}

}  // namespace

void JxServeAddColumn(FX::CSQLite3DB& db, const std::string& table, const std::string& column,
                      const std::string& declaration, const FX::CSQLite3Sql& fill) {
    if (HasColumn(db, table, column)) return;
    db.ExecDML("BEGIN IMMEDIATE");
    try {
        // Looked at again under the write lock: another process may have added it.
        if (!HasColumn(db, table, column)) {
            db.ExecDML("ALTER TABLE " + table + " ADD COLUMN " + column + " " + declaration);
            if (!fill.empty()) db.ExecDML(fill);
        }
        db.ExecDML("COMMIT");
    } catch (...) {
        try {
            db.ExecDML("ROLLBACK");
        } catch (...) {  // the failure that ended the write is the one to report
        }
        throw;
    }
}
