// Object-level restore stand-in: fixed archive-information answers.
#include "JXSQLObjectLevelRestore/CJXSQLObjectLevelRestore.h"

#include "JxSession/CJxNetwork.h"
#include "Messages/CNMessageBase.h"
#include "WzUtils/FXErrorUtil.h"

namespace {

constexpr int kAnswerTimeoutSeconds = 240;

}  // namespace

CWzError CJXSQLObjectLevelRestore::Initialize() {
    m_initialized = true;
    return CWzError::Success();
}

void CJXSQLObjectLevelRestore::DeInitialize() { m_initialized = false; }

CWzError CJXSQLObjectLevelRestore::Send(const char* what, int module, int message,
                                        const std::vector<std::string>& items, CJxNetwork* session) {
    if (!m_initialized) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_FAIL, "%s: not initialized", what);
    if (session == nullptr) return FXErrorUtil::ErrorHResult(FXCODELOC, WZ_E_POINTER, "%s: no session", what);
    CNMessageBase answer(module, message);
    answer.setliststring(1, 1, items);
    bool flag = false;
    return session->SendXMLMessage(answer, 0, kAnswerTimeoutSeconds, flag);
}

CWzError CJXSQLObjectLevelRestore::FetchAndSendResult(Pmn::GetSchemaTableMappingReq&, CJxNetwork* session) {
    return Send("schema mapping", kSchemaMappingModule, kSchemaMappingMessage, {"dbo=dbo"}, session);
}

CWzError CJXSQLObjectLevelRestore::FetchAndSendResult(App::GetTargetTableHierarchyReq&, CJxNetwork* session) {
    return Send("table hierarchy", kTableHierarchyModule, kTableHierarchyMessage, {"dbo.Orders", "dbo.OrderLines"},
                session);
}
