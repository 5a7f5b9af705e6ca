// Job-manager messages (module 21): a backup job's status tab.
#pragma once

#include "Messages/CNMessageBase.h"

namespace JobManager {

// State of one database in a backup job.
enum SQLDBStatus : int64_t {
    kDBStatusBackedUp = 1,
    kDBStatusFailed = 2,
    kDBStatusSkippedInPhase = 3,
    kDBStatusConverted = 4,
    kDBStatusListed = 5,
    kDBStatusSkippedAtCollect = 6,
    kDBStatusSkippedCountedFailed = 7,
};

enum SQLDatabasePhase : int64_t {
    kDBPhaseNone = 0,
    kDBPhaseFull = 1,
    kDBPhaseDifferential = 3,
};

// One database's record of the status tab.
class SQLStatusTab : public CNMessageBase {
public:
    SQLStatusTab() : CNMessageBase(21, 91) {}
    static constexpr CNFieldId kInstanceName{1, 1};       // string
    static constexpr CNFieldId kDatabaseName{2, 5};       // string
    static constexpr CNFieldId kStatus{3, 9};             // SQLDBStatus
    static constexpr CNFieldId kFailureReason{4, 10};     // string
    static constexpr CNFieldId kReason{5, 14};            // string
    static constexpr CNFieldId kBackupStartDate{6, 18};
    static constexpr CNFieldId kBackupFinishDate{7, 19};
    static constexpr CNFieldId kBackupValue{8, 20};
    static constexpr CNFieldId kFirstLsn{9, 21};          // string
    static constexpr CNFieldId kLastLsn{10, 25};          // string
    static constexpr CNFieldId kInitiatedFrom{11, 29};
    static constexpr CNFieldId kSharePoint{12, 30};
    static constexpr CNFieldId kDatabasePhase{13, 31};    // SQLDatabasePhase
    static constexpr CNFieldId kBackupPhase{14, 32};      // 1 full, 2 log, 3 differential
    static constexpr CNFieldId kSkipReason{15, 33};
};

class SQLJobInfo : public CNMessageBase {
public:
    SQLJobInfo() : CNMessageBase(21, 127) {}
    static constexpr CNFieldId kJobId{1, 1};
    static constexpr CNFieldId kJxCellId{2, 2};
    static constexpr CNFieldId kStatusTabs{3, 3};   // list of SQLStatusTab
};

class PreparedJobsFromForeignReq : public CNMessageBase {
public:
    PreparedJobsFromForeignReq() : CNMessageBase(21, 128) {}
};

class PreparedJobsFromForeignResp : public CNMessageBase {
public:
    PreparedJobsFromForeignResp() : CNMessageBase(21, 129) {}
};

}  // namespace JobManager
