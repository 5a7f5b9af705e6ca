// Database state codes and their texts.
#include "JxsqlDMO/SqlDbState.h"

#include <strings.h>

namespace {

struct StateName {
    int code;
    const char* text;
};

constexpr StateName kStates[] = {
    {SQLDB_STATE_ONLINE, "ONLINE"},         {SQLDB_STATE_RESTORING, "RESTORING"},
    {SQLDB_STATE_RECOVERING, "RECOVERING"}, {SQLDB_STATE_RECOVERY_PENDING, "RECOVERY_PENDING"},
    {SQLDB_STATE_SUSPECT, "SUSPECT"},       {SQLDB_STATE_EMERGENCY, "EMERGENCY"},
    {SQLDB_STATE_STANDBY, "STANDBY"},       {SQLDB_STATE_OFFLINE, "OFFLINE"},
};

}  // namespace

std::string SqlDbStateText(int state) {
    for (const StateName& s : kStates) {
        if (s.code == state) return s.text;
    }
    return std::string();
}

int SqlDbStateFromText(const std::string& text) {
    for (const StateName& s : kStates) {
        if (strcasecmp(s.text, text.c_str()) == 0) return s.code;
    }
    return 0;
}
