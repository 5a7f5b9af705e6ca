// The state codes of a database as the management layer reports them.
//
// One bit per state, so callers can test "restoring or standby" with a mask;
// 1 is online. The texts are those SQL Server shows for the states.
#pragma once

#include <string>

enum SqlDbState : int {
    SQLDB_STATE_ONLINE = 0x1,
    SQLDB_STATE_RESTORING = 0x2,
    SQLDB_STATE_RECOVERING = 0x4,
    SQLDB_STATE_RECOVERY_PENDING = 0x8,
    SQLDB_STATE_SUSPECT = 0x10,
    SQLDB_STATE_EMERGENCY = 0x20,
    SQLDB_STATE_STANDBY = 0x40,
    SQLDB_STATE_OFFLINE = 0x80,
};

// "ONLINE", "RESTORING", ...; empty for a code that is no single state.
std::string SqlDbStateText(int state);
// The code of a text, without regard to case; 0 when the text is no state.
int SqlDbStateFromText(const std::string& text);
