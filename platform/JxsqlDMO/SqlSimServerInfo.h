// SqlSimServerInfo: server-wide facts of a simulated instance beyond the
// catalogue's server row: its edition, product level and cluster name
// (table "server_properties", added the first time it is needed; it also
// holds switches tests turn on), and a setter of the version text for tests
// of unusual versions.
#pragma once

#include <string>

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/CWzError.h"

class SqlSimServerInfo {
public:
    static constexpr const char* kEdition = "edition";
    static constexpr const char* kProductLevel = "productLevel";
    static constexpr const char* kClusterName = "clusterName";
    // The name of a database one of whose connections cannot be killed:
    // dropping the connections to it fails.
    static constexpr const char* kUnkillableConnection = "unkillableConnection";
    // How the instance reads a date written in numbers: "mdy", "dmy" or
    // "ymd" (any case); "mdy" when never set.
    static constexpr const char* kDateFormat = "dateFormat";

    explicit SqlSimServerInfo(SqlSimInstance& instance) : m_instance(instance) {}

    // Any text up to 128 characters, the empty one included: a test may give
    // the instance a version that is not well formed.
    CWzError SetVersion(const std::string& version);
    CWzError Version(std::string& version);

    CWzError SetProperty(const std::string& key, const std::string& value);
    // The property's value, or `fallback` when it was never set.
    CWzError Property(const std::string& key, const std::string& fallback, std::string& value);

    // The instance's date format as a number: 1 month-day-year, 2
    // day-month-year, 3 year-month-day. An error for any other value.
    CWzError DateFormat(unsigned long& kind);

    // Defaults of the properties above.
    static constexpr const char* kDefaultEdition = "Developer Edition (64-bit)";
    static constexpr const char* kDefaultProductLevel = "RTM";

private:
    CWzError EnsureTable();

    SqlSimInstance& m_instance;
};
