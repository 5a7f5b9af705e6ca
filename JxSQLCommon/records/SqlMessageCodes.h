// The message codes of the SQL agent's protocol: every request and reply
// code, in one table.
//
// A code travels in the frame header beside the message group (the code's
// top byte, kSqlMessageGroup). The code alone says which record the payload
// holds: the codec registered for it (see the Sql*Codecs files) decodes it.
// A code named "same record as X" carries the record of X. Requests and the
// replies to them are listed together, grouped by who asks whom:
//
//   console -> agent       catalogue requests served by the agent's request
//                          loop (JxSQLMessageHandler/service)
//   agent -> agent         requests one client's agent sends to another's,
//                          served by the same loop or by the message processor
//   agent -> central       requests the agent's jobs send to the central
//                          server (JxSQLMessageHandler/client)
//
// "Where is this code handled?": the request loop's table
// (sqlDispatchTable.cpp), the message processor (tools/msgprocessor) and the
// central-server stand-in (tools/jxserve) name these constants, so a search
// for the name finds every handler, requester and codec registration.
//
// Codes are fixed by the peers: never renumber one. The job manager's cause
// and event ids (SqlJobCauses.h) are another numbering and may coincide.
#pragma once

// The message group of every code below.
inline constexpr unsigned long kSqlMessageGroup = 0x1e000000;

// ======================================================================
// console -> agent: catalogue of servers, databases and history
// ======================================================================

// Server list. Request SQLServerListReq_t (both codes), reply
// SQLServerListRsp_VER1_t.
inline constexpr unsigned long kSqlServerListReq = 0x1e00008d;
inline constexpr unsigned long kSqlServerListReqV2 = 0x1e0000b4;
inline constexpr unsigned long kSqlServerListRsp = 0x1e0000cc;

// Credential check of an instance. SQLVerifyUserReq_t / SQLVerifyUserRsp_t;
// the Analysis Services form carries the same records.
inline constexpr unsigned long kSqlVerifyUserReq = 0x1e00008f;
inline constexpr unsigned long kSqlVerifyUserRsp = 0x1e000090;
inline constexpr unsigned long kSqlAnalysisVerifyUserReq = 0x1e0000d2;
inline constexpr unsigned long kSqlAnalysisVerifyUserRsp = 0x1e0000d3;

// Cloud inventory. The request carries no payload; reply
// SQLAzureInventoryInfoRsp_t.
inline constexpr unsigned long kSqlAzureInventoryReq = 0x1e00011f;
inline constexpr unsigned long kSqlAzureInventoryRsp = 0x1e000120;

// Database list. SQLDatabaseListReq_t, _V2_t, _V3_t, _V4_t; every form is
// answered with SQLDatabaseListRsp_11_t.
inline constexpr unsigned long kSqlDatabaseListReq = 0x1e000091;
inline constexpr unsigned long kSqlDatabaseListReqV2 = 0x1e0000b5;
inline constexpr unsigned long kSqlDatabaseListReqV3 = 0x1e0000cd;
inline constexpr unsigned long kSqlDatabaseListReqV4 = 0x1e000108;
inline constexpr unsigned long kSqlDatabaseListRsp = 0x1e0000ec;

// Files and file groups of a database. SQLDatabaseFileGroupReq_t and _V2_t
// (with the instance id), reply SQLDatabaseFileGroupRsp_t.
inline constexpr unsigned long kSqlFileGroupReq = 0x1e000093;
inline constexpr unsigned long kSqlFileGroupReqV2 = 0x1e0000b6;
inline constexpr unsigned long kSqlFileGroupRsp = 0x1e000094;

// State of databases. SQLDatabaseStateReq_t and _V2_t, reply
// SQLDatabaseStateRsp_t.
inline constexpr unsigned long kSqlDatabaseStateReq = 0x1e000097;
inline constexpr unsigned long kSqlDatabaseStateReqV2 = 0x1e0000b7;
inline constexpr unsigned long kSqlDatabaseStateRsp = 0x1e000098;

// Step-restore chain from the instance's history. SQLStepRestoreListReq_t
// and _V2_t, reply SQLStepRestoreListRsp_t.
inline constexpr unsigned long kSqlStepRestoreListReq = 0x1e0000a7;
inline constexpr unsigned long kSqlStepRestoreListReqV2 = 0x1e0000b8;
inline constexpr unsigned long kSqlStepRestoreListRsp = 0x1e0000a8;

// Pruning of the instance's backup history. SqlBackupsetListReq_t (both
// codes), reply SqlBackupsetListRsp_t.
inline constexpr unsigned long kSqlPruneHistoryReq = 0x1e0000ab;
inline constexpr unsigned long kSqlPruneHistoryReqV2 = 0x1e0000b9;
inline constexpr unsigned long kSqlPruneHistoryRsp = 0x1e0000ac;

// SharePoint databases. SQLGetSPDatabaseListReq_t / SQLGetSPDatabaseListRSP_t.
inline constexpr unsigned long kSqlSharePointDatabasesReq = 0x1e0000c8;
inline constexpr unsigned long kSqlSharePointDatabasesRsp = 0x1e0000c9;

// Remote partitions of Analysis Services databases.
// SQLAnalysisGetRemotePartitionInfoReq_t / ..Rsp_t.
inline constexpr unsigned long kSqlRemotePartitionReq = 0x1e0000d4;
inline constexpr unsigned long kSqlRemotePartitionRsp = 0x1e0000d5;

// Availability groups. Each request and reply is one XML document
// (SQLXmlTextRecord_t).
inline constexpr unsigned long kSqlAvailabilityGroupsReq = 0x1e0000dc;
inline constexpr unsigned long kSqlAvailabilityGroupsRsp = 0x1e0000dd;
inline constexpr unsigned long kSqlAvailabilityDatabasesReq = 0x1e0000de;
inline constexpr unsigned long kSqlAvailabilityDatabasesRsp = 0x1e0000df;
inline constexpr unsigned long kSqlAvailabilityReplicasReq = 0x1e0000e0;
inline constexpr unsigned long kSqlAvailabilityReplicasRsp = 0x1e0000e1;
inline constexpr unsigned long kSqlAvailabilityGroupReq = 0x1e0000e4;
inline constexpr unsigned long kSqlAvailabilityGroupRsp = 0x1e0000e5;

// ======================================================================
// XML documents over the record transport (either direction)
// ======================================================================

// One XML request document (SQLXmlTextRecord_t). The first form is answered
// under its own code, the second under kSqlXmlRsp (SQLGenericErrorXmlRsp_t).
inline constexpr unsigned long kSqlXmlReq = 0x1e0000ff;
inline constexpr unsigned long kSqlXmlReqV2 = 0x1e000114;
inline constexpr unsigned long kSqlXmlRsp = 0x1e000115;

// Archive information for the object-level restore (an XML document); the
// object-level restore layer answers with XML messages of its own.
inline constexpr unsigned long kSqlArchiveInfoReq = 0x1e0000f1;

// Source connectivity check of archiving (XML documents).
inline constexpr unsigned long kSqlCheckSourceReq = 0x1e0000f2;
inline constexpr unsigned long kSqlCheckSourceRsp = 0x1e0000f3;

// ======================================================================
// agent -> agent
// ======================================================================

// Database attach on another node's instance. SqlAttachDatabaseRemoteReq_t
// / ..Rsp_t.
inline constexpr unsigned long kSqlAttachDatabaseReq = 0x1e0000e6;
inline constexpr unsigned long kSqlAttachDatabaseRsp = 0x1e0000e7;

// Network shares. SqlUncPathCreateReq_t / ..Rsp_t and
// SqlDeleteUNCPathReq_t / ..Rsp_t.
inline constexpr unsigned long kSqlCreateUncPathReq = 0x1e0000e8;
inline constexpr unsigned long kSqlCreateUncPathRsp = 0x1e0000e9;
inline constexpr unsigned long kSqlDeleteUncPathReq = 0x1e0000ea;
inline constexpr unsigned long kSqlDeleteUncPathRsp = 0x1e0000eb;

// Integrity check by a proxy: SQLIntegrityCheckReq_t from the source, the
// proxy's SQLPmn::SQLIntegrityCheckResponse text back.
inline constexpr unsigned long kSqlIntegrityCheckReq = 0x1e0000da;
inline constexpr unsigned long kSqlIntegrityCheckRsp = 0x1e0000db;

// Directories. SQLCreateDeleteDirectoryReq_t; the reply is an XML error
// message (SQLPmn::ErrorMessage).
inline constexpr unsigned long kSqlCreateDirectoryReq = 0x1e0000f8;
inline constexpr unsigned long kSqlCreateDirectoryRsp = 0x1e0000f9;
inline constexpr unsigned long kSqlDeleteDirectoryReq = 0x1e0000fa;
inline constexpr unsigned long kSqlDeleteDirectoryRsp = 0x1e0000fb;

// File size. SQLGetFileSizeReqRsp_t both ways.
inline constexpr unsigned long kSqlFileSizeReq = 0x1e0000fc;
inline constexpr unsigned long kSqlFileSizeRsp = 0x1e0000fd;

// Copy of one file to another client. SQLCopySingleRemoteFileReq_t; the
// reply is an XML error message under the XML request code.
inline constexpr unsigned long kSqlCopySingleFileReq = 0x1e0000fe;
inline constexpr unsigned long kSqlCopySingleFileRsp = kSqlXmlReq;

// FILESTREAM file lists. SQLGetFileStreamInfoReq_t / ..Rsp_t; the second
// form (served by the message processor) carries XML documents both ways.
inline constexpr unsigned long kSqlFileStreamInfoReq = 0x1e000100;
inline constexpr unsigned long kSqlFileStreamInfoRsp = 0x1e000101;
inline constexpr unsigned long kSqlFileStreamInfoV2Req = 0x1e00011d;
inline constexpr unsigned long kSqlFileStreamInfoV2Rsp = 0x1e00011e;

// Copy of several files (message processor). SQLCopyMultipleRemoteFilesReq_t;
// the reply is an XML error message with the first failure.
inline constexpr unsigned long kSqlCopyMultipleFilesReq = 0x1e000121;
inline constexpr unsigned long kSqlCopyMultipleFilesRsp = 0x1e000122;

// Log backup staged on a secondary replica, the replica's database status
// and its log-dump cache: XML documents both ways.
inline constexpr unsigned long kSqlAGTLBackupReq = 0x1e00010b;
inline constexpr unsigned long kSqlAGTLBackupRsp = 0x1e00010c;
inline constexpr unsigned long kSqlUpdateDbStatusReq = 0x1e00010d;
inline constexpr unsigned long kSqlUpdateDbStatusRsp = 0x1e00010e;
inline constexpr unsigned long kSqlTLDumpCacheReq = 0x1e000116;
inline constexpr unsigned long kSqlTLDumpCacheRsp = 0x1e000117;

// ======================================================================
// agent -> central server
// ======================================================================

// Databases found by auto-discovery. SQLAutoDiscoverReq_t / ..Rsp_t.
inline constexpr unsigned long kSqlAutoDiscoverReq = 0x1e00009b;
inline constexpr unsigned long kSqlAutoDiscoverRsp = 0x1e00009c;

// Restore task options. SQLRestoreTaskReq_t / SQLRestoreTaskRsp_V1_t, and the
// Analysis Services form SQLAnalysisRestoreTaskReq_t / ..Rsp_t.
inline constexpr unsigned long kSqlRestoreTaskReq = 0x1e000099;
inline constexpr unsigned long kSqlRestoreTaskRsp = 0x1e0000c7;
inline constexpr unsigned long kSqlAnalysisRestoreTaskReq = 0x1e0000d1;
inline constexpr unsigned long kSqlAnalysisRestoreTaskRsp = 0x1e0000d0;

// Restore chain of a database with its archive files.
// SQLDbAFileRestoreInfo_VER6_Req_t / ..Rsp_t; the live-sync form carries one
// XML document and is answered like the first; the cloud form is
// SQLAzureDbAFileRestoreInfoReq_t / SQLDbAFileRestoreInfo_ver_3_Rsp_t.
inline constexpr unsigned long kSqlAFilesReq = 0x1e000118;
inline constexpr unsigned long kSqlAFilesRsp = 0x1e000119;
inline constexpr unsigned long kSqlLiveSyncAFilesReq = 0x1e00011a;
inline constexpr unsigned long kSqlAzureAFilesReq = 0x1e0000f7;
inline constexpr unsigned long kSqlAzureAFilesRsp = 0x1e0000c6;

// File/filegroup restore: the restore ids (SQLAFilesForFFGRstReq_t /
// ..Rsp_t), then the backup of one id (SQLFFGRestoreInfoReq_t /
// SQLFFGRestoreInfo_ver_3_Rsp_t).
inline constexpr unsigned long kSqlFFGListReq = 0x1e0000b0;
inline constexpr unsigned long kSqlFFGListRsp = 0x1e0000a0;
inline constexpr unsigned long kSqlFFGInfoReq = 0x1e0000a5;
inline constexpr unsigned long kSqlFFGInfoRsp = 0x1e0000ef;

// Backup-set updates. SQLBackupSetInfoReq_VER5_t under all three request
// codes; replies SQLBackupSetInfoRsp_t and SQLAnalysisBackupSetInfoRsp_t.
inline constexpr unsigned long kSqlBackupSetReq = 0x1e00011b;
inline constexpr unsigned long kSqlAzureBackupSetReq = 0x1e00011c;
inline constexpr unsigned long kSqlBackupSetRsp = 0x1e000096;
inline constexpr unsigned long kSqlAnalysisBackupSetReq = 0x1e0000ce;
inline constexpr unsigned long kSqlAnalysisBackupSetRsp = 0x1e0000cf;

// Log marks. SQLLastLogMarkInCSReq_t / ..Rsp_t, SQLLogMarkUpdateReq_t /
// ..Rsp_t, SQLLogMarkNameReq_t / ..Rsp_t.
inline constexpr unsigned long kSqlLastLogMarkReq = 0x1e0000a1;
inline constexpr unsigned long kSqlLastLogMarkRsp = 0x1e0000a2;
inline constexpr unsigned long kSqlLogMarkUpdateReq = 0x1e0000a3;
inline constexpr unsigned long kSqlLogMarkUpdateRsp = 0x1e0000a4;
inline constexpr unsigned long kSqlMarkNameReq = 0x1e0000a9;
inline constexpr unsigned long kSqlMarkNameRsp = 0x1e0000aa;

// Backup conversion rules. SqlBackupConversionRulesReq_V4_t / ..Rsp_V2_t.
inline constexpr unsigned long kSqlConversionRulesReq = 0x1e0000d7;
inline constexpr unsigned long kSqlConversionRulesRsp = 0x1e0000cb;

// Clean-up of a backup that did not commit. SqlCleanupTablesReq_t /
// SqlCleanupTablesRsp_V1_t and the cloud form ..Req_Azure_t / ..Rsp_Azure_t.
inline constexpr unsigned long kSqlCleanupReq = 0x1e0000bd;
inline constexpr unsigned long kSqlCleanupRsp = 0x1e0000d6;
inline constexpr unsigned long kSqlAzureCleanupReq = 0x1e000104;
inline constexpr unsigned long kSqlAzureCleanupRsp = 0x1e000105;

// Time of the last VSS full backup. SqlGetLastVssFullTimeReq_t / ..Rsp_t.
inline constexpr unsigned long kSqlLastVssFullReq = 0x1e0000c3;
inline constexpr unsigned long kSqlLastVssFullRsp = 0x1e0000c4;

// Access-control information. SQLACLInfoReq_t / ..Rsp_t.
inline constexpr unsigned long kSqlACLInfoReq = 0x1e0000ed;
inline constexpr unsigned long kSqlACLInfoRsp = 0x1e0000ee;

// Information on another job. SqlGetJobInfoReq_t / ..Rsp_t.
inline constexpr unsigned long kSqlJobInfoReq = 0x1e0000f4;
inline constexpr unsigned long kSqlJobInfoRsp = 0x1e0000f5;

// SharePoint subclients of a SQL client. SpContentDBSkipBackupListReq_t /
// ..Rsp_t.
inline constexpr unsigned long kSqlSpContentReq = 0x1e000102;
inline constexpr unsigned long kSqlSpContentRsp = 0x1e000103;

// SQL credentials of a client and instance. MSSQLAuthentication_Req_t /
// ..Rsp_t.
inline constexpr unsigned long kSqlAuthenticationReq = 0x1e00010f;
inline constexpr unsigned long kSqlAuthenticationRsp = 0x1e000110;
