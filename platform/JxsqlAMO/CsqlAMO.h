// CsqlAMO: the Analysis Services layer, answering from the simulated
// Analysis Services instances (AmoSimInstance).
//
// Queries name their instance ("HOST" or "HOST/INSTANCE"), need its service
// to be running (except the instance list) and return true on success;
// getErrorString() tells why one failed.
#pragma once

#include <list>
#include <memory>
#include <string>

#include "JxLib/EvDebug.h"
#include "JxsqlAMO/SqlAmoTypes.h"
#include "JxsqlDMO/SqlDmoTypes.h"

class AmoSimInstance;

class CsqlAMO {
public:
    CsqlAMO();
    virtual ~CsqlAMO();
    CsqlAMO(const CsqlAMO&) = delete;
    CsqlAMO& operator=(const CsqlAMO&) = delete;

    // The backup domain's id of the instance the next calls are about; only
    // logged.
    void setInstanceId(unsigned long id) { m_instanceId = id; }

    // The Analysis Services instances of a host (all when `host` is empty).
    bool getAnalysisServerInfo(const std::string& host, std::list<AnalysisServerInfo_t2>& servers);

    // The databases of an instance by id; the state of each is online.
    bool getDatabases(const std::string& instance, DatabaseInfo_11_t& info);

    // True when the instance accepts the login; an empty user name stands for
    // the agent's own account, which every instance accepts.
    bool verifyUser(const std::string& user, const std::string& password, const std::string& server);

    // The remote partitions of one database of the instance `server`.
    bool getRemotePartitionInfo(const std::wstring& database, const std::wstring& server,
                                std::list<AnalysisRemotePartitionInfo>& partitions);

    std::wstring getErrorString() const;

private:
    bool Connect(const std::string& instance);
    bool Fail(const char* function, const std::string& text);

    unsigned long m_instanceId = 0;
    std::unique_ptr<AmoSimInstance> m_instance;
    std::string m_lastError;
    EvDebug m_log;
};
