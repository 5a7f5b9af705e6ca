// Database options of a simulated instance that the catalogue's columns do
// not carry: log shipping, the SharePoint version of a content database and
// the remote blob store. Tests and the demo set them; the management layer
// (CsqlDMO) reads them.
#pragma once

#include <string>

#include "WzUtils/CWzError.h"

class SqlSimInstance;

// Option names.
inline constexpr const char* kSqlSimOptionLogShipping = "log_shipping";          // "1" when configured
inline constexpr const char* kSqlSimOptionSharePointVersion = "sharepoint_version";  // a number
inline constexpr const char* kSqlSimOptionRemoteBlobStore = "rbs";               // "1" when enabled
inline constexpr const char* kSqlSimOptionRecoveryModelChanged = "recovery_model_changed";  // "1" since the change
inline constexpr const char* kSqlSimOptionFullTextCatalogAdded = "fulltext_catalog_added";  // seconds since 1970
inline constexpr const char* kSqlSimOptionFilesChanged = "files_changed";  // seconds since 1970 of the last file change

CWzError SqlSimSetDatabaseOption(SqlSimInstance& instance, const std::string& database, const std::string& option,
                                 const std::string& value);
// The option's value; empty when it was never set.
CWzError SqlSimGetDatabaseOption(SqlSimInstance& instance, const std::string& database, const std::string& option,
                                 std::string& value);
// Removes every option of `database` (it is dropped, or a new database takes
// its name).
CWzError SqlSimForgetDatabaseOptions(SqlSimInstance& instance, const std::string& database);
