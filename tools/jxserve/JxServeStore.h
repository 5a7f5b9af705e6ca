// The central-server stand-in's store: one SQLite file, "jxserve/jxserve.db"
// under the platform root, shared by the stand-in (served in the host) and
// the set-up functions that tests call in their own process.
//
// Each request group owns its tables: it passes its CREATE TABLE IF NOT
// EXISTS statements to JxServeOpenStore, which runs them on the opened file.
// Every open is a fresh connection, so a handler and a test never share one.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>

#include "WzSQLite/CSQLite3DB.h"

// Opens the store (creating the file and its folder) and makes sure the
// tables of `schema` exist. Throws FX::CSQLite3Exception on failure.
std::unique_ptr<FX::CSQLite3DB> JxServeOpenStore(std::initializer_list<const char*> schema);

// Gives `table` of a store written before `column` existed that column
// (`declaration` follows its name in ALTER TABLE ... ADD COLUMN), then runs
// `fill` (when not empty) to set the old rows, all in one write. A process
// that added the column meanwhile leaves nothing to do.
void JxServeAddColumn(FX::CSQLite3DB& db, const std::string& table, const std::string& column,
                      const std::string& declaration, const FX::CSQLite3Sql& fill = {});
