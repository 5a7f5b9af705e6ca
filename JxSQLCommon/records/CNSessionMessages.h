// Session-service messages (module 9): remote commands and on-demand services.
#pragma once

#include "Messages/CNMessageBase.h"

namespace CNSession {

class jxsExecuteRemoteCommandType : public CNMessageBase {
public:
    jxsExecuteRemoteCommandType() : CNMessageBase(9, 45) {}
    static constexpr CNFieldId kFlag1{1, 1};       // int64
    static constexpr CNFieldId kProgram{2, 2};     // string
    static constexpr CNFieldId kArguments{3, 3};   // string
    static constexpr CNFieldId kFlag4{4, 4};       // int64
    static constexpr CNFieldId kFlag5{5, 5};       // int64
};

class LaunchOnDemandServiceReq : public CNMessageBase {
public:
    LaunchOnDemandServiceReq() : CNMessageBase(9, 60) {}
    static constexpr CNFieldId kClientName{1, 1};
    static constexpr CNFieldId kServiceName{2, 2};
};

class LaunchOnDemandServiceDetails : public CNMessageBase {
public:
    LaunchOnDemandServiceDetails() : CNMessageBase(9, 57) {}
    static constexpr CNFieldId kServiceInstance{2, 2};   // string
};

}  // namespace CNSession
