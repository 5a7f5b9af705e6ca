// Wire records of the requests that carry one XML document: the XML request
// layer, the log backup on a secondary replica and its cache update, archive
// information, source connectivity and the database status update. Each
// request and each reply is a single NUL-terminated text.
#pragma once

#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"

using SQLGenericXmlReq_t = SQLXmlTextRecord_t;            // kSqlXmlReq, kSqlXmlReqV2
using SQLGenericErrorXmlRsp_t = SQLXmlTextRecord_t;       // kSqlXmlReq, kSqlXmlRsp
using AGTLBackupReq_t = SQLXmlTextRecord_t;               // kSqlAGTLBackupReq
using AGTLBackupRsp_t = SQLXmlTextRecord_t;               // kSqlAGTLBackupRsp
using SQLTLDumpCacheReq_t = SQLXmlTextRecord_t;           // kSqlTLDumpCacheReq
using SQLTLDumpCacheRsp_t = SQLXmlTextRecord_t;           // kSqlTLDumpCacheRsp
using GetArchiveInfoReq_t = SQLXmlTextRecord_t;           // kSqlArchiveInfoReq
using CheckSourceConnectivityReq_t = SQLXmlTextRecord_t;  // kSqlCheckSourceReq
using CheckSourceConnectivityRsp_t = SQLXmlTextRecord_t;  // kSqlCheckSourceRsp
using UpdateDbStatusReq_t = SQLXmlTextRecord_t;           // kSqlUpdateDbStatusReq
using UpdateDbStatusRsp_t = SQLXmlTextRecord_t;           // kSqlUpdateDbStatusRsp
