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
