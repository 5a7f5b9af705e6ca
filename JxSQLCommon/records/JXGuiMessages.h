// Console messages (module 1).
#pragma once

#include "Messages/CNMessageBase.h"

namespace JXGui {

class GenericResp : public CNMessageBase {
public:
    GenericResp() : CNMessageBase(1, 0) {}
    static constexpr CNFieldId kErrorCode{1, 1};   // int64
    static constexpr CNFieldId kErrorText{2, 2};   // string
};

}  // namespace JXGui
