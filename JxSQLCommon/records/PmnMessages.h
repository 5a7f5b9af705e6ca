// Media-agent and object-restore messages (module 22).
#pragma once

#include "Messages/CNMessageBase.h"

namespace Pmn {

class GetSchemaTableMappingReq : public CNMessageBase {
public:
    GetSchemaTableMappingReq() : CNMessageBase(22, 230) {}
};

// Mount, unmount or cache refresh of a subclient's mount point.
class MAMountPointReq : public CNMessageBase {
public:
    MAMountPointReq() : CNMessageBase(22, 690) {}
    static constexpr CNFieldId kSubclientId{1, 1};     // int64
    static constexpr CNFieldId kMountPath{2, 2};       // string
    static constexpr CNFieldId kReserved{3, 3};        // int64, 0
    static constexpr CNFieldId kMount{4, 4};           // int64
    static constexpr CNFieldId kUnmount{5, 5};         // int64
    static constexpr CNFieldId kRefreshCache{7, 7};    // int64
};

}  // namespace Pmn
