// Readiness-check messages (module 118).
#pragma once

#include "Messages/CNMessageBase.h"

namespace Api {

class SQLAppReadinessReq : public CNMessageBase {
public:
    SQLAppReadinessReq() : CNMessageBase(118, 836) {}
    static constexpr CNFieldId kInstance{1, 1};       // JxEntities::GenericEntity (instance id, client id)
    static constexpr CNFieldId kServerType{2, 2};     // string, e.g. "DataBase Engine"
    static constexpr CNFieldId kRoleInstance{3, 3};   // JxEntities::GenericEntity, optional
};

// Sent only on failure.
class SQLAppReadinessResp : public CNMessageBase {
public:
    SQLAppReadinessResp() : CNMessageBase(118, 837) {}
    static constexpr CNFieldId kError{1, 1};    // the `error` object, fields below
    static constexpr CNFieldId kDetail{2, 2};   // string
    static constexpr int kErrorModule = 118;
    static constexpr int kErrorMessage = 1;
    static constexpr CNFieldId kErrorCode{1, 1};      // int64 of the error object
    static constexpr CNFieldId kErrorMessageText{2, 2};   // string of the error object
};

}  // namespace Api
