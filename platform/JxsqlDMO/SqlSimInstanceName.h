// SqlSimInstanceName: the name of a simulated SQL Server instance.
//
// An instance is named "HOST" (the default instance) or "HOST/INSTANCE".
// Names compare without regard to case, as SQL Server's do; each instance
// lives in its own directory under the platform root,
// "<area>/<HOST>/<INSTANCE>" in upper case, the default instance being
// "MSSQLSERVER"; the area is "mssql" for database engines and "olap" for
// Analysis Services. Names come from requests, so a part may only hold letters,
// digits and "_", "-", "$", "." and may not start with "." (no path tricks).
#pragma once

#include <string>
#include <vector>

#include "WzUtils/CWzError.h"

struct SqlSimInstanceName {
    static constexpr const char* kDefaultInstance = "MSSQLSERVER";

    std::string host;
    std::string instance;  // empty for the default instance
    std::string area = "mssql";

    // Splits and checks a name; an invalid one is an error naming it.
    static CWzError Parse(const std::string& name, SqlSimInstanceName& out, const char* area = "mssql");

    // "HOST" or "HOST/INSTANCE".
    std::string FullName() const;
    // Directory relative to the platform root.
    std::string RelativeDirectory() const;
    // The catalogue file, absolute.
    std::string CatalogPath() const;
    // Where the instance keeps its database files by default, absolute.
    std::string DataDirectory() const;

    // The catalogue files of every instance of an area, absolute.
    static std::vector<std::string> CatalogPaths(const char* area);
    // The data folders (which hold the log files too) of every instance of
    // an area, absolute.
    static std::vector<std::string> DataDirectories(const char* area);
};

// ASCII upper case; instance and host names are ASCII by the rule above.
std::string SqlSimUpper(std::string text);
