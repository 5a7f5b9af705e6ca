// LogDumpWriter: writes one transaction-log dump of a database into a dump
// folder, the way the log-dump library does: a log backup taken through the
// virtual-device engine into "<lower-case database>_log_backup_<n>.bak" (n
// one above the highest number in the folder), its metadata file ".xml"
// beside it, and a row in the folder's log-information database.
#pragma once

#include <string>

#include "WzUtils/CWzError.h"

CWzError WriteLogDump(const std::string& instance, const std::string& database, const std::string& folder,
                      std::string& bakPath);
