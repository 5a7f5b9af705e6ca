// Database discovery queries: the candidate databases of an auto-discovery,
// creation times and the availability group of a database.
#include <cctype>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SimSqlDb.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzRecordMemory.h"

namespace {

// The names of an exclusion text such as "N'tempdb',N'model'" (quotes
// doubled inside a name), lower-cased: database names compare without
// regard to case.
std::set<std::string> ExcludedNames(const std::string& exclusion) {
    std::set<std::string> names;
    size_t i = 0;
    while ((i = exclusion.find('\'', i)) != std::string::npos) {
        std::string name;
        for (++i; i < exclusion.size(); ++i) {
            if (exclusion[i] == '\'') {
                if (i + 1 < exclusion.size() && exclusion[i + 1] == '\'') {
                    name += '\'';
                    ++i;
                    continue;
                }
                break;
            }
            name += static_cast<char>(std::tolower(static_cast<unsigned char>(exclusion[i])));
        }
        names.insert(name);
        ++i;
    }
    return names;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

bool CsqlDMO::getDatabases(const std::string& instance, SQLAutoDiscoverReq_t& list, const std::string& exclusion) {
    SimSqlReadScope readScope;  // the service check and the list read together
    if (!Connect(instance)) return false;
    std::set<std::string> excluded = ExcludedNames(exclusion);
    std::vector<SQL_DatabaseInfo_t> found;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT name, id, create_time FROM databases ORDER BY id");
    while (q.Step()) {
        std::string name = q.Text(0);
        if (excluded.count(Lower(name)) != 0) continue;
        SQL_DatabaseInfo_t entry;
        entry.name = wz::CopyText(name);
        entry.databaseId = static_cast<uint64_t>(q.Int(1));
        entry.creationTime = static_cast<uint64_t>(q.Int(2));
        found.push_back(entry);
    }
    if (q.Error().IsError()) {
        for (SQL_DatabaseInfo_t& entry : found) std::free(entry.name);
        return Fail("getDatabases", q.Error().GetMessage());
    }
    if (found.empty()) return true;
    list.databases = wz::NewRecordArray<SQL_DatabaseInfo_t>(found.size());
    for (size_t i = 0; i < found.size(); ++i) list.databases[i] = found[i];
    list.count = static_cast<uint32_t>(found.size());
    return true;
}

bool CsqlDMO::getDatabasebyType(const std::string& instance, SQLAutoDiscoverReq_t& list,
                                const std::string& exclusion, unsigned int /*subclientType*/) {
    return getDatabases(instance, list, exclusion);
}

bool CsqlDMO::getDatabaseCreationTime(const std::string& instance, const std::string& database,
                                      unsigned long& time) {
    if (!Connect(instance)) return false;
    SimSqlStatement q = m_instance->Db().Prepare("SELECT create_time FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (!q.Step()) {
        if (q.Error().IsError()) return Fail("getDatabaseCreationTime", q.Error().GetMessage());
        return Fail("getDatabaseCreationTime", "Database [" + database + "] does not exist.");
    }
    time = static_cast<unsigned long>(q.Int(0));
    return true;
}

bool CsqlDMO::GetAvailabiiltyGroupForDB(const std::string& database, std::string& group) {
    if (!m_instance) return Fail("GetAvailabiiltyGroupForDB", "Not connected to an instance.");
    SimSqlStatement q = m_instance->Db().Prepare("SELECT COALESCE(ag_name, '') FROM databases WHERE name = ?");
    q.Bind(1, database);
    if (!q.Step()) {
        if (q.Error().IsError()) return Fail("GetAvailabiiltyGroupForDB", q.Error().GetMessage());
        return Fail("GetAvailabiiltyGroupForDB", "Database [" + database + "] does not exist.");
    }
    group = q.Text(0);
    return true;
}
