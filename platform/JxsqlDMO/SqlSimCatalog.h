// What the simulated database engines and Analysis Services instances share
// about their catalogues: opening one, listing them, and the service state
// every catalogue keeps in its "server" table (name, running, ...).
#pragma once

#include <string>
#include <vector>

#include "JxsqlDMO/SimSqlDb.h"
#include "JxsqlDMO/SqlSimInstanceName.h"
#include "WzUtils/CWzError.h"

// Opens the catalogue of an existing instance (on the connection the thread
// keeps for it, see SimSqlDb::OpenShared) and reads its full name; `kind`
// ("SQL Server", "Analysis Services") names it in errors.
// `running` (may be null) gets whether its service runs, read in the same query.
CWzError SqlSimOpenCatalog(const SqlSimInstanceName& location, const char* kind, SimSqlDb& db, std::string& name,
                           bool* running = nullptr);

// Full names of every instance of an area, sorted; unreadable catalogues are
// left out.
std::vector<std::string> SqlSimListInstances(const char* area);

// Whether the instance's host part is `host`, without regard to case; every
// instance is on the empty host.
bool SqlSimOnHost(const std::string& instanceName, const std::string& host);

// Fails unless the instance's service runs.
CWzError SqlSimCheckRunning(SimSqlDb& db, const std::string& name, const char* kind);
// The failure of a query to an instance whose service does not run.
CWzError SqlSimNotRunning(const std::string& name, const char* kind);
