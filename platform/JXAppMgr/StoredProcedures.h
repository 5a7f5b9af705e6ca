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
