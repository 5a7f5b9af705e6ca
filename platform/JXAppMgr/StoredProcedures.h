// The stored procedures the App_ExecuteSP stand-in answers, one per request
// id. Each takes the request document and writes the answer document;
// 0 on success, else an error code with the answer unchanged.
#pragma once

#include <cstdint>
#include <string>

// 0x1efe1cf5, App::GetSqlClientAndInstanceReq: whether an availability group
// (by its guid, request field 2) is configured as a pseudo-client. It is when
// a client of the model has the property "agGuid" equal to the guid; the
// answer's result object (30/291) carries 1 or 0 in its field 6.
constexpr uint32_t kSpGetSqlClientAndInstance = 0x1efe1cf5;
int SpGetSqlClientAndInstance(const std::string& requestXml, std::string& responseXml);

// 0x15CF047D, JobManager::SQLJobInfo: enters each status-tab record of the
// request's list in the job's status tab (StatusTabStore.h); answers an
// App::GenericResp with error code 0.
constexpr uint32_t kSpUpdateJobStatusTab = 0x15CF047D;
int SpUpdateJobStatusTab(const std::string& requestXml, std::string& responseXml);

// 0x22E421FE, SQLPmn::SqlUpdateDatabaseInfoReq: stores the database's backup
// information (recovery model, times, job id and status); answers an
// SQLPmn::SqlUpdateDatabaseInfoResp with error code 0.
constexpr uint32_t kSpUpdateDatabaseInfo = 0x22E421FE;
int SpUpdateDatabaseInfo(const std::string& requestXml, std::string& responseXml);
