// Application-manager messages (module 30): availability groups and their
// databases, pseudo-client lookups, error-decision rules, live-sync
// replication records and the requests that carry them.
#pragma once

#include "Messages/CNMessageBase.h"

namespace App {

// One availability group as the SQL layer describes it.
class SQLAvailabilityGroup : public CNMessageBase {
public:
    SQLAvailabilityGroup() : CNMessageBase(30, 144) {}
    static constexpr CNFieldId kGuid{1, 1};   // string, optional
    static constexpr CNFieldId kName{5, 2};   // string
};

class SQLAvailabilityGroups : public CNMessageBase {
public:
    SQLAvailabilityGroups() : CNMessageBase(30, 145) {}
    static constexpr CNFieldId kGroups{1, 1};   // list of SQLAvailabilityGroup
};

// One database of an availability group.
class SQLAvailabilityDatabase : public CNMessageBase {
public:
    SQLAvailabilityDatabase() : CNMessageBase(30, 692) {}
    static constexpr CNFieldId kName{1, 1};           // string
    static constexpr CNFieldId kCreationTime{5, 5};   // int64
    static constexpr CNFieldId kDatabaseId{6, 6};     // int64
};

class SQLAvailabilityDatabases : public CNMessageBase {
public:
    SQLAvailabilityDatabases() : CNMessageBase(30, 693) {}
    static constexpr CNFieldId kDatabases{1, 1};   // list of SQLAvailabilityDatabase
};

// The availability-group catalogue requests; each names its instance
// through a JxEntities::GenericEntity.
class GetAvailabilityGroupsReq : public CNMessageBase {
public:
    GetAvailabilityGroupsReq() : CNMessageBase(30, 691) {}
    static constexpr CNFieldId kInstance{2, 2};
};

class GetAGReq : public CNMessageBase {
public:
    GetAGReq() : CNMessageBase(30, 1194) {}
    static constexpr CNFieldId kInstance{1, 1};
    static constexpr CNFieldId kGroupName{2, 2};   // string
};

class GetAvailabilityDatabasesReq : public CNMessageBase {
public:
    GetAvailabilityDatabasesReq() : CNMessageBase(30, 694) {}
    static constexpr CNFieldId kInstance{2, 2};       // entity giving the instance id
    static constexpr CNFieldId kInstanceName{3, 3};   // entity giving the instance name
    static constexpr CNFieldId kGroupName{4, 4};      // string
};

class GetAvailabilityGroupReplicasReq : public CNMessageBase {
public:
    GetAvailabilityGroupReplicasReq() : CNMessageBase(30, 695) {}
    static constexpr CNFieldId kInstance{2, 2};
    static constexpr CNFieldId kGroupName{3, 3};   // string
};

// Stored-procedure request: is a pseudo-client configured for a group?
class GetSqlClientAndInstanceReq : public CNMessageBase {
public:
    GetSqlClientAndInstanceReq() : CNMessageBase(30, 149) {}
    static constexpr CNFieldId kRequestKind{1, 1};   // int64, always 1
    static constexpr CNFieldId kGroupGuid{2, 2};     // string
};

class GetSqlClientAndInstanceResp : public CNMessageBase {
public:
    GetSqlClientAndInstanceResp() : CNMessageBase(30, 150) {}
    static constexpr CNFieldId kResult{1, 1};   // message (30, 291), fields below
    static constexpr int kResultModule = 30;
    static constexpr int kResultMessage = 291;
    static constexpr CNFieldId kPseudoClientConfigured{6, 6};   // int64 of the result
};

// One error-decision rule of the job manager.
class JobErrorDecisionRule : public CNMessageBase {
public:
    JobErrorDecisionRule() : CNMessageBase(30, 353) {}
    static constexpr CNFieldId kApplies{1, 7};             // 0: the entry is ignored
    static constexpr CNFieldId kOfflineDatabases{2, 14};
    static constexpr CNFieldId kEmptyCollectFile{4, 20};
    static constexpr CNFieldId kSkippedDatabases{3, 21};
    static constexpr CNFieldId kDatabaseDecision{13, 22};  // present: the database rule exists
    static constexpr CNFieldId kJobDecision{14, 23};       // present: the job rule exists
};

class JobErrorDecisionRuleList : public CNMessageBase {
public:
    JobErrorDecisionRuleList() : CNMessageBase(30, 354) {}
    static constexpr CNFieldId kRules{1, 1};   // list of JobErrorDecisionRule
};

// Live-sync replication of one restore source.
class LiveSyncReplicationInfo : public CNMessageBase {
public:
    LiveSyncReplicationInfo() : CNMessageBase(30, 639) {}
    static constexpr CNFieldId kReplicationId{1, 1};   // int64
    static constexpr CNFieldId kSubtask{2, 2};         // JxEntities::SubtaskEntity
    static constexpr CNFieldId kStatus{3, 3};          // int64: 1 = complete
};

class GenericResp : public CNMessageBase {
public:
    GenericResp() : CNMessageBase(30, 1595) {}
    static constexpr CNFieldId kErrorCode{1, 1};
    static constexpr CNFieldId kErrorText{2, 2};
};

// Log dump (or staging) on a secondary replica.
class AGTLBackupReq : public CNMessageBase {
public:
    AGTLBackupReq() : CNMessageBase(30, 2460) {}
    static constexpr CNFieldId kInstance{1, 1};          // JxEntities::GenericEntity
    static constexpr CNFieldId kStagingArgument{3, 3};   // string
    static constexpr CNFieldId kInstanceDetail1{4, 4};   // string
    static constexpr CNFieldId kInstanceDetail2{5, 5};   // string
    static constexpr CNFieldId kClientText2{9, 9};       // string
    static constexpr CNFieldId kDatabases{10, 10};       // list of strings
    static constexpr CNFieldId kGenericOptions{18, 18};  // int64
    static constexpr CNFieldId kInstanceNumber{19, 19};  // int64
    static constexpr CNFieldId kDumpOnSecondary{20, 20}; // int64: non-zero = dump through the dump library
};

class ValidateSQLCloudCredentialsReq : public CNMessageBase {
public:
    ValidateSQLCloudCredentialsReq() : CNMessageBase(30, 3040) {}
    static constexpr CNFieldId kInstance{5, 5};   // JxEntities::GenericEntity (instance id, client id)
};

class GetTargetTableHierarchyReq : public CNMessageBase {
public:
    GetTargetTableHierarchyReq() : CNMessageBase(30, 1090) {}
};

}  // namespace App
