// ApplicationId: subclient and instance lookup in the model.
#include "JXAppMgr/ApplicationId.h"

#include "JXAppMgr/AppModel.h"

ApplicationId::ApplicationId(uint64_t jxCellId, uint64_t appNumber) : m_jxCellId(jxCellId), m_appNumber(appNumber) {}

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
