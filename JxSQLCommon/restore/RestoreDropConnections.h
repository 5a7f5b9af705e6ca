// Drops every connection to a database that a restore is about to work on.
#pragma once

#include <string>

class CsqlDMO;
class EvEvent;
class SqlRstJobClient;

namespace jxsql {

// Drops the connections to `target` on `server`. A failure is logged, and
// the database name goes to the job client (when there is one) with the
// drop-connections pending cause as a critical event; false then.
bool DropConnectionsForRestore(CsqlDMO& dmo, const std::string& server, const std::string& target, EvEvent& logger,
                               SqlRstJobClient* client);

}  // namespace jxsql
