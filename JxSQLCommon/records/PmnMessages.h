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

// The mounting service's result: field 1 the error code, 0 for success.
class MAMountPointError : public CNMessageBase {
public:
    MAMountPointError() : CNMessageBase(22, 422) {}
    static constexpr CNFieldId kErrorCode{1, 1};       // int64
};

// The mounting service's answer to MAMountPointReq; field 1 holds the result.
class MAMountPointResp : public CNMessageBase {
public:
    MAMountPointResp() : CNMessageBase(22, 691) {}
    static constexpr CNFieldId kError{1, 1};           // MAMountPointError
};

}  // namespace Pmn
