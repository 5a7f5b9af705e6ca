// The simulated Analysis Services instance: schema, creation and setup.
#include "JxsqlAMO/AmoSimInstance.h"

#include <cerrno>
#include <filesystem>

#include "JxsqlDMO/SqlSimCatalog.h"
#include "WzUtils/FXErrorUtil.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFileSystem.h"

namespace {

constexpr const char* kArea = "olap";

constexpr const char* kSchema = R"sql(
CREATE TABLE server(name TEXT NOT NULL, version TEXT NOT NULL, running INTEGER NOT NULL);
CREATE TABLE databases(
    id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    create_time INTEGER NOT NULL);
CREATE TABLE logins(name TEXT PRIMARY KEY COLLATE NOCASE, password TEXT NOT NULL);
CREATE TABLE remote_partitions(
    database_id INTEGER NOT NULL REFERENCES databases(id) ON DELETE CASCADE,
    cube TEXT NOT NULL, measure_group TEXT NOT NULL, partition TEXT NOT NULL, remote_server TEXT NOT NULL);
)sql";

CWzError CheckName(const char* what, const std::string& name) {
    if (name.empty() || name.size() > 128) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG, "invalid %s name [%s]", what, name.c_str());
    }
    return CWzError::Success();
}

}  // namespace

CWzError AmoSimInstance::Create(const AmoSimServerSpec& desc) {
    SqlSimInstanceName location;
    CWzError err = SqlSimInstanceName::Parse(desc.name, location, kArea);
    if (err.IsError()) return err;
    std::string path = location.CatalogPath();
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_INVALIDARG,
                                         "Analysis Services instance [%s] exists already", desc.name.c_str());
    }
    if (wz::MakeDirectoryTree(wz::PlatformPath(location.RelativeDirectory())) != 0) {
        return FXErrorUtil::ErrorErrNo(FXCODELOC, errno, "cannot create the directory of instance [%s]",
                                       desc.name.c_str());
    }
    err = m_db.Open(path, true);
    if (err.IsSuccess()) err = m_db.Exec(kSchema);
    if (err.IsSuccess()) {
        err = m_db.Prepare("INSERT INTO server VALUES(?, ?, ?)")
                  .Bind(1, location.FullName())
                  .Bind(2, desc.version)
                  .Bind(3, int64_t{desc.running})
                  .Run();
    }
    if (err.IsError()) {
        m_db.Close();
        std::filesystem::remove(path, ec);
        return err.Push(FXCODELOC, "cannot create Analysis Services instance [%s]", desc.name.c_str());
    }
    m_name = location.FullName();
    return CWzError::Success();
}

CWzError AmoSimInstance::Open(const std::string& name) {
    SqlSimInstanceName location;
    CWzError err = SqlSimInstanceName::Parse(name, location, kArea);
    if (err.IsError()) return err;
    return SqlSimOpenCatalog(location, "Analysis Services", m_db, m_name);
}

std::vector<std::string> AmoSimInstance::ListInstances() { return SqlSimListInstances(kArea); }

CWzError AmoSimInstance::AddDatabase(const std::string& name, int64_t creationTime) {
    CWzError err = CheckName("database", name);
    if (err.IsError()) return err;
    return m_db.Prepare("INSERT INTO databases VALUES(NULL, ?, ?)").Bind(1, name).Bind(2, creationTime).Run();
}

CWzError AmoSimInstance::AddLogin(const std::string& name, const std::string& password) {
    CWzError err = CheckName("login", name);
    if (err.IsError()) return err;
    return m_db.Prepare("INSERT INTO logins VALUES(?, ?)").Bind(1, name).Bind(2, password).Run();
}

CWzError AmoSimInstance::AddRemotePartition(const AmoSimRemotePartitionSpec& desc) {
    CWzError err = CheckName("partition", desc.partition);
    if (err.IsError()) return err;
    int64_t databaseId = 0;
    {
        // Let go before the insert: a read left open keeps the write from
        // waiting for another connection's commit.
        SimSqlStatement find = m_db.Prepare("SELECT id FROM databases WHERE name = ?");
        find.Bind(1, desc.database);
        if (!find.Step()) {
            return find.Error().IsError()
                       ? find.Error()
                       : FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "database [%s] does not exist",
                                                   desc.database.c_str());
        }
        databaseId = find.Int(0);
    }
    return m_db.Prepare("INSERT INTO remote_partitions VALUES(?, ?, ?, ?, ?)")
        .Bind(1, databaseId)
        .Bind(2, desc.cube)
        .Bind(3, desc.measureGroup)
        .Bind(4, desc.partition)
        .Bind(5, desc.remoteServer)
        .Run();
}
