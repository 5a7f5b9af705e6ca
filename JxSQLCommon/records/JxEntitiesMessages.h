// Entity messages (module 18): the instance, client and subclient a request,
// an answer or a job-manager query is about.
//
// GenericEntity is the one entity class of the agent's messages: every
// "instance entity" nested in a request or an answer is a GenericEntity.
// Its fields are named in several notations by the requests and services
// that use it; this table is the one the code uses:
//   field              (id, member)  type    other notations
//   entity type        (0, 0)        int64
//   instance name      (1, 1)        string  "field 1"
//   JxCell id          (2, 2)        int64   written (1, 1) by the index browse request
//   subclient name     (4, 4)        string  "field 5" of the log-dump request
//   subclient id       (5, 11)       int64   "tag 10", "field 5", application id
//   application name   (7, 7)        string
//   backup-set id      (8, 20)       int64   "tag 36", recovery-point id "field 20"
//   instance id        (11, 29)      int64   "tag 0", "id 29", "field 11"
//   application type   (14, 38)      int64   81 for this agent
//   client id          (17, 47)      int64   "tag 19", "id 47", "field 17"
//   client name        (18, 48)      string  "field 8"
#pragma once

#include "Messages/CNMessageBase.h"

namespace JxEntities {

// The kind of entity the job manager is asked about (the backup job passes 3).
enum EntityType : int {};

class GenericEntity : public CNMessageBase {
public:
    GenericEntity() : CNMessageBase(18, 46) {}

    static constexpr CNFieldId kEntityType{0, 0};
    static constexpr CNFieldId kInstanceName{1, 1};
    static constexpr CNFieldId kJxCellId{2, 2};
    static constexpr CNFieldId kSubclientName{4, 4};
    static constexpr CNFieldId kSubclientId{5, 11};
    static constexpr CNFieldId kApplicationName{7, 7};
    static constexpr CNFieldId kBackupSetId{8, 20};
    static constexpr CNFieldId kInstanceId{11, 29};
    static constexpr CNFieldId kApplicationType{14, 38};
    static constexpr CNFieldId kClientId{17, 47};
    static constexpr CNFieldId kClientName{18, 48};
};

class SubtaskEntity : public CNMessageBase {
public:
    SubtaskEntity() : CNMessageBase(18, 44) {}

    static constexpr CNFieldId kSubtaskId{3, 3};
};

}  // namespace JxEntities
