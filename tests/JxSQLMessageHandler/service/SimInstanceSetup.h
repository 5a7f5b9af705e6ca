// Test helper: a simulated SQL Server instance with some online databases.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "JxsqlDMO/SqlSimInstance.h"

namespace jxtest {

inline void CreateSimInstance(SqlSimInstance& instance, const std::string& name,
                              std::initializer_list<const char*> databases) {
    SqlSimServerSpec server;
    server.name = name;
    ASSERT_TRUE(instance.Create(server).IsSuccess());
    for (const char* database : databases) {
        SqlSimDatabaseSpec desc;
        desc.name = database;
        ASSERT_TRUE(instance.AddDatabase(desc).IsSuccess());
    }
}

}  // namespace jxtest
