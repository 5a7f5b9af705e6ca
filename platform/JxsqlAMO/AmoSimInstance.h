// AmoSimInstance: one simulated Analysis Services instance and its setup API.
//
// Its catalogue (an SQLite file under "olap/<HOST>/<INSTANCE>" of the
// platform root, see SqlSimInstanceName) holds the server, its databases,
// the logins it accepts and the remote partitions of its databases. Names are
// bound as parameters and compare without regard to case.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "JxsqlDMO/SimSqlDb.h"
#include "JxsqlDMO/SqlSimInstanceName.h"
#include "WzUtils/CWzError.h"

struct AmoSimServerSpec {
    std::string name;  // "HOST" or "HOST/INSTANCE"
    std::string version = "15.0.35.33";
    bool running = true;
};

struct AmoSimRemotePartitionSpec {
    std::string database;
    std::string cube;
    std::string measureGroup;
    std::string partition;
    std::string remoteServer;
};

class AmoSimInstance {
public:
    AmoSimInstance() = default;
    AmoSimInstance(const AmoSimInstance&) = delete;
    AmoSimInstance& operator=(const AmoSimInstance&) = delete;

    // Makes a new instance; fails when it exists already.
    CWzError Create(const AmoSimServerSpec& desc);
    // Opens an existing instance; an unknown one is an error.
    CWzError Open(const std::string& name);
    // Full names of every Analysis Services instance of this machine, sorted.
    static std::vector<std::string> ListInstances();

    const std::string& Name() const { return m_name; }
    SimSqlDb& Db() { return m_db; }

    // Ids count from 1 in the order of addition.
    CWzError AddDatabase(const std::string& name, int64_t creationTime);
    CWzError AddLogin(const std::string& name, const std::string& password);
    CWzError AddRemotePartition(const AmoSimRemotePartitionSpec& desc);

private:
    std::string m_name;
    SimSqlDb m_db;
};
