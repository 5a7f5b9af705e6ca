// The central-server stand-in's SQLite store under the platform root.
#include "tools/jxserve/JxServeStore.h"

#include <chrono>

#include "WzSQLite/CSQLite3Exception.h"
#include "WzUtils/PlatformRoot.h"

namespace {

// The host and the job processes write the store at the same time: a writer
// that finds it locked waits this long for the other's transaction to end.
constexpr std::chrono::seconds kBusyTimeout{30};

}  // namespace

std::unique_ptr<FX::CSQLite3DB> JxServeOpenStore(std::initializer_list<const char*> schema) {
    std::string path = wz::PlatformFilePath("jxserve/jxserve.db");
    if (path.empty()) throw FX::CSQLite3Exception(14, "The central server's store cannot be placed under the root.");
    auto db = std::make_unique<FX::CSQLite3DB>(path);
    db->SetBusyTimeout(kBusyTimeout);
    for (const char* statement : schema) db->ExecDML(statement);
    return db;
}
