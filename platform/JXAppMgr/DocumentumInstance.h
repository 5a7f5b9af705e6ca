// DocumentumInstance: a Documentum instance whose remote blob store lives in
// SQL Server, and the SQL login the agent uses for it.
#pragma once

#include <cstdint>
#include <string>

class DocumentumInstance {
public:
    explicit DocumentumInstance(uint64_t instanceId) : m_id(instanceId) {}

    // The SQL login (properties "sqlUser" and "sqlPassword", the password in
    // its stored form); 0 with the value written, or a code of AppModel.h.
    int getSQLUser(std::string& user) const;
    int getSQLUserPasswd(std::string& password) const;

private:
    uint64_t m_id;
};
