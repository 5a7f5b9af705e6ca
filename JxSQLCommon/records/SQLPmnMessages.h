// The agent's own XML messages (module 34): requests and answers of the
// central server and of peers, availability-group child/master messages,
// backup metadata, integrity checks and remote copies.
//
// Each class publishes its fields as CNFieldId constants (field id, member
// index); code reads and writes fields only through them.
#pragma once

#include "Messages/CNMessageBase.h"

namespace SQLPmn {

// The answer of every XML request handler: error code 0 (and an empty
// message) for success.
class ErrorMessage : public CNMessageBase {
public:
    ErrorMessage() : CNMessageBase(34, 47) {}
    static constexpr CNFieldId kMessage{1, 1};     // string
    static constexpr CNFieldId kErrorCode{2, 5};   // int64
};

class GenericResp : public CNMessageBase {
public:
    GenericResp() : CNMessageBase(34, 81) {}
    static constexpr CNFieldId kErrorCode{1, 1};   // int64
    static constexpr CNFieldId kErrorText{2, 2};   // string
};

class CheckSourceConnectivityReq : public CNMessageBase {
public:
    CheckSourceConnectivityReq() : CNMessageBase(34, 0) {}
    static constexpr CNFieldId kInstance{1, 1};           // JxEntities::GenericEntity
    static constexpr CNFieldId kDatabaseName{2, 2};       // string
    static constexpr CNFieldId kArchiveCondition{3, 3};   // string, optional
    static constexpr CNFieldId kConditionDetail{4, 4};    // string
};

class CheckSourceConnectivityRsp : public CNMessageBase {
public:
    CheckSourceConnectivityRsp() : CNMessageBase(34, 13) {}
    static constexpr CNFieldId kErrorText{1, 1};        // string, absent on success
    static constexpr CNFieldId kRowCheckResult{2, 2};   // string
};

// One database to attach: the name to attach it under, its source name and
// the paths of its files.
class AttachDB : public CNMessageBase {
public:
    AttachDB() : CNMessageBase(34, 20) {}
    static constexpr CNFieldId kAttachName{1, 1};   // string
    static constexpr CNFieldId kSourceName{2, 2};   // string
    static constexpr CNFieldId kFilePaths{3, 3};    // list of strings
};

class AttachDBMsg : public CNMessageBase {
public:
    AttachDBMsg() : CNMessageBase(34, 12) {}
    static constexpr CNFieldId kInstanceName{1, 1};   // string
    static constexpr CNFieldId kDatabases{2, 5};      // list of AttachDB
    static constexpr CNFieldId kRecoveryPoint{3, 6};  // message (34, 89), fields below

    // The recovery-point object of class (34, 89).
    static constexpr int kRecoveryPointModule = 34;
    static constexpr int kRecoveryPointMessage = 89;
    static constexpr CNFieldId kRecoveryPointIdC{1, 1};      // int64
    static constexpr CNFieldId kRecoveryPointEntity{2, 2};   // GenericEntity: client id, backup-set id (id A)
    static constexpr CNFieldId kRecoveryPointIdB{3, 3};      // int64
};

// Child/master exchange of an availability-group backup. Exactly one of the
// phase fields is 1 in every message the child sends.
class SQLAGCollectFile : public CNMessageBase {
public:
    SQLAGCollectFile() : CNMessageBase(34, 15) {}
    static constexpr CNFieldId kOwnCollectFile{1, 1};   // int64: child: 1 = carries its list; reply: status
    static constexpr CNFieldId kConvertedList{2, 2};    // int64
    static constexpr CNFieldId kWantPromoted{3, 3};     // int64
    static constexpr CNFieldId kWantRestart{4, 4};      // int64
    static constexpr CNFieldId kPhaseFull{5, 5};        // int64
    static constexpr CNFieldId kPhaseDiff{6, 6};        // int64
    static constexpr CNFieldId kPhaseLog{7, 7};         // int64
    static constexpr CNFieldId kDatabases{8, 8};        // list of strings
    static constexpr CNFieldId kStreamCount{9, 9};      // int64
    static constexpr CNFieldId kWantOnDemandList{10, 10};   // int64
};

class SQLAGStreamCount : public CNMessageBase {
public:
    SQLAGStreamCount() : CNMessageBase(34, 61) {}
    static constexpr CNFieldId kPhaseFull{2, 2};
    static constexpr CNFieldId kPhaseDiff{3, 3};
    static constexpr CNFieldId kPhaseLog{4, 4};
    static constexpr CNFieldId kStreamCount{5, 5};
};

class SQLAGJobStatus : public CNMessageBase {
public:
    SQLAGJobStatus() : CNMessageBase(34, 44) {}
    static constexpr CNFieldId kSuccess{1, 1};
    static constexpr CNFieldId kPartialSuccess{2, 2};
    static constexpr CNFieldId kFailure{3, 3};
};

class SQLAGClientStartedFinish : public CNMessageBase {
public:
    SQLAGClientStartedFinish() : CNMessageBase(34, 41) {}
    static constexpr CNFieldId kStarted{1, 1};   // int64: 1 started, 0 finished
};

class SQLAGSQLServerToUseForBackup : public CNMessageBase {
public:
    SQLAGSQLServerToUseForBackup() : CNMessageBase(34, 21) {}
    static constexpr CNFieldId kServerName{1, 1};   // string
    static constexpr CNFieldId kInstanceId{5, 5};   // int64
};

// One backup of one database as SQL Server's backup history describes it.
class SQLDBBackupInfo : public CNMessageBase {
public:
    SQLDBBackupInfo() : CNMessageBase(34, 52) {}
    // Further values of the backup set, copied unchanged (32-bit values).
    static constexpr CNFieldId kValue1{1, 1};
    static constexpr CNFieldId kValue2{2, 2};
    static constexpr CNFieldId kValue3{3, 3};
    static constexpr CNFieldId kValue4{4, 4};
    static constexpr CNFieldId kValue5{5, 5};
    static constexpr CNFieldId kBackupStartDate{6, 6};    // int64, seconds since 1970
    static constexpr CNFieldId kBackupFinishDate{7, 7};   // int64, seconds since 1970
    static constexpr CNFieldId kBackupType{8, 8};         // string: history letter D, I, L, P, Q, F, G
    static constexpr CNFieldId kDatabaseId{9, 9};         // int64
    static constexpr CNFieldId kFirstLsn{11, 11};         // string
    static constexpr CNFieldId kLastLsn{12, 12};          // string
    static constexpr CNFieldId kCheckpointLsn{13, 13};    // string
    static constexpr CNFieldId kDatabaseBackupLsn{14, 14};   // string
    static constexpr CNFieldId kDatabaseName{16, 16};     // string
    // Further texts 23 to 31: 28 is always copied, the others only when not empty.
    static constexpr CNFieldId kExtraTexts[] = {{23, 23}, {24, 24}, {25, 25}, {26, 26}, {27, 27},
                                                {28, 28}, {29, 29}, {30, 30}, {31, 31}};
    // What the engine stand-in puts in texts 23 to 25: the recovery path the
    // backup was taken on, the path that one forked from, and the fork LSN
    // (the first LSN of the path).
    static constexpr CNFieldId kRecoveryPath{23, 23};
    static constexpr CNFieldId kForkedFromPath{24, 24};
    static constexpr CNFieldId kForkLsn{25, 25};
    static constexpr CNFieldId kValue64{40, 12};          // int64, copied unchanged
    static constexpr CNFieldId kFlag86{86, 86};           // int64, one byte
    static constexpr CNFieldId kFlag87{87, 87};           // int64, one byte
};

class SQLFileBackupInfo : public CNMessageBase {
public:
    SQLFileBackupInfo() : CNMessageBase(34, 34) {}
    static constexpr CNFieldId kFileNumber{2, 2};      // int64
    static constexpr CNFieldId kFileSize{3, 3};        // int64, bytes
    static constexpr CNFieldId kFileType{5, 5};        // int64
    static constexpr CNFieldId kFilegroupName{6, 6};   // string
    static constexpr CNFieldId kPhysicalName{7, 7};    // string
    static constexpr CNFieldId kLogicalName{8, 8};     // string
};

// The backup metadata of one database: produced by a streamed backup, kept
// beside a log dump as its ".xml" twin, read from the backup history.
class SQLDBBackupMetadata : public CNMessageBase {
public:
    SQLDBBackupMetadata() : CNMessageBase(34, 19) {}
    static constexpr CNFieldId kBackups{1, 1};      // list of SQLDBBackupInfo; the first describes the backup
    static constexpr CNFieldId kFiles{2, 2};        // list of SQLFileBackupInfo
    static constexpr CNFieldId kSharePoint{3, 3};   // int64, non-zero for a SharePoint database
};

class SQLBackupDatabaseFilesMediaMetaInfo : public CNMessageBase {
public:
    SQLBackupDatabaseFilesMediaMetaInfo() : CNMessageBase(34, 58) {}
    static constexpr CNFieldId kPhysicalName{1, 1};
    static constexpr CNFieldId kLogicalName{2, 2};
    static constexpr CNFieldId kFilegroupName{3, 3};
    static constexpr CNFieldId kFileNumber{4, 4};
    static constexpr CNFieldId kFileType{5, 5};
    static constexpr CNFieldId kFileSize{6, 6};
};

class SQLBackupDatabaseArchiveMetaInfo : public CNMessageBase {
public:
    SQLBackupDatabaseArchiveMetaInfo() : CNMessageBase(34, 60) {}
    static constexpr CNFieldId kJxCellId{1, 1};
    static constexpr CNFieldId kArchiveFileId{2, 2};
    static constexpr CNFieldId kOffset{3, 3};
};

// One database's backup metadata for the media agent.
class SQLBackupDatabaseMediaMetaInfo : public CNMessageBase {
public:
    SQLBackupDatabaseMediaMetaInfo() : CNMessageBase(34, 59) {}
    static constexpr CNFieldId kValue1{1, 1};
    static constexpr CNFieldId kDatabaseId{2, 2};
    static constexpr CNFieldId kStartDate{3, 3};
    static constexpr CNFieldId kFinishDate{4, 4};
    static constexpr CNFieldId kValue5{5, 5};
    static constexpr CNFieldId kValue2{6, 6};
    static constexpr CNFieldId kValue3{7, 7};
    static constexpr CNFieldId kValue4{8, 8};
    static constexpr CNFieldId kApplicationId{9, 9};
    static constexpr CNFieldId kArchiveGroupId{10, 10};
    static constexpr CNFieldId kInstanceId{11, 11};
    static constexpr CNFieldId kApplicationType{12, 12};
    static constexpr CNFieldId kValue64{13, 13};
    static constexpr CNFieldId kFirstLsn{14, 14};
    static constexpr CNFieldId kLastLsn{15, 15};
    static constexpr CNFieldId kCheckpointLsn{16, 16};
    static constexpr CNFieldId kDatabaseBackupLsn{17, 17};
    static constexpr CNFieldId kDatabaseName{18, 18};
    static constexpr CNFieldId kBackupType{19, 19};
    static constexpr CNFieldId kCallerText{21, 21};
    static constexpr CNFieldId kCopyOnly{22, 22};
    static constexpr CNFieldId kBackupMethod{23, 23};
    static constexpr CNFieldId kJobId{24, 24};
    static constexpr CNFieldId kLogFromFileSystem{25, 25};
    // SQLDBBackupInfo::kExtraTexts, in the same order.
    static constexpr CNFieldId kExtraTexts[] = {{26, 26}, {27, 27}, {28, 28}, {29, 29}, {30, 30},
                                                {31, 31}, {32, 32}, {33, 33}, {34, 34}};
    static constexpr CNFieldId kFlag86Text{35, 35};
    static constexpr CNFieldId kFlag87Text{36, 36};
    static constexpr CNFieldId kFiles{37, 37};      // list of SQLBackupDatabaseFilesMediaMetaInfo
    static constexpr CNFieldId kArchives{38, 38};   // list of SQLBackupDatabaseArchiveMetaInfo
};

class SQLDatabaseBackupInfoList : public CNMessageBase {
public:
    SQLDatabaseBackupInfoList() : CNMessageBase(34, 57) {}
    static constexpr CNFieldId kDatabases{1, 1};   // list of SQLBackupDatabaseMediaMetaInfo
};

class SQLIntegrityCheckInit : public CNMessageBase {
public:
    SQLIntegrityCheckInit() : CNMessageBase(34, 31) {}
    static constexpr CNFieldId kJobId{1, 1};
    static constexpr CNFieldId kApplicationId{2, 2};
    static constexpr CNFieldId kInstanceId{3, 3};
    static constexpr CNFieldId kJxCellId{4, 4};
    static constexpr CNFieldId kSourceClientId{5, 5};
    static constexpr CNFieldId kMajorVersion{6, 6};
    static constexpr CNFieldId kMinorVersion{7, 7};
    static constexpr CNFieldId kBuildNumber{8, 8};
    static constexpr CNFieldId kVersionText{11, 11};     // string
    static constexpr CNFieldId kCheckInstance{12, 12};   // string
    static constexpr CNFieldId kProxyUser{13, 13};       // string
    static constexpr CNFieldId kProxyPassword{14, 14};   // string, stored encrypted form
};

class SQLIntegrityCheckResponse : public CNMessageBase {
public:
    SQLIntegrityCheckResponse() : CNMessageBase(34, 46) {}
    static constexpr CNFieldId kStatus{1, 1};      // int64: 0 passed, 1 failed
    static constexpr CNFieldId kErrorCode{2, 2};   // int64: 1000 = impersonation failed
    static constexpr CNFieldId kErrorText{4, 4};   // string
};

// The last restore of a database (first and last LSN) as the SQL layer gives it.
class DBLastRestoreInfo : public CNMessageBase {
public:
    DBLastRestoreInfo() : CNMessageBase(34, 86) {}
    static constexpr CNFieldId kText{2, 2};
    static constexpr CNFieldId kFirstLsn{4, 4};
    static constexpr CNFieldId kLastLsn{5, 5};
};

class DBAFRestoreInfoReq : public CNMessageBase {
public:
    DBAFRestoreInfoReq() : CNMessageBase(34, 85) {}
    static constexpr CNFieldId kRestoreTaskId{1, 1};      // int64
    static constexpr CNFieldId kSourceInstanceId{2, 2};   // int64
    static constexpr CNFieldId kDatabaseName{3, 3};       // string
    static constexpr CNFieldId kLastRestore{4, 7};        // DBLastRestoreInfo
};

class SqlUpdateDatabaseInfoReq : public CNMessageBase {
public:
    SqlUpdateDatabaseInfoReq() : CNMessageBase(34, 91) {}
    static constexpr CNFieldId kInstanceId{1, 1};
    static constexpr CNFieldId kApplicationId{2, 2};
    static constexpr CNFieldId kDatabaseName{3, 3};      // string
    static constexpr CNFieldId kRecoveryModel{4, 7};     // DatabaseRecoveryModel
    static constexpr CNFieldId kLastBackupTime{5, 8};
    static constexpr CNFieldId kLastFailureTime{6, 9};
    static constexpr CNFieldId kJobId{7, 10};
    static constexpr CNFieldId kStatus{9, 12};
    static constexpr CNFieldId kText{10, 13};            // string
};

enum DatabaseRecoveryModel : int64_t {
    kRecoveryFull = 1,
    kRecoveryBulkLogged = 2,
    kRecoverySimple = 3,
    kRecoveryNone = 4,
};

class SqlUpdateDatabaseInfoResp : public CNMessageBase {
public:
    SqlUpdateDatabaseInfoResp() : CNMessageBase(34, 90) {}
    static constexpr CNFieldId kErrorCode{1, 1};
    static constexpr CNFieldId kErrorText{2, 2};
};

class UpdateDatabaseStatusReq : public CNMessageBase {
public:
    UpdateDatabaseStatusReq() : CNMessageBase(34, 92) {}
    static constexpr CNFieldId kOperation{1, 1};      // int64, a 32-bit operation number
    static constexpr CNFieldId kInstance{2, 2};       // JxEntities::GenericEntity
    static constexpr CNFieldId kDatabaseName{3, 3};   // string
};

// One database's log-dump result for the primary (service-level information).
class SqlUpdateBackupInfo : public CNMessageBase {
public:
    SqlUpdateBackupInfo() : CNMessageBase(34, 97) {}
    static constexpr CNFieldId kDatabaseName{1, 1};   // string
    static constexpr CNFieldId kNumber64{2, 5};       // int64
    static constexpr CNFieldId kNumber32{3, 6};       // int64, a 32-bit value zero-extended
    static constexpr CNFieldId kSecondText{4, 7};     // string
    static constexpr CNFieldId kFirstText{5, 11};     // string
};

class SqlUpdateBackupDumpInfoReq : public CNMessageBase {
public:
    SqlUpdateBackupDumpInfoReq() : CNMessageBase(34, 96) {}
    static constexpr CNFieldId kEntity{2, 5};        // JxEntities::GenericEntity with the subclient id
    static constexpr CNFieldId kBackupInfos{6, 12};  // list of SqlUpdateBackupInfo
};

class SQLTLDumpCache : public CNMessageBase {
public:
    SQLTLDumpCache() : CNMessageBase(34, 101) {}
    static constexpr CNFieldId kSubclientId{1, 1};   // int64
    static constexpr CNFieldId kOperation{2, 2};     // int64: 1 = store
    static constexpr CNFieldId kCacheText{3, 3};     // string
};

class GetSqlRestoreOptionsReq : public CNMessageBase {
public:
    GetSqlRestoreOptionsReq() : CNMessageBase(34, 103) {}
    static constexpr CNFieldId kRestoreTaskId{1, 1};
};

class GetSqlRestoreOptionsResp : public CNMessageBase {
public:
    GetSqlRestoreOptionsResp() : CNMessageBase(34, 104) {}
    static constexpr CNFieldId kArchiveSelector{1, 1};
    static constexpr CNFieldId kSource{2, 2};           // JxEntities::GenericEntity
    static constexpr CNFieldId kDestination{3, 3};      // JxEntities::GenericEntity
    static constexpr CNFieldId kCopyPrecedence{5, 5};
    static constexpr CNFieldId kPointInTime{6, 6};
    static constexpr CNFieldId kOptionFlags{7, 7};
    static constexpr CNFieldId kStandbyUndoFile{8, 8};  // string
    static constexpr CNFieldId kDatabases{9, 12};       // list of strings
    static constexpr CNFieldId kRelocations{10, 13};    // list of strings
    static constexpr CNFieldId kDateFormatKind{21, 21};
};

class SqlCreateSourceViewInfoReq : public CNMessageBase {
public:
    SqlCreateSourceViewInfoReq() : CNMessageBase(34, 111) {}
    static constexpr CNFieldId kInstance{1, 1};   // JxEntities::GenericEntity
    static constexpr CNFieldId kArgument1{2, 2};  // strings handed to the view creation
    static constexpr CNFieldId kArgument2{3, 3};
    static constexpr CNFieldId kArgument3{4, 4};
    static constexpr CNFieldId kArgument4{5, 5};
    static constexpr CNFieldId kTables{6, 6};     // list of strings
};

class RemoteCopyFileInfo : public CNMessageBase {
public:
    RemoteCopyFileInfo() : CNMessageBase(34, 112) {}
    static constexpr CNFieldId kSourceFolder{1, 1};        // string, ends with a separator
    static constexpr CNFieldId kDestinationFolder{2, 5};   // string
    static constexpr CNFieldId kFileName{3, 9};            // string
    static constexpr CNFieldId kDeleteSource{4, 13};       // int64
};

class RemoteCopyFileAck : public CNMessageBase {
public:
    RemoteCopyFileAck() : CNMessageBase(34, 113) {}
    static constexpr CNFieldId kText{1, 1};     // string
    static constexpr CNFieldId kStatus{2, 5};   // int64: 0 started, 1 in progress, 2 failed, 3 completed, 4 suspend
};

class RemoteCopyInfo : public CNMessageBase {
public:
    RemoteCopyInfo() : CNMessageBase(34, 114) {}
    static constexpr CNFieldId kNodeName{1, 1};      // string
    static constexpr CNFieldId kContentType{2, 5};   // int64
    static constexpr CNFieldId kRequestId{3, 6};     // int64
    static constexpr CNFieldId kFiles{4, 7};         // list of RemoteCopyFileInfo
};

class SqlGetFileStreamInfoReq : public CNMessageBase {
public:
    SqlGetFileStreamInfoReq() : CNMessageBase(34, 118) {}
    static constexpr CNFieldId kFolder{1, 1};
    static constexpr CNFieldId kPattern{2, 2};
};

class SqlFileStreamInfo : public CNMessageBase {
public:
    SqlFileStreamInfo() : CNMessageBase(34, 123) {}
    static constexpr CNFieldId kPath{1, 1};   // string
    static constexpr CNFieldId kSize{2, 2};   // int64, bytes
};

class SqlGetFileStreamInfoRsp : public CNMessageBase {
public:
    SqlGetFileStreamInfoRsp() : CNMessageBase(34, 119) {}
    static constexpr CNFieldId kFiles{1, 1};   // list of SqlFileStreamInfo
};

class SQLDatabaseSizesResp : public CNMessageBase {
public:
    SQLDatabaseSizesResp() : CNMessageBase(34, 124) {}
    static constexpr CNFieldId kSizes{1, 1};   // list of unsigned sizes, in the order of the names asked for
};

}  // namespace SQLPmn
