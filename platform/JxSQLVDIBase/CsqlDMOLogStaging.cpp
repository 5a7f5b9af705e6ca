// CsqlDMO::AGTLBackupStaging: the log staging of an availability group on a
// replica. Each database of the group on the connected instance gets one
// log backup through the engine, kept in the group's staging folder as a
// dump and its metadata twin (VdiLogStaging.h), where the group's log job
// takes it. It lives in this library, not beside the other queries, because
// the engine that takes the backups is here and this library already builds
// on the management layer.
#include <string>
#include <vector>

#include "JxLib/JXPlatformInfo.h"
#include "JxSQLVDIBase/VdiLogStaging.h"
#include "JxsqlDMO/CsqlDMO.h"
#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/WzFormat.h"

namespace {

constexpr const char* kSection = "MSSQLAgent";
constexpr const char* kStageFolderKey = "SqlAGLogBackupStageFolder";

}  // namespace

bool CsqlDMO::AGTLBackupStaging(const std::string& instanceName, const std::string& group, unsigned long instanceId,
                                unsigned long clientId, const std::string&, const std::string&, uint64_t, uint64_t,
                                std::string& errorText) {
    // A failed connection keeps the caller's text; getErrorString() has the reason.
    if (!Connect(instanceName)) return false;

    std::string base;
    if (JXPlatformInfo().getString(kSection, kStageFolderKey, base) == 0 || base.empty()) {
        errorText = wz::Format("No staging folder is set (setting [%s] of section [%s]).", kStageFolderKey, kSection);
        return Fail("AGTLBackupStaging", errorText);
    }

    // The group's databases, read before any backup: an open read would
    // keep the engine from writing the backup history.
    std::vector<std::string> databases;
    {
        SimSqlStatement known = m_instance->Db().Prepare("SELECT 1 FROM availability_groups WHERE name = ?");
        known.Bind(1, group);
        if (!known.Step()) {
            errorText = known.Error().IsError() ? known.Error().GetMessage()
                                                : wz::Format("Availability group [%s] does not exist on instance [%s].",
                                                             group.c_str(), instanceName.c_str());
            return Fail("AGTLBackupStaging", errorText);
        }
    }
    {
        SimSqlStatement q = m_instance->Db().Prepare("SELECT name FROM databases WHERE ag_name = ? ORDER BY name");
        q.Bind(1, group);
        while (q.Step()) databases.push_back(q.Text(0));
        if (q.Error().IsError()) {
            errorText = q.Error().GetMessage();
            return Fail("AGTLBackupStaging", errorText);
        }
    }
    // The group name comes from the request: it must not lead out of the
    // staging folder.
    const std::string subfolder = VdiAGStageSubfolder(group);
    if (subfolder == "." || subfolder == "..") {
        errorText = wz::Format("Availability group [%s] cannot name a staging subfolder.", group.c_str());
        return Fail("AGTLBackupStaging", errorText);
    }
    const std::string folder = base + "/" + subfolder;

    std::string failures;
    for (const std::string& database : databases) {
        std::string dump;
        CWzError staged = VdiStageLogBackup(instanceName, database, folder, dump);
        if (staged.IsError()) {
            if (!failures.empty()) failures += " ";
            failures += wz::Format("The log of database [%s] was not staged: %s", database.c_str(),
                                   staged.GetMessage().c_str());
            continue;
        }
        m_log.Debug("AGTLBackupStaging", "Staged [%s].", dump.c_str());
    }
    if (!failures.empty()) {
        errorText = failures;
        return Fail("AGTLBackupStaging", errorText);
    }
    m_log.Debug("AGTLBackupStaging", "Staged the log of %zu database(s) of group [%s] in [%s] for instance id [%lu] "
                "of client [%lu].", databases.size(), group.c_str(), folder.c_str(), instanceId, clientId);
    return true;
}
