// ApplicationId: subclient and instance lookup in the model.
#include "JXAppMgr/ApplicationId.h"

#include "JXAppMgr/AppModel.h"

ApplicationId::ApplicationId(uint64_t jxCellId, uint64_t appNumber) : m_jxCellId(jxCellId), m_appNumber(appNumber) {
    AppModel::RecordLookup(jxCellId, appNumber);  // the model has one domain: no id is refused
}

MsSqlSubclient* ApplicationId::getSubclient() {
    if (!m_subclient) {
        auto subclient = std::make_unique<MsSqlSubclient>(m_appNumber);
        if (!subclient->exists()) return nullptr;
        m_subclient = std::move(subclient);
    }
    return m_subclient.get();
}

MsSqlInstance* ApplicationId::getInstance() {
    if (!m_instance) {
        uint64_t instanceId = 0;
        if (AppModel::GetUnsigned(AppModel::ObjectName("subclient", m_appNumber), "instanceId", instanceId) != 0) {
            return nullptr;
        }
        auto instance = std::make_unique<MsSqlInstance>(instanceId);
        if (!instance->exists()) return nullptr;
        m_instance = std::move(instance);
    }
    return m_instance.get();
}

JXClient* ApplicationId::getClient() {
    if (!m_client) {
        uint64_t clientId = 0;
        if (AppModel::GetUnsigned(AppModel::ObjectName("subclient", m_appNumber), "clientId", clientId) != 0) {
            return nullptr;
        }
        m_client = std::make_unique<JXClient>(clientId);
    }
    return m_client.get();
}

ApplicationTypeSharePointV2Doc* ApplicationId::getApplicationType() {
    if (!m_applicationType) m_applicationType = std::make_unique<ApplicationTypeSharePointV2Doc>(m_appNumber);
    return m_applicationType.get();
}

BackupSet* ApplicationId::getBackupSet() {
    if (!m_backupSet) {
        auto backupSet = std::make_unique<BackupSet>(m_appNumber);
        uint64_t backupSetId = 0;
        if (backupSet->getId(backupSetId) != 0) return nullptr;
        m_backupSet = std::move(backupSet);
    }
    return m_backupSet.get();
}
