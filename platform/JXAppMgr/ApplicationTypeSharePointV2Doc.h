// ApplicationTypeSharePointV2Doc: the SharePoint application type of a
// subclient, and the login of the remote SQL Server that holds its blob store.
#pragma once

#include <cstdint>
#include <string>

class ApplicationTypeSharePointV2Doc {
public:
    explicit ApplicationTypeSharePointV2Doc(uint64_t appNumber) : m_appNumber(appNumber) {}

    // Subclient properties "remoteSqlUser" and "remoteSqlPassword" (stored
    // form); 0 with the value written, or a code of AppModel.h.
    int getRemoteSQLSrvUserName(std::string& user) const;
    int getRemoteSQLSrvUserPassword(std::string& password) const;

    // The application type id of the SQL Server agent.
    uint64_t getId() const { return 81; }

private:
    uint64_t m_appNumber;
};
