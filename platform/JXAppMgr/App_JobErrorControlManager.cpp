// Error-decision rules of a client from the rules files under the root.
#include "JXAppMgr/App_JobErrorControlManager.h"

#include <fstream>

#include "JXAppMgr/AppModel.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "WzUtils/PlatformRoot.h"
#include "WzUtils/WzFormat.h"

std::string App_JobErrorControlManager::RulesFilePath(uint64_t clientId, unsigned long appType) {
    return wz::PlatformPath(wz::Format("appmgr/errorrules/%llu-%lu.xml", static_cast<unsigned long long>(clientId), appType));
}

int App_JobErrorControlManager::getJobErrorRules(const std::string& request, unsigned long appType,
                                                 std::string& reply, int) {
    JxEntities::GenericEntity entity;
    if (entity.unserialize(request) != kMsgOk || !entity.isSet(JxEntities::GenericEntity::kClientId)) {
        return JXAPPMGR_E_BAD_VALUE;
    }
    const uint64_t clientId = static_cast<uint64_t>(entity.getint64(JxEntities::GenericEntity::kClientId));
    std::ifstream in(RulesFilePath(clientId, appType), std::ios::binary);
    if (!in) return JXAPPMGR_E_NO_OBJECT;
    std::string text;
    text.reserve(4096);
    char buffer[4096];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
        text.append(buffer, static_cast<size_t>(in.gcount()));
        if (text.size() > kMaxRulesBytes) return JXAPPMGR_E_BAD_VALUE;
    }
    if (in.bad()) return JXAPPMGR_E_BAD_VALUE;
    if (text.empty()) return JXAPPMGR_E_NO_OBJECT;
    reply = std::move(text);
    return 0;
}
