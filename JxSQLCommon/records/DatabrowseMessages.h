// Data-browse service messages (module 100): index browse and clone requests.
#pragma once

#include "Messages/CNMessageBase.h"

namespace databrowse {

class BrowsePath : public CNMessageBase {
public:
    BrowsePath() : CNMessageBase(100, 3) {}
    static constexpr CNFieldId kPath{1, 1};   // string
};

class Query : public CNMessageBase {
public:
    Query() : CNMessageBase(100, 80) {}
    static constexpr CNFieldId kQueryType{1, 1};   // int64
    static constexpr CNFieldId kOptions{5, 8};     // message (100, 71)
};

// A browse request, and the clone request that has its shape. Nested objects
// are given with their classes; entity objects are JxEntities::GenericEntity.
class BrowseRequest : public CNMessageBase {
public:
    BrowseRequest() : CNMessageBase(100, 92) {}
    static constexpr CNFieldId kOperation{1, 1};     // int64
    static constexpr CNFieldId kEntity{3, 3};        // GenericEntity: the browsed source
    static constexpr CNFieldId kPaths{4, 4};         // list of BrowsePath
    static constexpr CNFieldId kTimeRange{6, 6};     // (100, 64): kToTime, kFromTime
    static constexpr CNFieldId kMode{7, 7};          // (100, 4)
    static constexpr CNFieldId kRequestKind{8, 8};   // (100, 5)
    static constexpr CNFieldId kAdvanced{11, 11};    // (100, 63): kCopyPrecedence, kBrowseOptions
    static constexpr CNFieldId kQueries{12, 12};     // list of Query

    struct TimeRange {   // (100, 64)
        static constexpr CNFieldId kToTime{1, 1};
        static constexpr CNFieldId kFromTime{2, 2};
    };
    struct Advanced {   // (100, 63)
        static constexpr CNFieldId kCopyPrecedence{1, 1};   // also the browse list value
        static constexpr CNFieldId kBrowseOptions{3, 6};    // (100, 61)
    };
    struct BrowseOptions {   // (100, 61)
        static constexpr CNFieldId kSelection{13, 13};   // (100, 60)
    };
    struct Selection {   // (100, 60)
        static constexpr CNFieldId kDatabase{5, 5};   // (100, 55)
    };
    struct Database {   // (100, 55): the browsed database, or the clone settings
        static constexpr CNFieldId kDestination{2, 2};     // GenericEntity
        static constexpr CNFieldId kName{3, 3};            // string
        static constexpr CNFieldId kRestoreName{5, 5};     // string
        static constexpr CNFieldId kPhysicalPaths{8, 8};   // list of strings
        static constexpr CNFieldId kLogicalNames{9, 9};    // list of strings
        static constexpr CNFieldId kReservationDays{41, 41};    // int64: days a clone stays reserved
        static constexpr CNFieldId kReservationHours{45, 45};   // int64: and hours
    };
};

}  // namespace databrowse
