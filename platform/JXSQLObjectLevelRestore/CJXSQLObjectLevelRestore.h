// CJXSQLObjectLevelRestore: the object-level restore layer, as far as the
// archive-information requests use it.
//
// Between Initialize() and DeInitialize() each FetchAndSendResult computes the
// answer to one request and sends it on the given session as an XML message
// of the message layer (under its tag id). The stand-in's answers are fixed:
// the schema mapping maps "dbo" to "dbo" (class (22, 231), list of strings
// field 1); the table hierarchy lists one parent and one child table (class
// (30, 1091), list of strings field 1).
#pragma once

#include <string>
#include <vector>

#include "WzUtils/CWzError.h"

class CJxNetwork;
namespace Pmn {
class GetSchemaTableMappingReq;
}
namespace App {
class GetTargetTableHierarchyReq;
}

class CJXSQLObjectLevelRestore {
public:
    CWzError Initialize();
    CWzError FetchAndSendResult(Pmn::GetSchemaTableMappingReq& request, CJxNetwork* session);
    CWzError FetchAndSendResult(App::GetTargetTableHierarchyReq& request, CJxNetwork* session);
    void DeInitialize();

    // Message classes of the answers.
    static constexpr int kSchemaMappingModule = 22;
    static constexpr int kSchemaMappingMessage = 231;
    static constexpr int kTableHierarchyModule = 30;
    static constexpr int kTableHierarchyMessage = 1091;

private:
    CWzError Send(const char* what, int module, int message, const std::vector<std::string>& items,
                  CJxNetwork* session);

    bool m_initialized = false;
};
