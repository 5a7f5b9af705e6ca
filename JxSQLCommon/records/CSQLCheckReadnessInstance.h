// CSQLCheckReadnessInstance: whether a client and one of its SQL Server
// instances are ready for the central server to rely on: the job-results
// directory can be used, the configured SQL login holds the sysadmin role,
// a clustered instance belongs to its cluster.
//
// Each check stops at its first failure and returns it; the error texts reach
// the central server's readiness report. Codes: 305 job-results directory,
// 304 SQL login, 306 cluster.
#pragma once

#include <cstdint>
#include <string>

#include "JxLib/EvEvent.h"
#include "WzUtils/CWzError.h"

class CSQLCheckReadnessInstance : public EvEvent {
public:
    CSQLCheckReadnessInstance(unsigned long clientId, unsigned long instanceId)
        : m_clientId(clientId), m_instanceId(instanceId) {}

    // The client's job-results directory is known, readable and writable.
    CWzError checkIfJRAccessble();
    // The instance's configured login verifies on `sqlInstanceName` with the
    // sysadmin role (no configured login: an empty user and password).
    CWzError checkIfSARoleOnSQL(const std::string& sqlInstanceName);
    // The instance belongs to the client's cluster; with no cluster support on
    // this platform, a known host always fails (306).
    CWzError checkIfClusterValid();

    // No clustered instances on this platform: always false.
    bool isSqlInstanceClustered(const std::string& instanceName, std::string& clusterName, int flags, bool refresh);
    bool verifyInstanceClustered(const std::string& hostName, unsigned long instanceId);

private:
    const uint64_t m_clientId;
    const uint64_t m_instanceId;
};
