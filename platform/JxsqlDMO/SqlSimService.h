// SqlSimService: the operating system's service of a simulated instance, as
// "systemctl" and a server started by hand in single-user mode see it.
//
// The service unit's state (server property "serviceActive") is apart from
// whether the engine answers queries (the catalogue's running flag): a
// server started by hand in single-user mode answers queries while the unit
// stays inactive. Single-user mode is the server property "userMode"
// ("single" or "multi").
#pragma once

#include <string>

#include "JxsqlDMO/SqlSimInstance.h"
#include "WzUtils/CWzError.h"

class SqlSimService {
public:
    explicit SqlSimService(SqlSimInstance& instance) : m_instance(instance) {}

    // systemctl start/stop: the unit and the engine together.
    CWzError Start();
    CWzError Stop();
    // Whether the unit is active (when never set: whether the engine runs).
    CWzError IsActive(bool& active);

    // The engine of a server started by hand: running or not, in single-user
    // mode or not; the unit is left as it is.
    CWzError SetEngine(bool running, bool singleUser);
    CWzError IsSingleUser(bool& singleUser);

    // The state of master and the change time (nanoseconds) of its primary
    // data file, which a restore of master rewrites.
    CWzError MasterSnapshot(int& state, int64_t& fileChangeNs);

private:
    SqlSimInstance& m_instance;
};
