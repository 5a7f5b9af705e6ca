// The request that adds databases to an instance's default subclient on the
// central server (kSqlAutoDiscoverReq / kSqlAutoDiscoverRsp), shared by database auto-discovery
// and the explicit additions, and the backup-domain entities both read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JxSQLCommon/records/SqlAutoDiscoveryRecords.h"
#include "JxSQLCommon/records/SqlJobCauses.h"

class CSQLClientDll;

// The databases chosen for the request, with copies of their names that
// live as long as the object.
class AutoDiscoverRequest {
public:
    void Add(const std::string& name, uint64_t creationTime, uint64_t databaseId);
    bool empty() const { return m_names.empty(); }
    // The names, each followed by "," ("a,b," for a and b).
    std::string NamesWithCommas() const;

    enum class Outcome {
        kStored,         // the central server stored the additions
        kNotStored,      // the exchange failed or the reply's error word was not 0
        kReleaseFailed,  // the reply could not be released
    };
    // Sends the databases for application `appId` on `client` and releases the
    // reply (also after a failed exchange).
    Outcome Send(CSQLClientDll& client, uint64_t appId);

private:
    std::vector<std::string> m_names;
    std::vector<uint64_t> m_creationTimes;
    std::vector<uint64_t> m_ids;
};

// What auto-discovery reads of the backup domain about the application.
struct DiscoveryEntities {
    uint64_t clientId = 0;
    std::string clientName;
    uint64_t appTypeId = 0;
    uint64_t instanceId = 0;
    std::string instanceName;
    std::string serverType;
    uint64_t backupSetId = 0;
};

// Reads the client, application type, instance and backup set of
// application `appId`; false when one of them is missing.
bool ReadDiscoveryEntities(uint64_t jxCellId, uint64_t appId, DiscoveryEntities& out);

// Appends to `names` the databases (properties of type 118) of subclient
// `subclientId`; false when its properties cannot be read.
bool ReadSubclientDatabases(uint64_t subclientId, std::vector<std::string>& names);
