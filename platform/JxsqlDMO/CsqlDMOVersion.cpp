// CsqlDMO over the simulated instances: instance version, cluster membership
// and database ids.
#include <strings.h>

#include <cctype>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "JxsqlDMO/SqlSimServerInfo.h"
#include "WzUtils/WzFormat.h"

bool CsqlDMO::getInstanceVersion(const std::string& instance, std::string& version, std::string& productLevel,
                                 std::string& edition) {
    if (!Connect(instance)) return false;
    SqlSimServerInfo info(*m_instance);
    std::string v, level, ed;
    CWzError err = info.Version(v);
    if (err.IsSuccess()) err = info.Property(SqlSimServerInfo::kProductLevel, SqlSimServerInfo::kDefaultProductLevel, level);
    if (err.IsSuccess()) err = info.Property(SqlSimServerInfo::kEdition, SqlSimServerInfo::kDefaultEdition, ed);
    if (err.IsError()) return Fail("getInstanceVersion", err.GetMessage());
    version = v;
    productLevel = level;
    edition = ed;
    return true;
}

int CsqlDMO::getInstanceMajorVersion(const std::string& instance) {
    std::string version, level, edition;
    if (!getInstanceVersion(instance, version, level, edition)) return 0;
    int major = 0;
    for (char c : version) {
        if (!std::isdigit(static_cast<unsigned char>(c))) break;
        major = major * 10 + (c - '0');
        if (major > 9999) return 0;  // no such version: refuse rather than overflow
    }
    return major;
}

bool CsqlDMO::isSqlInstanceClustered(const std::string& instancePart, std::string& clusterName, int) {
    for (const std::string& name : SqlSimInstance::ListInstances()) {
        size_t slash = name.find('/');
        std::string part = slash == std::string::npos ? SqlSimInstanceName::kDefaultInstance : name.substr(slash + 1);
        if (strcasecmp(part.c_str(), instancePart.c_str()) != 0) continue;
        SqlSimInstance candidate;
        if (candidate.Open(name).IsError()) continue;
        bool clustered = false;
        {
            // Read and let go before the cluster name, whose table the read
            // of it may make.
            SimSqlStatement q = candidate.Db().Prepare("SELECT clustered FROM server");
            clustered = q.Step() && q.Int(0) != 0;
        }
        if (!clustered) continue;
        std::string cluster;
        if (SqlSimServerInfo(candidate).Property(SqlSimServerInfo::kClusterName, name.substr(0, slash), cluster).IsError()) {
            continue;
        }
        clusterName = cluster;
        return true;
    }
    return false;
}

bool CsqlDMO::getDatabaseId(const std::string& instance, const std::string& database, unsigned long& id) {
    if (!Connect(instance)) return false;
    int64_t found = 0;
    CWzError err = m_instance->DatabaseId(database, found);
    if (err.IsError()) return Fail("getDatabaseId", err.GetMessage());
    id = static_cast<unsigned long>(found);
    return true;
}
