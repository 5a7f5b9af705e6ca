// App_ExecuteSP: runs a stored procedure of the central server with an XML
// request and an XML answer.
//
// The stand-in answers from the application model: each procedure it knows
// is a function of StoredProcedures.h, found by the procedure's request id.
// While the model's "domain" object has "storedProceduresUnavailable" = 1,
// every call fails with JXAPPMGR_E_SP_UNAVAILABLE, as when the central
// server cannot be reached.
#pragma once

#include <cstdint>
#include <string>

#include "JXAppMgr/AdaptersBase.h"

// Result of executeStoredProcedure for a request id no procedure answers.
constexpr int JXAPPMGR_E_NO_PROCEDURE = 0x1f;
// Result while stored procedures are unavailable.
constexpr int JXAPPMGR_E_SP_UNAVAILABLE = 0x20;

class App_ExecuteSP : public AdaptersBase {
public:
    App_ExecuteSP() = default;

    // Runs procedure `requestId` on `requestXml`: 0 with the answer in
    // `responseXml`, or the procedure's error code (JXAPPMGR_E_NO_PROCEDURE
    // for an unknown id) with `responseXml` unchanged. The last argument is
    // accepted and not used.
    int executeStoredProcedure(uint32_t requestId, const std::string& requestXml, std::string& responseXml,
                               void* reserved);
};
