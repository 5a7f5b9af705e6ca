// Message classes of the agent: each round-trips through the decoder as
// itself, and each field table gives every field its own id.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "JxSQLCommon/records/ApiMessages.h"
#include "JxSQLCommon/records/AppMessages.h"
#include "JxSQLCommon/records/CNSessionMessages.h"
#include "JxSQLCommon/records/DatabrowseMessages.h"
#include "JxSQLCommon/records/JXGuiMessages.h"
#include "JxSQLCommon/records/JobManagerMessages.h"
#include "JxSQLCommon/records/JxEntitiesMessages.h"
#include "JxSQLCommon/records/PmnMessages.h"
#include "JxSQLCommon/records/SQLPmnMessages.h"
#include "JxSQLCommon/records/TMMsgMessages.h"
#include "Messages/XMLDecoder.h"

namespace {

std::string ElementNameOf(std::string qualified) {
    return qualified.replace(qualified.find("::"), 2, "_");
}

// Fills one field of every kind, decodes the text with XMLDecoder and checks
// the result is the same class with the same fields.
template <class T>
void ExpectRoundTrip(const char* qualifiedName) {
    SCOPED_TRACE(qualifiedName);
    T message;
    EXPECT_EQ(ElementNameOf(qualifiedName), message.getElementName());

    std::string bare;
    ASSERT_EQ(kMsgOk, message.serialize(bare));
    auto decodedBare = XMLDecoder::decode(bare);
    ASSERT_NE(nullptr, decodedBare) << bare;
    EXPECT_EQ(message, *decodedBare);

    JxEntities::GenericEntity entity;
    entity.setint64(JxEntities::GenericEntity::kInstanceId, 7);
    entity.setstring(JxEntities::GenericEntity::kInstanceName, "HOST\\INST'1\"");
    SQLPmn::AttachDB item;
    item.setliststring(SQLPmn::AttachDB::kFilePaths, {"/var/opt/mssql/data/a.mdf", "b<&>.ldf"});
    message.setstring(1, 1, "db\x12name with \"quotes\" & <tags>");
    message.setint64(2, 2, -123456789012345LL);
    message.setObjectAccessor(3, 3, entity);
    message.setlistobject(4, 4, std::vector<CNMessageBase>{item, item});
    message.setliststring(5, 5, {"first", "", "third"});
    message.setlistulong(6, 6, {1, UINT64_MAX});

    std::string text;
    ASSERT_EQ(kMsgOk, message.serialize(text));
    XMLDecoder decoder;
    CNMessageBase* decoded = decoder.unSerialize(text);
    ASSERT_NE(nullptr, decoded) << decoder.lastError().AsString();
    EXPECT_EQ(message.getModule(), decoded->getModule());
    EXPECT_EQ(message.getMessage(), decoded->getMessage());
    EXPECT_EQ(message.getTagID(), decoded->getTagID());
    EXPECT_EQ(message, *decoded);

    T typed;
    ASSERT_EQ(kMsgOk, typed.copyFrom(*decoded));
    EXPECT_EQ(message, typed);
    T parsed;
    ASSERT_EQ(kMsgOk, parsed.unserialize(text));
    EXPECT_EQ(message, parsed);
}

#define ROUND_TRIP(T) ExpectRoundTrip<T>(#T)

TEST(MessageClassesTest, EveryClassRoundTripsThroughTheDecoder) {
    ROUND_TRIP(JXGui::GenericResp);
    ROUND_TRIP(CNSession::jxsExecuteRemoteCommandType);
    ROUND_TRIP(CNSession::LaunchOnDemandServiceDetails);
    ROUND_TRIP(CNSession::LaunchOnDemandServiceReq);
    ROUND_TRIP(TMMsg::GenericResp);
    ROUND_TRIP(TMMsg::EntityListResp);
    ROUND_TRIP(TMMsg::IdIdName);
    ROUND_TRIP(TMMsg::Pattern);
    ROUND_TRIP(TMMsg::SqlServerRstOption);
    ROUND_TRIP(TMMsg::JobOption);
    ROUND_TRIP(TMMsg::SharePointMetaData);
    ROUND_TRIP(JxEntities::SubtaskEntity);
    ROUND_TRIP(JxEntities::GenericEntity);
    ROUND_TRIP(JobManager::SQLStatusTab);
    ROUND_TRIP(JobManager::SQLJobInfo);
    ROUND_TRIP(JobManager::PreparedJobsFromForeignReq);
    ROUND_TRIP(JobManager::PreparedJobsFromForeignResp);
    ROUND_TRIP(Pmn::GetSchemaTableMappingReq);
    ROUND_TRIP(Pmn::MAMountPointReq);
    ROUND_TRIP(App::SQLAvailabilityGroup);
    ROUND_TRIP(App::SQLAvailabilityGroups);
    ROUND_TRIP(App::GetSqlClientAndInstanceReq);
    ROUND_TRIP(App::GetSqlClientAndInstanceResp);
    ROUND_TRIP(App::JobErrorDecisionRule);
    ROUND_TRIP(App::JobErrorDecisionRuleList);
    ROUND_TRIP(App::LiveSyncReplicationInfo);
    ROUND_TRIP(App::GetAvailabilityGroupsReq);
    ROUND_TRIP(App::SQLAvailabilityDatabase);
    ROUND_TRIP(App::SQLAvailabilityDatabases);
    ROUND_TRIP(App::GetAvailabilityDatabasesReq);
    ROUND_TRIP(App::GetAvailabilityGroupReplicasReq);
    ROUND_TRIP(App::GetTargetTableHierarchyReq);
    ROUND_TRIP(App::GetAGReq);
    ROUND_TRIP(App::GenericResp);
    ROUND_TRIP(App::AGTLBackupReq);
    ROUND_TRIP(App::ValidateSQLCloudCredentialsReq);
    ROUND_TRIP(databrowse::BrowsePath);
    ROUND_TRIP(databrowse::Query);
    ROUND_TRIP(databrowse::BrowseRequest);
    ROUND_TRIP(Api::SQLAppReadinessReq);
    ROUND_TRIP(Api::SQLAppReadinessResp);
    ROUND_TRIP(SQLPmn::CheckSourceConnectivityReq);
    ROUND_TRIP(SQLPmn::AttachDBMsg);
    ROUND_TRIP(SQLPmn::CheckSourceConnectivityRsp);
    ROUND_TRIP(SQLPmn::SQLAGCollectFile);
    ROUND_TRIP(SQLPmn::SQLDBBackupMetadata);
    ROUND_TRIP(SQLPmn::AttachDB);
    ROUND_TRIP(SQLPmn::SQLAGSQLServerToUseForBackup);
    ROUND_TRIP(SQLPmn::SQLIntegrityCheckInit);
    ROUND_TRIP(SQLPmn::SQLFileBackupInfo);
    ROUND_TRIP(SQLPmn::SQLAGClientStartedFinish);
    ROUND_TRIP(SQLPmn::SQLAGJobStatus);
    ROUND_TRIP(SQLPmn::SQLIntegrityCheckResponse);
    ROUND_TRIP(SQLPmn::ErrorMessage);
    ROUND_TRIP(SQLPmn::SQLDBBackupInfo);
    ROUND_TRIP(SQLPmn::SQLDatabaseBackupInfoList);
    ROUND_TRIP(SQLPmn::SQLBackupDatabaseFilesMediaMetaInfo);
    ROUND_TRIP(SQLPmn::SQLBackupDatabaseMediaMetaInfo);
    ROUND_TRIP(SQLPmn::SQLBackupDatabaseArchiveMetaInfo);
    ROUND_TRIP(SQLPmn::SQLAGStreamCount);
    ROUND_TRIP(SQLPmn::GenericResp);
    ROUND_TRIP(SQLPmn::DBAFRestoreInfoReq);
    ROUND_TRIP(SQLPmn::DBLastRestoreInfo);
    ROUND_TRIP(SQLPmn::SqlUpdateDatabaseInfoResp);
    ROUND_TRIP(SQLPmn::SqlUpdateDatabaseInfoReq);
    ROUND_TRIP(SQLPmn::UpdateDatabaseStatusReq);
    ROUND_TRIP(SQLPmn::SqlUpdateBackupDumpInfoReq);
    ROUND_TRIP(SQLPmn::SqlUpdateBackupInfo);
    ROUND_TRIP(SQLPmn::SQLTLDumpCache);
    ROUND_TRIP(SQLPmn::GetSqlRestoreOptionsReq);
    ROUND_TRIP(SQLPmn::GetSqlRestoreOptionsResp);
    ROUND_TRIP(SQLPmn::SqlCreateSourceViewInfoReq);
    ROUND_TRIP(SQLPmn::RemoteCopyFileInfo);
    ROUND_TRIP(SQLPmn::RemoteCopyFileAck);
    ROUND_TRIP(SQLPmn::RemoteCopyInfo);
    ROUND_TRIP(SQLPmn::SqlGetFileStreamInfoReq);
    ROUND_TRIP(SQLPmn::SqlGetFileStreamInfoRsp);
    ROUND_TRIP(SQLPmn::SqlFileStreamInfo);
    ROUND_TRIP(SQLPmn::SQLDatabaseSizesResp);
}

TEST(MessageClassesTest, TagIdsPeersCompareAgainst) {
    EXPECT_EQ(0x228340ffu, SQLPmn::ErrorMessage().getTagID());
    EXPECT_EQ(0x22f2be27u, SQLPmn::GenericResp().getTagID());
    EXPECT_EQ(0x227d4849u, SQLPmn::RemoteCopyInfo().getTagID());
    EXPECT_EQ(0x224e4e65u, SQLPmn::RemoteCopyFileInfo().getTagID());
    EXPECT_EQ(0x2254fbf2u, SQLPmn::RemoteCopyFileAck().getTagID());
    EXPECT_EQ(0x162f5de7u, Pmn::GetSchemaTableMappingReq().getTagID());
    EXPECT_EQ(0x1ebcd770u, App::GetTargetTableHierarchyReq().getTagID());
    EXPECT_EQ(0x22f7567bu, SQLPmn::SQLAGStreamCount().getTagID());
    EXPECT_EQ(0x224a3e1bu, SQLPmn::SQLAGJobStatus().getTagID());
    EXPECT_EQ(0x224e5b75u, SQLPmn::SQLAGClientStartedFinish().getTagID());
    EXPECT_EQ(0x15cffc35u, JobManager::SQLStatusTab().getTagID());
}

// Two constants of one class with the same field id would read and write
// the same value.
void ExpectDistinctIds(std::initializer_list<CNFieldId> fields, const char* cls) {
    std::set<int> ids;
    for (CNFieldId f : fields) EXPECT_TRUE(ids.insert(f.id).second) << cls << " field id " << f.id;
}

TEST(MessageClassesTest, SharedFieldTablesGiveEveryFieldItsOwnId) {
    using E = JxEntities::GenericEntity;
    ExpectDistinctIds({E::kEntityType, E::kInstanceName, E::kJxCellId, E::kSubclientName, E::kSubclientId,
                       E::kApplicationName, E::kBackupSetId, E::kInstanceId, E::kApplicationType, E::kClientId,
                       E::kClientName},
                      "GenericEntity");
    using I = SQLPmn::SQLDBBackupInfo;
    std::initializer_list<CNFieldId> info = {I::kValue1, I::kValue2, I::kValue3, I::kValue4, I::kValue5,
                                             I::kBackupStartDate, I::kBackupFinishDate, I::kBackupType,
                                             I::kDatabaseId, I::kFirstLsn, I::kLastLsn, I::kCheckpointLsn,
                                             I::kDatabaseBackupLsn, I::kDatabaseName, I::kValue64, I::kFlag86,
                                             I::kFlag87};
    std::set<int> ids;
    for (CNFieldId f : info) ids.insert(f.id);
    for (CNFieldId f : I::kExtraTexts) EXPECT_EQ(0u, ids.count(f.id)) << f.id;
    ExpectDistinctIds(info, "SQLDBBackupInfo");
    using R = App::JobErrorDecisionRule;
    ExpectDistinctIds({R::kApplies, R::kOfflineDatabases, R::kEmptyCollectFile, R::kSkippedDatabases,
                       R::kDatabaseDecision, R::kJobDecision},
                      "JobErrorDecisionRule");
    using S = JobManager::SQLStatusTab;
    ExpectDistinctIds({S::kInstanceName, S::kDatabaseName, S::kStatus, S::kFailureReason, S::kReason,
                       S::kBackupStartDate, S::kBackupFinishDate, S::kBackupValue, S::kFirstLsn, S::kLastLsn,
                       S::kInitiatedFrom, S::kSharePoint, S::kDatabasePhase, S::kBackupPhase, S::kSkipReason},
                      "SQLStatusTab");
}

TEST(MessageClassesTest, TypedListsAndObjectsRefuseAnotherClass) {
    SQLPmn::RemoteCopyInfo request;
    SQLPmn::RemoteCopyFileInfo file;
    file.setstring(SQLPmn::RemoteCopyFileInfo::kFileName, "a.bak");
    request.setlistobject(SQLPmn::RemoteCopyInfo::kFiles, std::vector<SQLPmn::RemoteCopyFileInfo>{file, file});
    std::vector<SQLPmn::RemoteCopyFileInfo> files;
    ASSERT_TRUE(request.getlistobject(SQLPmn::RemoteCopyInfo::kFiles, files));
    ASSERT_EQ(2u, files.size());
    EXPECT_EQ("a.bak", files[1].getstring(SQLPmn::RemoteCopyFileInfo::kFileName));
    std::vector<SQLPmn::AttachDB> wrong;
    EXPECT_FALSE(request.getlistobject(SQLPmn::RemoteCopyInfo::kFiles, wrong));

    SQLPmn::GetSqlRestoreOptionsResp options;
    JxEntities::GenericEntity source;
    source.setint64(JxEntities::GenericEntity::kClientId, 12);
    options.setObjectAccessor(SQLPmn::GetSqlRestoreOptionsResp::kSource, source);
    JxEntities::GenericEntity read;
    ASSERT_TRUE(options.getObject(SQLPmn::GetSqlRestoreOptionsResp::kSource, read));
    EXPECT_EQ(12, read.getint64(JxEntities::GenericEntity::kClientId));
    SQLPmn::AttachDB notAnEntity;
    EXPECT_FALSE(options.getObject(SQLPmn::GetSqlRestoreOptionsResp::kSource, notAnEntity));
    EXPECT_FALSE(options.getObject(SQLPmn::GetSqlRestoreOptionsResp::kDestination, read));
}

}  // namespace
