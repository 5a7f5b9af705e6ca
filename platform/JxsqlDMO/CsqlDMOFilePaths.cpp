// CsqlDMO::getDatabaseFilePaths: where a database's files are, as the
// instance's catalogue records them.
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFormat.h"

bool CsqlDMO::getDatabaseFilePaths(const std::string& instance, const std::string& database,
                                   std::vector<std::string>& paths, std::string& errorText) {
    auto fail = [&](const std::string& text) {
        errorText = text;
        return Fail("getDatabaseFilePaths", text);
    };
    paths.clear();
    if (!Connect(instance)) return fail(m_lastError);
    int64_t id = 0;
    if (m_instance->DatabaseId(database, id).IsError()) {
        return fail(wz::Format("Database [%s] does not exist.", database.c_str()));
    }
    SimSqlStatement files = m_instance->Db().Prepare("SELECT physical_path FROM files WHERE database_id = ? ORDER BY id");
    files.Bind(1, id);
    while (files.Step()) paths.push_back(files.Text(0));
    if (files.Error().IsError()) return fail(files.Error().GetMessage());
    return true;
}
