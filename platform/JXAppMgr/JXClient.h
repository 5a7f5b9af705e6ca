// JXClient and ClientProperties: a client of the model ("client/<id>"),
// found by id or by name.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "JxLib/JXDate.h"

class JXClient {
public:
    explicit JXClient(const std::string& name);
    explicit JXClient(uint64_t clientId);

    // 0 with the id written, JXAPPMGR_E_NO_OBJECT when no client has the name.
    int getClientId(uint64_t& clientId) const;
    // The client's name (property "name"), 0 with the name written.
    int getClientName(std::string& name) const;
    // The client's network host name (property "hostName").
    int getNetworkHostnameMangled(std::string& hostName) const;
    int getNetworkHostname(std::string& hostName) const { return getNetworkHostnameMangled(hostName); }
    // The client's job-results directory (property "jobResultsDir").
    int getjobResultDirectory(std::string& directory) const;
    // Whether the client stands for an availability group (property
    // "isMSSQLAGClient", a number; not set means no).
    bool isMSSQLAGClient() const;

private:
    std::string m_name;
    uint64_t m_id = 0;
    bool m_byName;
};

class ClientProperties {
public:
    explicit ClientProperties(uint64_t clientId) : m_clientId(clientId) {}

    // The time at which later property reads look.
    void setRefTime(const JXDate& when) { m_refTime = when.time(); }
    time_t refTime() const { return m_refTime; }

    // Property "useIndexingV2ForMSSQL" (a number; not 0 means set).
    int getUseIndexingV2ForMSSQL(bool& useV2) const;
    // Property "cloudHypervisorType" (a number; 0, or not set, means the
    // client is no cloud virtual machine). JXAPPMGR_E_NO_OBJECT when the
    // client is not in the model. The second argument is not used.
    int getCloudHypervisorType(int& type, void*) const;

    // Property "installedClient" (a number; not set means installed): whether
    // the client is a machine with the agent of its own installed, as opposed
    // to a name that stands for other machines. JXAPPMGR_E_NO_OBJECT when the
    // client is not in the model.
    int getIsInstalledClient(bool& installed) const;

private:
    uint64_t m_clientId;
    time_t m_refTime = 0;
};
