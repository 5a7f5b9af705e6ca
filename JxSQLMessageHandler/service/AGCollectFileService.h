// The on-demand collect files of the availability-group backups: the
// instance (when given) and one database per line in the job-results
// directory, so no item may contain a line break.
#pragma once

#include <string>
#include <vector>

class CSQLClientDll;

// Checks the items and writes them as the collect file of `id` (the "DS"
// variant when `dsVariant`). On failure `reply` gets the error document: 102
// for a name with a line break, 122 when the file cannot be named or written.
bool sqlWriteOscCollectFile(CSQLClientDll& service, unsigned int id, bool dsVariant,
                            const std::vector<std::string>& databases, const std::string& instance,
                            std::string& reply);
