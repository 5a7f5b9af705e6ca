// Log marks of a simulated instance: the marked transactions that msdb's
// mark history would list, kept in the instance's catalogue.
#pragma once

#include <cstdint>
#include <string>

#include "WzUtils/CWzError.h"

class SqlSimInstance;
class SimSqlDb;

struct SqlSimLogMarkSpec {
    std::string database;
    std::string markName;
    std::string description;
    std::string lsn;
    std::string markTime;
    // Orders the marks; 0: the instance's next value, above every mark value
    // it has recorded (of any database, also of marks a restore went back
    // before).
    int64_t value = 0;
};

// Makes sure the catalogue has its log-mark table.
CWzError SqlSimEnsureLogMarks(SimSqlDb& db);
// Adds a mark of an existing database.
CWzError SqlSimAddLogMark(SqlSimInstance& instance, const SqlSimLogMarkSpec& desc);
// Takes the marks of database `id` from it (it was dropped, or its id is
// given to a new database): they stay in the history, which keeps every value
// it gave, under id 0, which no database has.
CWzError SqlSimDisownLogMarks(SqlSimInstance& instance, int64_t id);
