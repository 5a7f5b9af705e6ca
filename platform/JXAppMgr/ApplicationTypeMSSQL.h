// ApplicationTypeMSSQL: the SQL Server application type of one client, with
// the restore staging path set in the GUI.
//
// In the model: section "apptype/<client id>" with keys
// "stagingPathForRestoresEnabled" (0 or 1) and "stagingPath".
#pragma once

#include <cstdint>
#include <string>

class ApplicationTypeMSSQL {
public:
    ApplicationTypeMSSQL(uint64_t clientId, int appType) : m_clientId(clientId), m_appType(appType) {}
    virtual ~ApplicationTypeMSSQL() = default;

    // 0 with the answer written; non-zero when it cannot be read.
    int getStagingPathForRestoresEnabled(bool& enabled, void* reserved = nullptr) const;
    int getStagingPath(std::string& path, void* reserved = nullptr) const;

    int appType() const { return m_appType; }

private:
    uint64_t m_clientId;
    int m_appType;
};
