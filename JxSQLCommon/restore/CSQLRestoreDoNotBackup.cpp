// CSQLRestoreBase: keeps databases that a clone or a mount attached out of
// the instance's automatic discovery by listing them in the content of the
// "Do Not Backup" subclient of the instance's default backup set, and takes
// them out again when the clone is deleted.
#include <strings.h>

#include <cinttypes>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "JXAppMgr/AppModel.h"
#include "JXAppMgr/ApplProperties.h"
#include "JXAppMgr/ClientApplicationList.h"
#include "JXAppMgr/InstanceByName.h"
#include "JXAppMgr/Subclient.h"
#include "JxSQLCommon/jobbase/SqlRstJobClient.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/SqlJobCauses.h"
#include "JxSQLCommon/restore/CSQLRestoreBase.h"

namespace {

constexpr uint64_t kAppTypeSql = 81;
constexpr const char* kDoNotBackup = "Do Not Backup";
constexpr unsigned int kDatabaseSubclientType = 1;

// The databases of an attach request as subclient content, with their names.
void ContentOf(const SQLPmn::AttachDBMsg& message, PropertiesList& content, std::vector<std::string>& names) {
    std::vector<SQLPmn::AttachDB> entries;
    if (message.isSet(SQLPmn::AttachDBMsg::kDatabases)) {
        (void)message.getlistobject(SQLPmn::AttachDBMsg::kDatabases, entries);  // an unreadable list stays empty
    }
    for (const SQLPmn::AttachDB& entry : entries) {
        const std::string name = entry.getstring(SQLPmn::AttachDB::kAttachName);
        if (name.empty()) continue;
        content.addToPropList(std::make_shared<MSSQLDBProperty>(name));
        names.push_back(name);
    }
}

std::string Join(const std::vector<std::string>& names, const char* separator) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : separator) + name;
    return text;
}

bool IsDoNotBackup(const std::string& name) { return strcasecmp(name.c_str(), kDoNotBackup) == 0; }

}  // namespace

bool CSQLRestoreBase::addClonedDBsToDonotBackupSC(SQLPmn::AttachDBMsg& message) {
    PropertiesList content;
    std::vector<std::string> nameList;
    ContentOf(message, content, nameList);
    const std::string names = Join(nameList, ", ");
    const uint64_t clientId = m_restoreOptions.destinationClientId;
    const uint64_t instanceId = m_restoreOptions.destinationInstanceId;
    auto report = [&]() {
        if (!m_pRstJobClnt) return;
        *m_pRstJobClnt << names.c_str();
        m_pRstJobClnt->InfoEvent(kEventDoNotBackupNotUpdated);
    };
    if (nameList.empty()) {
        EV_WARN(m_logger, "No database to add to the Do-Not-Backup subclient.");
        return false;
    }
    uint64_t backupSetId = 0;
    std::string backupSetName;
    if (ClientApplicationList::getDefaultBackupSet(clientId, kAppTypeSql, instanceId, backupSetId, backupSetName) != 0) {
        EV_WARN(m_logger, "Could not fetch backupsetid for client [%" PRIu64 "] apptype [%d] instance [%" PRIu64 "].",
                clientId, static_cast<int>(kAppTypeSql), instanceId);
        report();
        return false;
    }
    EV_DEBUG(m_logger, 2,
             "Fetch subclients for client [%" PRIu64 "] apptype [%d] instance [%" PRIu64 "] backupset [%" PRIu64 "].",
             clientId, static_cast<int>(kAppTypeSql), instanceId, backupSetId);
    std::list<uint64_t> ids;
    std::list<std::string> subclientNames;
    if (ClientApplicationList::getSubclientList(ids, subclientNames, kAppTypeSql, backupSetId, nullptr, 1) != 0) {
        EV_WARN(m_logger,
                "Failed to fetch subclients and could not add cloned database(s) [%s] to Do-Not-Backup subclient. "
                "Please add this manually to prevent auto-discovery of cloned databases in subclient backups.",
                names.c_str());
        report();
        return false;
    }
    bool added = false;
    for (uint64_t id : ids) {
        MsSqlSubclient subclient(id);
        std::string name;
        if (subclient.getSubclientName(name) != 0) {
            EV_WARN(m_logger, "Failed to get subclient name with subclient ID [%" PRIu64 "].", id);
            continue;
        }
        if (!IsDoNotBackup(name)) {
            EV_DEBUG(m_logger, 3, "Found subclient [%s] is not DNB subclient.", name.c_str());
            continue;
        }
        unsigned int type = kDatabaseSubclientType;
        if (subclient.getSQLSubclientType(type) != 0) type = kDatabaseSubclientType;
        if (type != kDatabaseSubclientType && subclient.setSQLSubclientType(kDatabaseSubclientType) != 0) {
            EV_WARN(m_logger, "Failed to set the type of subclient [%s] to databases.", name.c_str());
        }
        added = subclient.setProperties(content) == 0;
        if (!added) EV_WARN(m_logger, "Failed to add cloned database(s) [%s] to Do-Not-Backup subclient.", names.c_str());
        break;
    }
    if (added) {
        EV_DEBUG(m_logger, 2, "Successfully added database(s) [%s] into Do-Not-Backup Subclient.", names.c_str());
        return true;
    }
    EV_ERROR(m_logger, "Failed to add database(s) [%s] into Do-Not-Backup Subclient. Please add this one manually.",
             names.c_str());
    report();
    return false;
}

bool CSQLRestoreBase::addClonedDBsToDonotBackupSC(const std::string& attachXml, uint64_t clientId,
                                                  uint64_t instanceId) {
    SQLPmn::AttachDBMsg message;
    if (message.unserialize(attachXml) != kMsgOk || message.getModule() != 34 || message.getMessage() != 12) {
        EV_ERROR(m_logger, "addClonedDBsToDonotBackupSC: Failed to unserialize the attach message object [%s]",
                 attachXml.c_str());
        return false;
    }
    m_restoreOptions.destinationClientId = clientId;
    m_restoreOptions.destinationInstanceId = instanceId;
    return addClonedDBsToDonotBackupSC(message);
}

bool CSQLRestoreBase::removeClonedDBsFromDoNotBackupSC(const std::string& attachXml, uint64_t clientId) {
    SQLPmn::AttachDBMsg message;
    if (message.unserialize(attachXml) != kMsgOk || message.getModule() != 34 || message.getMessage() != 12) {
        EV_DEBUG(m_logger, 1, "Failed to unserialize the attach message object [%s]", attachXml.c_str());
        return false;
    }
    const std::string instanceName = message.getstring(SQLPmn::AttachDBMsg::kInstanceName);
    uint64_t instanceId = 0;
    if (clientId != 0 && InstanceByName::getInstanceId(clientId, kAppTypeSql, instanceName, instanceId) != 0) {
        instanceId = 0;
    }
    PropertiesList content;
    std::vector<std::string> nameList;
    ContentOf(message, content, nameList);
    const std::string names = Join(nameList, ",");
    if (clientId == 0 || instanceId == 0) {
        EV_DEBUG(m_logger, 1,
                 "Failed to fetch instance id for client [%" PRIu64
                 "] apptype [%d] instance [%s]. Please remove following databases manually [%s]",
                 clientId, static_cast<int>(kAppTypeSql), instanceName.c_str(), names.c_str());
        return false;
    }
    if (nameList.empty()) {
        EV_DEBUG(m_logger, 1, "The attach message names no database to remove from the Do-Not-Backup subclient.");
        return false;
    }
    uint64_t backupSetId = 0;
    std::string backupSetName;
    if (ClientApplicationList::getDefaultBackupSet(clientId, kAppTypeSql, instanceId, backupSetId, backupSetName) != 0) {
        EV_DEBUG(m_logger, 1, "Could not fetch backupsetid for client [%" PRIu64 "] apptype [%d] instance [%" PRIu64 "]",
                 clientId, static_cast<int>(kAppTypeSql), instanceId);
        EV_DEBUG(m_logger, 1, "Failed to clean cloned database(s) [%s] from Do-Not-Backup subclient.", names.c_str());
        return false;
    }
    EV_DEBUG(m_logger, 2,
             "Fetch backupsetid for client [%" PRIu64 "] apptype [%d] instance [%" PRIu64 "] backupset [%" PRIu64 "]",
             clientId, static_cast<int>(kAppTypeSql), instanceId, backupSetId);
    std::list<uint64_t> ids;
    std::list<std::string> subclientNames;
    if (ClientApplicationList::getSubclientList(ids, subclientNames, kAppTypeSql, backupSetId, nullptr, 1) != 0) {
        EV_DEBUG(m_logger, 1, "Could not fetch subclient list for at[%d], bs[%" PRIu64 "]", static_cast<int>(kAppTypeSql),
                 backupSetId);
        EV_DEBUG(m_logger, 1, "Failed to clean cloned database(s) [%s] from Do-Not-Backup subclient.", names.c_str());
        return false;
    }
    for (uint64_t id : ids) {
        MsSqlSubclient subclient(id);
        unsigned int type = 0;
        std::string name;
        if (subclient.getSQLSubclientType(type) != 0 || subclient.getSubclientName(name) != 0 || !IsDoNotBackup(name)) {
            continue;
        }
        EV_DEBUG(m_logger, 2, "Found [%s]", name.c_str());
        const int rc = subclient.removeProperties(content);
        if (rc == 0) {
            EV_DEBUG(m_logger, 2, "Successfully removed database(s) [%s] from Do-Not-Backup Subclient.", names.c_str());
            return true;
        }
        if (rc == JXAPPMGR_PROP_NOT_SET) {
            EV_DEBUG(m_logger, 1, "None of the database(s) [%s] is in the Do-Not-Backup subclient.", names.c_str());
        } else {
            EV_DEBUG(m_logger, 1,
                     "Failed to clean cloned database(s) [%s] from Do-Not-Backup subclient. Please remove this "
                     "manually.",
                     names.c_str());
        }
        return false;
    }
    EV_DEBUG(m_logger, 1, "No Do-Not-Backup subclient to clean cloned database(s) [%s] from.", names.c_str());
    return false;
}
