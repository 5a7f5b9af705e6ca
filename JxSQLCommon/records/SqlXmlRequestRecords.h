// Wire records of the requests that carry one XML document: the XML request
// layer, the log backup on a secondary replica and its cache update, archive
// information, source connectivity and the database status update. Each
// request and each reply is a single NUL-terminated text.
#pragma once

#include "JxSQLCommon/records/SqlAGCatalogueRecords.h"

using SQLGenericXmlReq_t = SQLXmlTextRecord_t;             // 0x1e0000ff, 0x1e000114
using SQLGenericErrorXmlRsp_t = SQLXmlTextRecord_t;        // 0x1e0000ff, 0x1e000115
using AGTLBackupReq_t = SQLXmlTextRecord_t;                // 0x1e00010b
using AGTLBackupRsp_t = SQLXmlTextRecord_t;                // 0x1e00010c
using SQLTLDumpCacheReq_t = SQLXmlTextRecord_t;            // 0x1e000116
using SQLTLDumpCacheRsp_t = SQLXmlTextRecord_t;            // 0x1e000117
using GetArchiveInfoReq_t = SQLXmlTextRecord_t;            // 0x1e0000f1
using CheckSourceConnectivityReq_t = SQLXmlTextRecord_t;   // 0x1e0000f2
using CheckSourceConnectivityRsp_t = SQLXmlTextRecord_t;   // 0x1e0000f3
using UpdateDbStatusReq_t = SQLXmlTextRecord_t;            // 0x1e00010d
using UpdateDbStatusRsp_t = SQLXmlTextRecord_t;            // 0x1e00010e
