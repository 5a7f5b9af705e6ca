// App_ExecuteSP: runs a stored procedure of the central server with an XML
// request and an XML answer.
//
// The stand-in answers from the application model: each procedure it knows
// is a function of StoredProcedures.h, found by the procedure's request id.
#pragma once

#include <cstdint>
#include <string>

// Result of executeStoredProcedure for a request id no procedure answers.
constexpr int JXAPPMGR_E_NO_PROCEDURE = 0x1f;

class App_ExecuteSP {
public:
    App_ExecuteSP() = default;

    // Runs procedure `requestId` on `requestXml`: 0 with the answer in
    // `responseXml`, or the procedure's error code (JXAPPMGR_E_NO_PROCEDURE
    // for an unknown id) with `responseXml` unchanged. The last argument is
    // accepted and not used.
    int executeStoredProcedure(uint32_t requestId, const std::string& requestXml, std::string& responseXml,
                               void* reserved);
};
