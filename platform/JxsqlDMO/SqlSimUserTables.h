// SqlSimUserTables: the user tables and views of a simulated instance's
// databases, as far as archiving needs them.
//
// A user table is known by its database, schema and name and holds a number
// of rows that qualify for archiving; an active-source view reads one table.
// Both live in tables of the instance's catalogue that are created on first
// use. Names are bound as parameters and compare without regard to case.
#pragma once

#include <cstdint>
#include <string>

#include "WzUtils/CWzError.h"

class SimSqlDb;

// A table or view name: "schema.name", or "name" in schema "dbo".
struct SqlSimObjectName {
    std::string schema;
    std::string name;
};

class SqlSimUserTables {
public:
    explicit SqlSimUserTables(SimSqlDb& db) : m_db(db) {}

    // "schema.name" or "name"; an error for an empty part or more than one ".".
    static CWzError ParseName(const std::string& text, SqlSimObjectName& out);

    // Adds (or replaces) a table with `rows` rows that qualify for archiving.
    CWzError AddTable(const std::string& database, const SqlSimObjectName& table, int64_t rows);
    // Its qualifying rows; an error when the table does not exist.
    CWzError QualifyingRows(const std::string& database, const SqlSimObjectName& table, int64_t& rows);

    // Creates or replaces the view `view` over `table`, with the text that
    // describes which rows it shows. The table must exist.
    CWzError CreateView(const std::string& database, const SqlSimObjectName& view, const SqlSimObjectName& table,
                        const std::string& definition);
    // The table and text of a view; an error when it does not exist.
    CWzError ViewOf(const std::string& database, const SqlSimObjectName& view, std::string& table,
                    std::string& definition);

private:
    CWzError EnsureSchema();

    SimSqlDb& m_db;
};
