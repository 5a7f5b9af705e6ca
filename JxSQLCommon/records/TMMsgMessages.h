// Task-manager messages (module 12): task options and entity lists.
#pragma once

#include "Messages/CNMessageBase.h"

namespace TMMsg {

class GenericResp : public CNMessageBase {
public:
    GenericResp() : CNMessageBase(12, 1) {}
};

// One (id, name) entry of an entity list.
class IdIdName : public CNMessageBase {
public:
    IdIdName() : CNMessageBase(12, 48) {}
    static constexpr CNFieldId kId{1, 1};     // int64
    static constexpr CNFieldId kName{3, 3};   // string
};

class EntityListResp : public CNMessageBase {
public:
    EntityListResp() : CNMessageBase(12, 47) {}
    static constexpr CNFieldId kEntities{1, 1};   // list of IdIdName
};

class Pattern : public CNMessageBase {
public:
    Pattern() : CNMessageBase(12, 78) {}
};

class SqlServerRstOption : public CNMessageBase {
public:
    SqlServerRstOption() : CNMessageBase(12, 133) {}
    static constexpr CNFieldId kCommonMountPaths{43, 49};   // list of strings
};

class SharePointMetaData : public CNMessageBase {
public:
    SharePointMetaData() : CNMessageBase(12, 263) {}
    static constexpr CNFieldId kType{5, 5};   // int64: 1011 = database server
    static constexpr CNFieldId kText{6, 6};   // string
};

class JobOption : public CNMessageBase {
public:
    JobOption() : CNMessageBase(12, 262) {}
    // The backup-options object, class (12, 111).
    static constexpr CNFieldId kBackupOptions{1, 1};
    static constexpr int kBackupOptionsModule = 12;
    static constexpr int kBackupOptionsMessage = 111;
    static constexpr CNFieldId kBackupLevel{1, 1};       // int64 of the backup options
    static constexpr CNFieldId kBackupOption16{16, 16};
    static constexpr CNFieldId kBackupOption33{33, 33};
    static constexpr CNFieldId kDatabaseNames{34, 34};   // string, names joined with 0x12
    static constexpr CNFieldId kBackupOption65{65, 65};
    // The SharePoint restore-option object, class (12, 264).
    static constexpr CNFieldId kSharePointRestoreOption{2, 2};
    static constexpr int kSharePointOptionModule = 12;
    static constexpr int kSharePointOptionMessage = 264;
    static constexpr CNFieldId kSharePointRestoreValue{2, 2};   // int64: 2 = overwrite
    static constexpr CNFieldId kSharePointMetaData{3, 3};       // list of SharePointMetaData
};

}  // namespace TMMsg
